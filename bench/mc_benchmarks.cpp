// Our own benchmarks: start-up, the field step against six plain passes, the
// extraction, and one whole headless frame.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_support.h"
#include "reference_field.h"

namespace {

// The program's own grid size.
constexpr int64_t kProgramGridSize = 40;

void TableGeneration(benchmark::State& state) {
    FILE* sink = std::tmpfile();
    for (auto _ : state) {
        CubeMarcher marcher;
        marcher.initialiseCubeMarcher(sink);
        std::rewind(sink);
        benchmark::DoNotOptimize(marcher.caseTable[1].triangleCount);
    }
    std::fclose(sink);
    state.SetLabel("with its listing");
}
BENCHMARK(TableGeneration)->Unit(benchmark::kMicrosecond);

template <class Step>
void runFieldStep(benchmark::State& state, Step&& fieldStep) {
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    for (auto _ : state) {
        fieldStep(*grid, bench::kFirstFrameTime);
        benchmark::DoNotOptimize(grid->data[0]);
    }
}

void FieldStep(benchmark::State& state) {
    runFieldStep(state, [](ScalarGrid& grid, float time) { updateMetaballField(grid, time); });
}
BENCHMARK(FieldStep)->Apply(bench::addGridSizes);

// The same step recording the rows no blob reached, for the extraction to skip.
void FieldStepRecordingRows(benchmark::State& state) {
    ReachedRows rows;
    runFieldStep(state,
                 [&rows](ScalarGrid& grid, float time) { updateMetaballField(grid, time, rows); });
}
BENCHMARK(FieldStepRecordingRows)->Apply(bench::addGridSizes);

// The yardstick for the field step: six passes over the whole grid.
void FieldStepSixFullPasses(benchmark::State& state) {
    runFieldStep(state, reference::updateMetaballField);
}
BENCHMARK(FieldStepSixFullPasses)->Apply(bench::addGridSizes);

void PerCellPass(benchmark::State& state) {
    bench::benchmarkOurPerCellPass(state);
}
BENCHMARK(PerCellPass)->Apply(bench::addGridSizes);

void MeshExtraction(benchmark::State& state) {
    bench::benchmarkOurMeshExtraction(state, 1);
}
BENCHMARK(MeshExtraction)->Apply(bench::addGridSizes);

// The memory-speed yardstick for the extraction: every sample of the grid
// read once, vectorised (see readEveryByte).
void VectorisedRead(benchmark::State& state) {
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    const auto bytes = static_cast<size_t>(grid->sampleCount()) * sizeof(float);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::readEveryByte(grid->data, bytes));
    }
}
BENCHMARK(VectorisedRead)->Arg(256)->Unit(benchmark::kMillisecond);

void HeadlessFrame(benchmark::State& state) {
    bench::benchmarkHeadlessFrame(state);
}
BENCHMARK(HeadlessFrame)->Arg(kProgramGridSize)->Arg(256)->Unit(benchmark::kMillisecond);

// Time step, field step and mesh extraction on two threads, as a headless
// frame runs them with --draw arrays on this 2-core machine.
void HeadlessMeshFrame(benchmark::State& state) {
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    CubeMarcher& marcher = bench::generatedMarcher();
    MeshExtractor extractor(marcher, bench::generatedAmbiguousTable(), 2);
    SurfaceMesh mesh;
    ReachedRows rows;
    float animationTime = 0.0f;
    for (auto _ : state) {
        animationTime = static_cast<float>(animationTime + bench::kAnimationStep);
        updateMetaballField(*grid, animationTime, rows);
        benchmark::DoNotOptimize(extractor.extract(
            *grid, mesh, FaceRule::kDecider, marcher.usageCount, VertexNormals::kNone, &rows));
    }
}
BENCHMARK(HeadlessMeshFrame)->Arg(256)->Unit(benchmark::kMillisecond);

// The real-data rows: a volume's extraction at its iso value against one
// vectorised read of its samples as they are kept.
void registerVolumeBenchmarks(const std::vector<bench::VolumeCase>& files) {
    for (const bench::VolumeCase& file : files) {
        benchmark::RegisterBenchmark(
            ("VolumeMeshExtraction/" + file.name).c_str(),
            [file](benchmark::State& state) { bench::benchmarkVolumeExtraction(state, file); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("VolumeRead/" + file.name).c_str(), [file](benchmark::State&
                                                                                     state) {
            const bench::LoadedVolume loaded(file);
            const VolumeSamples& samples = loaded.volume.samples;
            for (auto _ : state) {
                benchmark::DoNotOptimize(bench::readEveryByte(samples.data(), samples.bytes()));
            }
        })->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerVolumeBenchmarks(bench::takeVolumeArguments(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

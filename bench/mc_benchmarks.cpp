// Our own benchmarks: start-up, the field step against six plain passes, the
// extraction, and one whole headless frame.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_support.h"
#include "reference_field.h"

namespace {

// The program's own grid size.
constexpr int64_t kProgramGridSize = 40;
// The frame loop's clock step, added in double and stored as float.
constexpr double kAnimationStep = 0.2;

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

// A memory-bandwidth yardstick for the extraction: one plain read of every
// sample of the grid, summed four lanes wide so that the adds keep up.
void PlainRead(benchmark::State& state) {
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    constexpr int32_t kLanes = 4;
    const int64_t samples = grid->sampleCount();
    for (auto _ : state) {
        float sums[kLanes] = {};
        for (int64_t s = 0; s + kLanes <= samples; s += kLanes) {
            for (int32_t lane = 0; lane < kLanes; ++lane) {
                sums[lane] += grid->data[s + lane];
            }
        }
        benchmark::DoNotOptimize(sums);
    }
}
BENCHMARK(PlainRead)->Arg(256)->Unit(benchmark::kMillisecond);

// Time step, field step and per-cell pass, ambiguous faces decided and rows
// no blob reached skipped, as a headless frame runs them by default.
void HeadlessFrame(benchmark::State& state) {
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    CubeMarcher& marcher = bench::generatedMarcher();
    const AmbiguousCaseTable* decider = &bench::generatedAmbiguousTable();
    NoGl gl;
    ReachedRows rows;
    float animationTime = 0.0f;
    drawSurface(gl, marcher, *grid, false, nullptr, decider);  // sizes the workspace
    for (auto _ : state) {
        animationTime = static_cast<float>(animationTime + kAnimationStep);
        updateMetaballField(*grid, animationTime, rows);
        benchmark::DoNotOptimize(drawSurface(gl, marcher, *grid, false, nullptr, decider, &rows));
    }
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
        animationTime = static_cast<float>(animationTime + kAnimationStep);
        updateMetaballField(*grid, animationTime, rows);
        benchmark::DoNotOptimize(extractor.extract(
            *grid, mesh, FaceRule::kDecider, marcher.usageCount, VertexNormals::kNone, &rows));
    }
}
BENCHMARK(HeadlessMeshFrame)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

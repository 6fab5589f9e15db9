// Our extraction against VTK's flying edges and marching cubes on the
// identical field, single-threaded, in one process so that every ratio comes
// from one run.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "vtk_contour.h"

namespace {

constexpr double kContourValue = 0.0;

void runPeer(benchmark::State& state, VtkAlgorithm algorithm, int32_t threads) {
    useVtkThreads(threads);
    const auto grid = bench::blobGrid(state.range(0), bench::kFirstFrameTime);
    VtkContour contour(algorithm, grid->data, grid->nx, grid->ny, grid->nz, kContourValue);
    for (auto _ : state) {
        contour.run();
    }
    state.counters["triangles"] = static_cast<double>(contour.triangles());
    state.counters["points"] = static_cast<double>(contour.points());
}

// Ours again in the peers' run, so that every ratio comes from one run.
void MeshExtraction(benchmark::State& state) {
    bench::benchmarkOurMeshExtraction(state, 1);
}
BENCHMARK(MeshExtraction)->Apply(bench::addGridSizes);

void MeshExtraction2(benchmark::State& state) {
    bench::benchmarkOurMeshExtraction(state, 2);
}
BENCHMARK(MeshExtraction2)->Apply(bench::addGridSizes);

void PerCellPass(benchmark::State& state) {
    bench::benchmarkOurPerCellPass(state);
}
BENCHMARK(PerCellPass)->Apply(bench::addGridSizes);

void VtkFlyingEdges3D(benchmark::State& state) {
    runPeer(state, VtkAlgorithm::kFlyingEdges3D, 1);
}
BENCHMARK(VtkFlyingEdges3D)->Apply(bench::addGridSizes);

// On VTK's TBB backend with two threads, against ours with two.
void VtkFlyingEdges3D2(benchmark::State& state) {
    runPeer(state, VtkAlgorithm::kFlyingEdges3D, 2);
}
BENCHMARK(VtkFlyingEdges3D2)->Apply(bench::addGridSizes);

void VtkMarchingCubes(benchmark::State& state) {
    runPeer(state, VtkAlgorithm::kMarchingCubes, 1);
}
BENCHMARK(VtkMarchingCubes)->Apply(bench::addGridSizes);

// The headless frame beside VtkFlyingEdges3D/40, so that their ratio comes
// from one run.
void HeadlessFrame(benchmark::State& state) {
    bench::benchmarkHeadlessFrame(state);
}
BENCHMARK(HeadlessFrame)->Arg(40)->Unit(benchmark::kMillisecond);

// An iso change on a volume, extraction only, on one thread: the iso value
// steps between the file's and one more, so every run meets a new value.
// Ours: the grid reads the samples at the new value, then the mesh is
// extracted; VTK: the contour value is set and vtkFlyingEdges3D runs again on
// the samples in their own type.
constexpr float kIsoChange = 1.0f;

void VolumeIsoChange(benchmark::State& state, const bench::VolumeCase& file) {
    bench::LoadedVolume loaded(file);
    CubeMarcher& marcher = bench::generatedMarcher();
    MeshExtractor extractor(marcher, bench::generatedAmbiguousTable());
    SurfaceMesh mesh;
    int64_t step = 0;
    for (auto _ : state) {
        readAtIso(loaded.volume, file.iso + kIsoChange * static_cast<float>(++step % 2),
                  loaded.grid);
        benchmark::DoNotOptimize(
            extractor.extract(loaded.grid, mesh, FaceRule::kDecider, marcher.usageCount));
    }
    state.counters["triangles"] = static_cast<double>(mesh.triangles.size());
}

void VtkVolumeIsoChange(benchmark::State& state, const bench::VolumeCase& file) {
    useVtkThreads(1);
    const bench::LoadedVolume loaded(file);
    const auto& sizes = loaded.volume.sizes;
    VtkContour contour(VtkAlgorithm::kFlyingEdges3D, loaded.volume.samples.data(),
                       loaded.volume.samples.type(), sizes[0], sizes[1], sizes[2], file.iso);
    int64_t step = 0;
    for (auto _ : state) {
        contour.setContourValue(file.iso + kIsoChange * static_cast<float>(++step % 2));
        contour.run();
    }
    state.counters["triangles"] = static_cast<double>(contour.triangles());
}

void registerVolumeBenchmarks(const std::vector<bench::VolumeCase>& files) {
    for (const bench::VolumeCase& file : files) {
        for (const auto& [name, run] : {std::pair{"VolumeIsoChange/", &VolumeIsoChange},
                                        std::pair{"VtkVolumeIsoChange/", &VtkVolumeIsoChange}}) {
            benchmark::RegisterBenchmark((name + file.name).c_str(), [file, run = run](
                                                                         benchmark::State& state) {
                run(state, file);
            })->Unit(benchmark::kMillisecond);
        }
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

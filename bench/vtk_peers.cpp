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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

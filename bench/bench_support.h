#pragma once

// What both benchmark programs share: the generated case table, grids that
// hold the blob field, and our extraction at the sizes compared.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "engine/cube_marcher.h"
#include "extract/surface_mesh.h"
#include "field/metaball_field.h"
#include "render/gl_ops.h"
#include "render/surface_pass.h"

namespace bench {

// The clock of the program's first frame.
inline constexpr float kFirstFrameTime = 0.2f;
// Samples per axis of the compared grids: the program's own size and two
// larger ones.
inline constexpr int64_t kGridSizes[] = {40, 128, 256};

inline void addGridSizes(benchmark::internal::Benchmark* b) {
    for (const int64_t size : kGridSizes) {
        b->Arg(size);
    }
    b->Unit(benchmark::kMillisecond);
}

// The one generated table; the listing goes to a scratch file.
inline CubeMarcher& generatedMarcher() {
    static CubeMarcher marcher;
    static const bool generated = [] {
        FILE* sink = std::tmpfile();
        marcher.initialiseCubeMarcher(sink);
        std::fclose(sink);
        return true;
    }();
    (void)generated;
    return marcher;
}

// A size^3 grid holding the blob field at `time`.
inline std::unique_ptr<ScalarGrid> blobGrid(int64_t size, float time) {
    auto grid = std::make_unique<ScalarGrid>();
    const auto n = static_cast<int32_t>(size);
    grid->allocate(n, n, n);
    updateMetaballField(*grid, time);
    return grid;
}

// Triangles produced since the usage counts were last reset.
inline int64_t trianglesCounted(const CubeMarcher& marcher) {
    int64_t triangles = 0;
    for (int32_t c = 0; c < kCaseCount; ++c) {
        triangles += int64_t{marcher.usageCount[c]} * marcher.caseTable[c].triangleCount;
    }
    return triangles;
}

inline const AmbiguousCaseTable& generatedAmbiguousTable() {
    static const AmbiguousCaseTable ambiguous(generatedMarcher());
    return ambiguous;
}

// Our mesh extraction on `threads` threads: a welded indexed mesh (positions
// and index triples), ambiguous faces decided and usage counted as the
// program does by default, on the field of the first frame.
// Reports the triangles and points of one extraction.
inline void benchmarkOurMeshExtraction(benchmark::State& state, int32_t threads) {
    const auto grid = blobGrid(state.range(0), kFirstFrameTime);
    CubeMarcher& marcher = generatedMarcher();
    MeshExtractor extractor(marcher, generatedAmbiguousTable(), threads);
    SurfaceMesh mesh;
    extractor.extract(*grid, mesh, FaceRule::kDecider, marcher.usageCount);  // grows the buffers
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            extractor.extract(*grid, mesh, FaceRule::kDecider, marcher.usageCount));
    }
    state.counters["triangles"] = static_cast<double>(mesh.triangles.size());
    state.counters["points"] = static_cast<double>(mesh.positions.size());
}

// The per-cell pass with drawing and listing off: every crossing cell is
// polygonised and its triangles thrown away. No output, so not comparable
// with an extractor that builds a mesh. Reports the triangles of one pass.
inline void benchmarkOurPerCellPass(benchmark::State& state) {
    const auto grid = blobGrid(state.range(0), kFirstFrameTime);
    CubeMarcher& marcher = generatedMarcher();
    NoGl gl;
    drawSurface(gl, marcher, *grid, false, nullptr);  // sizes the workspace
    for (auto _ : state) {
        benchmark::DoNotOptimize(drawSurface(gl, marcher, *grid, false, nullptr));
    }
    marcher.resetUsage();
    drawSurface(gl, marcher, *grid, false, nullptr);
    state.counters["triangles"] = static_cast<double>(trianglesCounted(marcher));
}

}  // namespace bench

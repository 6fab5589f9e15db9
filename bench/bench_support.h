#pragma once

// What both benchmark programs share: the generated case table, grids that
// hold the blob field, and our extraction at the sizes compared.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/cube_marcher.h"
#include "extract/surface_mesh.h"
#include "field/metaball_field.h"
#include "field/volume_file.h"
#include "render/gl_ops.h"
#include "render/surface_pass.h"

namespace bench {

// The clock of the program's first frame.
inline constexpr float kFirstFrameTime = 0.2f;
// The frame loop's clock step, added in double and stored as float.
inline constexpr double kAnimationStep = 0.2;
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

// The memory-speed yardstick: every byte of `data` read once, 16 bytes a
// load into four independent accumulators, so that neither the adds nor one
// dependency chain hold the loads back (a plain scalar sum of floats runs at
// about two thirds of this). Returns a fold of the bytes, for DoNotOptimize.
inline uint64_t readEveryByte(const void* data, size_t bytes) {
    const auto* at = static_cast<const unsigned char*>(data);
    size_t done = 0;
    uint64_t fold = 0;
#ifdef __SSE2__
    constexpr size_t kLoad = sizeof(__m128i);
    constexpr size_t kAccumulators = 4;
    __m128i sums[kAccumulators] = {};
    for (; done + kAccumulators * kLoad <= bytes; done += kAccumulators * kLoad) {
        for (size_t a = 0; a < kAccumulators; ++a) {
            const __m128i v =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + done + a * kLoad));
            sums[a] = _mm_add_epi64(sums[a], v);
        }
    }
    const __m128i all =
        _mm_add_epi64(_mm_add_epi64(sums[0], sums[1]), _mm_add_epi64(sums[2], sums[3]));
    uint64_t lanes[2];
    std::memcpy(lanes, &all, sizeof lanes);
    fold = lanes[0] + lanes[1];
#endif
    for (; done < bytes; ++done) {
        fold += at[done];
    }
    return fold;
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

// Time step, field step and per-cell pass, ambiguous faces decided and rows
// no blob reached skipped, as a headless frame runs them by default.
inline void benchmarkHeadlessFrame(benchmark::State& state) {
    const auto grid = blobGrid(state.range(0), kFirstFrameTime);
    CubeMarcher& marcher = generatedMarcher();
    const AmbiguousCaseTable* decider = &generatedAmbiguousTable();
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

// A volume file of the real-data rows, as bench/compare names it, and the
// iso value it is extracted at.
struct VolumeCase {
    std::string name;
    float iso = 0.0f;
    std::string path;
};

// Takes the programs' own arguments, --volume=NAME:ISO:PATH, out of argv
// before Google Benchmark reads the rest.
inline std::vector<VolumeCase> takeVolumeArguments(int& argc, char** argv) {
    constexpr std::string_view kFlag = "--volume=";
    std::vector<VolumeCase> cases;
    int kept = 1;
    for (int a = 1; a < argc; ++a) {
        const std::string_view argument = argv[a];
        if (!argument.starts_with(kFlag)) {
            argv[kept++] = argv[a];
            continue;
        }
        const std::string_view value = argument.substr(kFlag.size());
        const size_t nameEnd = value.find(':');
        const size_t isoEnd = value.find(':', nameEnd + 1);
        if (isoEnd == std::string_view::npos) {
            throw std::invalid_argument("--volume=NAME:ISO:PATH, not " + std::string(argument));
        }
        cases.push_back({std::string(value.substr(0, nameEnd)),
                         std::stof(std::string(value.substr(nameEnd + 1, isoEnd - nameEnd - 1))),
                         std::string(value.substr(isoEnd + 1))});
    }
    argc = kept;
    return cases;
}

// A volume as the program loads it, and the grid that reads it at an iso
// value.
struct LoadedVolume {
    Volume volume;
    ScalarGrid grid;

    explicit LoadedVolume(const VolumeCase& file) {
        std::string error;
        if (!loadVolume({file.path, {}, {}}, volume, error, memoryLimitBytes())) {
            throw std::runtime_error(error);
        }
        readAtIso(volume, file.iso, grid);
    }
};

// Our mesh extraction of the volume at its iso value, one thread, counting
// usage as the program does.
inline void benchmarkVolumeExtraction(benchmark::State& state, const VolumeCase& file) {
    LoadedVolume loaded(file);
    CubeMarcher& marcher = generatedMarcher();
    MeshExtractor extractor(marcher, generatedAmbiguousTable());
    SurfaceMesh mesh;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            extractor.extract(loaded.grid, mesh, FaceRule::kDecider, marcher.usageCount));
    }
    state.counters["triangles"] = static_cast<double>(mesh.triangles.size());
    state.counters["points"] = static_cast<double>(mesh.positions.size());
}

}  // namespace bench

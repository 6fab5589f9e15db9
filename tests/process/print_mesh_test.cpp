#include "process/print_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "animated_field.h"
#include "extract/mesh_weld.h"
#include "field/metaball_field.h"
#include "process/mesh_measure.h"
#include "process/mesh_pieces.h"
#include "process/mesh_simplify.h"
#include "process/mesh_smooth.h"
#include "process/surface_cap.h"
#include "test_support.h"

namespace {

int64_t insideSamples(const ScalarGrid& grid) {
    return std::count_if(grid.data, grid.data + grid.sampleCount(),
                         [](float v) { return v >= 0.0f; });
}

// What the export does with --cap: the padded grid's surface, moved back
// and welded.
SurfaceMesh cappedSurface(const ScalarGrid& grid) {
    ScalarGrid padded;
    EXPECT_TRUE(padWithOutside(grid, padded));
    SurfaceMesh mesh;
    MeshExtractor(generatedTable(), ambiguousTable()).extract(padded, mesh, FaceRule::kDecider);
    shiftOutOfPadding(mesh);
    weldCoincidentPositions(mesh, Weld::kWithinRounding);
    return mesh;
}

// Calls `check` with the blob field of every `stride`th frame up to `frames`
// on a grid of `size` samples, at iso values below, at and above the field's
// zero (the samples moved down by the iso value), failures traced to both.
template <class Check>
void forBlobFrames(int32_t size, int32_t frames, int32_t stride, Check check) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(size, size, size));
    float time = 0.0f;
    for (int32_t frame = 1; frame <= frames; ++frame) {
        time = nextClock(time);
        if (frame % stride != 0) {
            continue;
        }
        for (const float iso : {-0.3f, 0.0f, 0.7f}) {
            updateMetaballField(grid, time);
            std::for_each(grid.data, grid.data + grid.sampleCount(), [iso](float& v) { v -= iso; });
            SCOPED_TRACE("frame " + std::to_string(frame) + " iso " + std::to_string(iso));
            check(grid);
        }
    }
}

// The padding holds the grid one sample in from each side, and outside
// samples around it, mirrored below zero beside inside ones.
TEST(PadWithOutside, SurroundsTheGridWithOutsideSamples) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(4, 3, 5));
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    std::generate_n(grid.data, grid.sampleCount(), [&] { return value(random); });
    grid.data[0] = 0.0f;
    ScalarGrid padded;
    ASSERT_TRUE(padWithOutside(grid, padded));
    ASSERT_EQ(padded.nx, 6);
    ASSERT_EQ(padded.ny, 5);
    ASSERT_EQ(padded.nz, 7);
    for (int32_t k = 0; k < padded.nz; ++k) {
        for (int32_t j = 0; j < padded.ny; ++j) {
            for (int32_t i = 0; i < padded.nx; ++i) {
                float sample = 0.0f;
                padded.readSample(i, j, k, sample);
                float inner = NAN;
                grid.readSample(i - 1, j - 1, k - 1, inner);
                if (!std::isnan(inner)) {
                    EXPECT_EQ(sample, inner);
                    continue;
                }
                EXPECT_LT(sample, 0.0f) << i << " " << j << " " << k;
                float beside = NAN;
                grid.readSample(std::clamp(i - 1, 0, 3), std::clamp(j - 1, 0, 2),
                                std::clamp(k - 1, 0, 4), beside);
                if (beside > 0.0f &&
                    (i == 0 || i == 5) + (j == 0 || j == 4) + (k == 0 || k == 6) == 1) {
                    EXPECT_EQ(sample, -beside);
                }
            }
        }
    }
    ScalarGrid none;
    EXPECT_FALSE(padWithOutside(none, padded));
    EXPECT_EQ(padded.data, nullptr);
}

// With the cap every frame is a closed solid, whatever blobs leave the grid,
// and it holds as much as its inside samples' voxels.
TEST(ExtractSurface, TheCapClosesEveryFrame) {
    forBlobFrames(40, 300, 3, [](const ScalarGrid& grid) {
        const MeshMeasure measure = measureMesh(cappedSurface(grid));
        EXPECT_TRUE(measure.watertight());
        const auto inside = static_cast<double>(insideSamples(grid));
        EXPECT_NEAR(measure.volume, inside, 0.06 * inside);
    });
}

// Balls of radius `radii[b]` along the x axis, far enough apart that each
// ball's samples near its surface are its own.
void fillBalls(ScalarGrid& grid, const std::vector<float>& radii) {
    fillGrid(grid, [&radii](int32_t i, int32_t j, int32_t k) {
        float value = -100.0f;
        float centre = 0.0f;
        for (const float radius : radii) {
            centre += radius + 3.0f;
            value = std::max(value, radius - std::hypot(i - centre, j - 8.0f, k - 8.0f));
            centre += radius;
        }
        return value;
    });
}

// Three balls: the largest piece is the big ball alone, and a minimum just
// above the small ball's triangles keeps the other two.
TEST(MeshPieces, LargestAndSmallPiecesAreTheBalls) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(64, 17, 17));
    fillBalls(grid, {3.0f, 6.5f, 4.5f});
    const SurfaceMesh all = cappedSurface(grid);
    const MeshPieces pieces(all);
    ASSERT_EQ(pieces.count(), 3);
    std::vector<int64_t> sizes = pieces.triangleCounts();  // small, medium, big
    std::ranges::sort(sizes);
    const MeshMeasure largest = measureMesh(keepLargestPiece(all));
    const MeshMeasure remaining = measureMesh(dropSmallPieces(all, sizes[0] + 1));
    EXPECT_EQ(largest.pieces, 1);
    EXPECT_EQ(largest.triangles, sizes[2]);
    EXPECT_EQ(remaining.pieces, 2);
    EXPECT_EQ(remaining.triangles, sizes[1] + sizes[2]);
    EXPECT_TRUE(largest.watertight() && remaining.watertight());
    const double bigBall = 4.0 / 3.0 * M_PI * std::pow(6.5, 3);
    EXPECT_NEAR(largest.volume, bigBall, 0.03 * bigBall);
}

// Each frame's solid stays closed: after ten rounds of smoothing with its
// volume within 1%, simplified to a tenth of the triangles at most with
// about the same volume.
TEST(SmoothAndSimplify, KeepTheVolumeAndTheClosure) {
    forBlobFrames(40, 300, 10, [](const ScalarGrid& grid) {
        SurfaceMesh smooth = cappedSurface(grid);
        const MeshMeasure before = measureMesh(smooth);
        const MeshMeasure simplified = measureMesh(simplifyMesh(smooth, 0.1));
        smoothTaubin(smooth, 10);
        const MeshMeasure smoothed = measureMesh(smooth);
        EXPECT_TRUE(smoothed.watertight() && simplified.watertight());
        EXPECT_NEAR(smoothed.volume, before.volume, 0.01 * before.volume);
        EXPECT_LE(simplified.triangles, before.triangles / 10);
        EXPECT_NEAR(simplified.volume, before.volume, 0.15 * before.volume);
    });
}

// A tangle of random plane waves: many thin parts, handles and pieces, where
// a simplifier that does not check its collapses glues the surface.
void fillWaves(ScalarGrid& grid, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    struct Wave {
        float kx, ky, kz, phase;
    };
    std::vector<Wave> waves(12);
    for (Wave& w : waves) {
        w = {0.6f * uniform(random), 0.6f * uniform(random), 0.6f * uniform(random),
             3.0f * uniform(random)};
    }
    fillGrid(grid, [&waves](int32_t i, int32_t j, int32_t k) {
        float value = 0.0f;
        for (const Wave& w : waves) {
            value += std::sin(w.kx * i + w.ky * j + w.kz * k + w.phase);
        }
        return value;
    });
}

// The same on tangled surfaces, and down to a fiftieth (where the simplifier
// may stop short): each closed one stays closed. One that is not closed to
// begin with is left out: the extraction's own pinches are not the
// simplifier's.
TEST(SimplifyMesh, KeepsTangledSurfacesClosed) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    int32_t checked = 0;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        fillWaves(grid, seed);
        const SurfaceMesh mesh = cappedSurface(grid);
        if (!measureMesh(mesh).watertight()) {
            continue;
        }
        ++checked;
        for (const double ratio : {0.1, 0.02}) {
            const MeshMeasure after = measureMesh(simplifyMesh(mesh, ratio));
            EXPECT_TRUE(after.watertight()) << "seed " << seed << " ratio " << ratio;
            EXPECT_TRUE(ratio < 0.1 || after.triangles <= ratio * mesh.triangles.size())
                << "seed " << seed;
        }
    }
    EXPECT_GE(checked, 4);
}

}  // namespace

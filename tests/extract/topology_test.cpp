// The decided surface against the trilinear interpolant's own topology,
// worked out by an oracle that knows no case table (surface_topology.h).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "extract/surface_mesh.h"
#include "surface_topology.h"
#include "test_support.h"

namespace {

SurfaceTopology extractedTopology(const ScalarGrid& grid) {
    static MeshExtractor extractor(generatedTable(), ambiguousTable());
    SurfaceMesh mesh;
    extractor.extract(grid, mesh, FaceRule::kDecider);
    return topologyOf(mesh.triangles);
}

// How random grids compare with the oracle.
struct Tally {
    int32_t compared = 0;
    int32_t skipped = 0;  // near-degenerate
    int32_t differing = 0;
    int32_t tunnels = 0;  // oracle surfaces with a piece bounded by two loops or more
    std::string firstDifference;

    void check(const ScalarGrid& grid) {
        const std::optional<SurfaceTopology> stable = stableInterpolantTopology(grid);
        if (!stable) {
            ++skipped;
            return;
        }
        const SurfaceTopology& oracle = *stable;
        ++compared;
        tunnels += oracle.boundaryLoops > oracle.components ? 1 : 0;
        const SurfaceTopology ours = extractedTopology(grid);
        const bool sound = ours.crowdedEdges == 0 && ours.directedDuplicates == 0;
        if (!sound || !ours.sameType(oracle)) {
            if (differing++ == 0) {
                std::ostringstream text;
                text << "ours " << ours << " oracle " << oracle << " samples";
                for (int64_t s = 0; s < grid.sampleCount(); ++s) {
                    text << " " << grid.data[s];
                }
                firstDifference = text.str();
            }
        }
    }
};

std::ostream& operator<<(std::ostream& out, const Tally& t) {
    return out << t.compared << " compared, " << t.skipped << " near-degenerate, " << t.tunnels
               << " with a tunnel, " << t.differing << " differing; first: " << t.firstDifference;
}

// The two reproducers: a 3x2x2 annulus through an ambiguous face
// (which a diagonal in that face pinched shut), negated too, and a cell with
// a tunnel (two discs without the interior test), next to the same cell
// without one.
TEST(DecidedSurface, HasTheInterpolantsTopologyOnTheReproducers) {
    const std::vector<float> pinched = {1, -2, 1, 1, 1, 1, 1, 1, 1, 1, -2, 1};
    std::vector<float> negated(pinched.size());
    std::ranges::transform(pinched, negated.begin(), std::negate{});
    const std::vector<float> tunnel = {-0.2f, 1, -0.2f, -0.2f, -0.2f, -0.2f, 1, -0.2f};
    const std::vector<float> noTunnel = {-0.5f, 1, -0.5f, -0.5f, -0.5f, -0.5f, 1, -0.5f};
    const SurfaceTopology annulus{.components = 1, .euler = 0, .boundaryLoops = 2};
    const SurfaceTopology twoDiscs{.components = 2, .euler = 2, .boundaryLoops = 2};
    const struct {
        int32_t nx;
        const std::vector<float>& values;
        SurfaceTopology expected;
    } reproducers[] = {{3, pinched, annulus},
                       {3, negated, annulus},
                       {2, tunnel, annulus},
                       {2, noTunnel, twoDiscs}};
    for (const auto& [nx, values, expected] : reproducers) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(nx, 2, 2));
        std::ranges::copy(values, grid.data);
        EXPECT_TRUE(interpolantTopology(grid, 13).sameType(expected));
        const SurfaceTopology ours = extractedTopology(grid);
        EXPECT_TRUE(ours.sameType(expected)) << ours;
        EXPECT_EQ(ours.crowdedEdges + ours.directedDuplicates, 0) << ours;
    }
}

// Single cells screened for a tunnel: two corners of one state far from
// zero, the rest near it, which the oracle keeps when it finds a piece
// bounded by two loops. (Cells with values uniform in [-1, 1] are the random
// 3x3x3 grids' below, which the oracle checks across their faces too.)
TEST(DecidedSurface, HasTheInterpolantsTopologyInCellsWithATunnel) {
    std::mt19937 random(19);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    Tally tunnelCells;
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(2, 2, 2));
    std::uniform_int_distribution<int32_t> corner(0, kCornerCount - 1);
    for (int32_t round = 0; tunnelCells.tunnels < 200 && round < 40000; ++round) {
        const float state = uniform(random) < 0.0f ? -1.0f : 1.0f;
        for (int32_t c = 0; c < kCornerCount; ++c) {
            grid.data[c] = -state * (0.05f + 0.5f * std::abs(uniform(random)));
        }
        grid.data[corner(random)] = state * (0.5f + std::abs(uniform(random)));
        grid.data[corner(random)] = state * (0.5f + std::abs(uniform(random)));
        const SurfaceTopology oracle = interpolantTopology(grid, 8);
        if (oracle.boundaryLoops > oracle.components) {
            tunnelCells.check(grid);
        }
    }
    EXPECT_EQ(tunnelCells.differing, 0) << tunnelCells;
    EXPECT_GE(tunnelCells.tunnels, 200) << tunnelCells;
}

// Random 3x3x3 grids, and 5x5x5 grids that vary more smoothly (a random 3^3
// grid at half steps, plus noise): faces between cells, which both cells
// must decide alike and neither may pinch.
TEST(DecidedSurface, HasTheInterpolantsTopologyOnRandomGrids) {
    std::mt19937 random(33);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (const auto& [size, count, noise] : {std::tuple{3, 300, 1.0f}, std::tuple{5, 40, 0.3f}}) {
        Tally grids;
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(size, size, size));
        for (int32_t round = 0; round < count; ++round) {
            float coarse[27];
            std::generate_n(coarse, 27, [&] { return uniform(random); });
            const auto at = [&](int32_t i, int32_t j, int32_t k) {
                return coarse[std::min(i, 2) + 3 * std::min(j, 2) + 9 * std::min(k, 2)];
            };
            fillGrid(grid, [&](int32_t i, int32_t j, int32_t k) {
                float smooth = 0.0f;  // the mean of the coarse samples around
                for (int32_t c = 0; size == 5 && c < 8; ++c) {
                    smooth +=
                        0.125f * at((i + (c & 1)) / 2, (j + (c >> 1 & 1)) / 2, (k + (c >> 2)) / 2);
                }
                return smooth + noise * uniform(random);
            });
            grids.check(grid);
        }
        EXPECT_EQ(grids.differing, 0) << size << "^3: " << grids;
        EXPECT_GT(grids.compared, count / 3) << size << "^3: " << grids;
    }
}

// NaN samples count as outside, inf as far out or in: a lattice of them in
// a ball and just around it must not pinch the surface. Both cells sharing a
// face decide it from the same samples in the same order, whatever they are;
// with -inf, the ambiguous faces' loops need sides across the face split.
TEST(DecidedSurface, StaysClosedAroundSamplesThatAreNotFinite) {
    constexpr int32_t kSize = 12;
    for (const float odd :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(kSize, kSize, kSize));
        fillGrid(grid, [odd](int32_t i, int32_t j, int32_t k) {
            const float r = std::hypot(i - 5.5f, j - 5.5f, k - 5.5f);
            const bool lattice = (i + j) % 2 == 0 && k % 2 == 0;
            return lattice && r < 5.0f ? odd : 4.5f - r;
        });
        const SurfaceTopology ours = extractedTopology(grid);
        EXPECT_EQ(ours.crowdedEdges, 0) << odd << " " << ours;
        EXPECT_EQ(ours.directedDuplicates, 0) << odd << " " << ours;
    }
}

}  // namespace

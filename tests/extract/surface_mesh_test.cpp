#include "extract/surface_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "animated_field.h"
#include "engine_test_support.h"
#include "extract/cell_visit.h"
#include "field/metaball_field.h"
#include "test_support.h"

namespace {

using Shape = std::array<int32_t, 3>;
using Bits = std::array<uint32_t, 3>;

Bits bitsOf(const Vec3& p) {
    return {std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y),
            std::bit_cast<uint32_t>(p.z)};
}

// What the per-cell path places: three corners per triangle, in draw order.
struct PerCellSurface {
    std::vector<Bits> corners;
    int64_t crossingCells = 0;
    std::array<int32_t, kCaseCount> usage{};
};

const CubeMarcher& generatedTable() {
    static const auto table = makeGeneratedMarcher();
    return *table;
}

PerCellSurface perCellSurface(const ScalarGrid& grid) {
    const auto marcher = makeGeneratedMarcher();
    CrossingCells cells;
    PerCellSurface surface;
    surface.crossingCells = forEachPolygonisedCell(
        *marcher, grid, cells, [&](const Vec3& origin, const float* triangles, int32_t count) {
            for (int32_t v = 0; v < 3 * count; ++v) {
                const float* p = triangles + 3 * v;
                surface.corners.push_back(
                    bitsOf({origin.x + p[0], origin.y + p[1], origin.z + p[2]}));
            }
        });
    std::copy_n(marcher->usageCount, kCaseCount, surface.usage.begin());
    return surface;
}

// The mesh against the per-cell path: the same triangles in the same order
// with the same corners bit for bit, the same usage counts; and where no
// sample is 0 or NaN, no position twice, so every crossed edge gave one
// vertex that all its triangles share.
void expectSameAsPerCellPath(MeshExtractor& extractor, SurfaceMesh& mesh, const ScalarGrid& grid,
                             bool distinctEdges, const std::string& context) {
    const PerCellSurface expected = perCellSurface(grid);
    std::array<int32_t, kCaseCount> usage{};
    EXPECT_EQ(extractor.extract(grid, mesh, usage.data()), expected.crossingCells)
        << context;
    EXPECT_EQ(usage, expected.usage) << context;
    std::vector<Bits> corners;
    for (const auto& triangle : mesh.triangles) {
        for (const int32_t index : triangle) {
            ASSERT_LT(size_t(index), mesh.positions.size()) << context;
            corners.push_back(bitsOf(mesh.positions[index]));
        }
    }
    EXPECT_EQ(corners == expected.corners, true) << context;
    if (distinctEdges) {
        std::set<Bits> distinct;
        std::ranges::transform(mesh.positions, std::inserter(distinct, distinct.end()), bitsOf);
        EXPECT_EQ(distinct.size(), mesh.positions.size())
            << context << ": an edge gave two vertices";
    }
}

// One extractor and one mesh through every shape and field, so a workspace
// that fails to refit, or a slot trusted from an earlier slab or sweep, shows.
TEST(MeshExtractor, MatchesThePerCellPathOnBlobAndRandomFields) {
    MeshExtractor extractor(generatedTable());
    SurfaceMesh mesh;
    for (const Shape& shape : {Shape{2, 2, 2}, Shape{40, 40, 40}, Shape{41, 17, 23},
                               Shape{64, 8, 8}, Shape{70, 12, 9}, Shape{3, 3, 70}}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(shape[0], shape[1], shape[2]));
        const std::string name = testing::PrintToString(shape);
        for (const float t : {0.2f, 37.3f}) {
            updateMetaballField(grid, t);
            expectSameAsPerCellPath(extractor, mesh, grid, true, name + " t " + std::to_string(t));
        }
        const float withZeros[] = {-1.0f, 1.0f, 0.0f, -0.0f, std::nanf(""), -0.25f, 2.0f};
        for (const int32_t kinds : {2, 7}) {
            std::mt19937 random(static_cast<uint32_t>(shape[0] * 131 + kinds));
            for (int64_t s = 0; s < grid.sampleCount(); ++s) {
                grid.data[s] = withZeros[random() % kinds];
            }
            expectSameAsPerCellPath(extractor, mesh, grid, kinds == 2,
                                    name + " random of " + std::to_string(kinds));
        }
    }
    expectSameAsPerCellPath(extractor, mesh, ScalarGrid{}, true, "no storage");
    EXPECT_TRUE(mesh.triangles.empty() && mesh.positions.empty());
}

// A face of the cell with its two diagonals each joining corners of one side,
// the sides differing: the table may join its crossings either way.
bool hasAmbiguousFace(uint32_t caseIndex) {
    const auto set = [caseIndex](int32_t corner) { return ((caseIndex >> corner) & 1u) != 0; };
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        const int32_t u = 1 << ((axis + 1) % kAxisCount);
        const int32_t v = 1 << ((axis + 2) % kAxisCount);
        for (int32_t side : {0, 1 << axis}) {
            if (set(side) == set(side | u | v) && set(side | u) == set(side | v) &&
                set(side) != set(side | u)) {
                return true;
            }
        }
    }
    return false;
}

// Whether a cell whose closed box holds `point` has an ambiguous face.
bool nearAmbiguousCell(const ScalarGrid& grid, const Vec3& point) {
    const float p[kAxisCount] = {point.x, point.y, point.z};
    int32_t low[kAxisCount];
    int32_t high[kAxisCount];
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        low[axis] = std::max(0, static_cast<int32_t>(std::ceil(p[axis])) - 1);
        high[axis] = std::min(grid.nx - 2, static_cast<int32_t>(std::floor(p[axis])));
    }
    float values[kCellCorners];
    for (int32_t x = low[0]; x <= high[0]; ++x) {
        for (int32_t y = low[1]; y <= high[1]; ++y) {
            for (int32_t z = low[2]; z <= high[2]; ++z) {
                readCellCorners(grid, x, y, z, values);
                if (hasAmbiguousFace(CubeMarcher::caseIndexOf(values))) {
                    return true;
                }
            }
        }
    }
    return false;
}

bool onOuterFace(const Vec3& a, const Vec3& b, float last) {
    const auto same = [](float p, float q, float plane) { return p == plane && q == plane; };
    return same(a.x, b.x, 0) || same(a.x, b.x, last) || same(a.y, b.y, 0) || same(a.y, b.y, last) ||
           same(a.z, b.z, 0) || same(a.z, b.z, last);
}

// Every edge inside the grid is shared by two faces that run along it in
// opposite directions, except near cells with an ambiguous face.
TEST(MeshExtractor, IsClosedAndConsistentlyOrientedAwayFromAmbiguousCellsAndTheGridBorder) {
    constexpr int32_t kGridSize = 40;
    constexpr int kFramesChecked = 60;
    constexpr int kFrameStride = 5;  // frames 1, 6, 11, ...: the blobs move well apart
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(kGridSize, kGridSize, kGridSize));
    MeshExtractor extractor(generatedTable());
    SurfaceMesh mesh;
    int64_t edgesChecked = 0;
    for (int frame = 1; frame <= kFramesChecked * kFrameStride; frame += kFrameStride) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        updateMetaballField(grid, clockAfterFrames(frame));
        extractor.extract(grid, mesh);
        // Per undirected edge (low, high): faces running low to high and high to low.
        std::map<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>> edges;
        for (const auto& face : mesh.triangles) {
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t from = face[c];
                const int32_t to = face[(c + 1) % 3];
                ASSERT_NE(from, to) << "degenerate face";
                auto& [forward, backward] = edges[{std::min(from, to), std::max(from, to)}];
                (from < to ? forward : backward) += 1;
            }
        }
        for (const auto& [edge, uses] : edges) {
            const Vec3& a = mesh.positions[edge.first];
            const Vec3& b = mesh.positions[edge.second];
            const Vec3 middle = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
            if (onOuterFace(a, b, kGridSize - 1) || nearAmbiguousCell(grid, middle)) {
                continue;
            }
            ++edgesChecked;
            ASSERT_EQ(uses, std::make_pair(1, 1)) << "edge " << edge.first << "-" << edge.second
                                                  << ": faces along it one way, the other way";
        }
    }
    EXPECT_GT(edgesChecked, 100'000);  // the check saw real surfaces
}

}  // namespace

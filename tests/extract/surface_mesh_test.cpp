#include "extract/surface_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <new>
#include <random>
#include <ranges>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "address_space_limit.h"
#include "animated_field.h"
#include "extract/cell_visit.h"
#include "extract/mesh_weld.h"
#include "field/metaball_field.h"
#include "test_support.h"

namespace {

using Shape = std::array<int32_t, 3>;
using Bits = std::array<uint32_t, 3>;

Bits bitsOf(const Vec3& p) {
    return {std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y),
            std::bit_cast<uint32_t>(p.z)};
}

bool sameBits(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
    return std::ranges::equal(a, b, {}, bitsOf, bitsOf);
}

// What an extraction gives: the mesh, its corners bit for bit in triangle
// order, the usage counts and the crossing cells.
struct Surface {
    SurfaceMesh mesh;
    std::vector<Bits> corners;
    std::array<int32_t, kCaseCount> usage{};
    int64_t crossingCells = 0;
};

// The per-cell path's surface with its cells put into storage order (z, then
// y, then x), each cell's triangles as the path gives them.
Surface perCellSurface(const ScalarGrid& grid, FaceRule rule) {
    const auto marcher = makeGeneratedMarcher();
    CrossingCells cells;
    Surface surface;
    std::vector<std::pair<Shape, std::vector<Bits>>> cellCorners;
    const AmbiguousCaseTable* decider = rule == FaceRule::kDecider ? &ambiguousTable() : nullptr;
    surface.crossingCells = forEachPolygonisedCell(
        *marcher, grid, cells, decider,
        [&](const Vec3& origin, const float* triangles, int32_t count) {
            auto& [key, corners] = cellCorners.emplace_back();
            key = {static_cast<int32_t>(origin.z), static_cast<int32_t>(origin.y),
                   static_cast<int32_t>(origin.x)};
            for (int32_t v = 0; v < 3 * count; ++v) {
                const float* p = triangles + 3 * v;
                corners.push_back(bitsOf({origin.x + p[0], origin.y + p[1], origin.z + p[2]}));
            }
        });
    std::ranges::sort(cellCorners, {}, [](const auto& cell) { return cell.first; });
    for (const auto& cell : cellCorners) {
        surface.corners.insert(surface.corners.end(), cell.second.begin(), cell.second.end());
    }
    std::copy_n(marcher->usageCount, kCaseCount, surface.usage.begin());
    return surface;
}

Surface extracted(MeshExtractor& extractor, const ScalarGrid& grid, FaceRule rule) {
    Surface surface;
    surface.crossingCells =
        extractor.extract(grid, surface.mesh, rule, surface.usage.data(), VertexNormals::kGradient);
    for (const auto& triangle : surface.mesh.triangles) {
        for (const int32_t index : triangle) {
            surface.corners.push_back(bitsOf(surface.mesh.positions.at(index)));
        }
    }
    return surface;
}

// Under both face rules, one thread's mesh against the per-cell path: the
// same triangles, cell by cell in storage order, with the same corners bit for bit, the
// same usage counts; where no sample is 0 or NaN, no position twice, so every
// crossed edge gave one vertex that all its triangles share. Two and three
// threads give one thread's mesh, numbering, normals and counts exactly.
void expectSameAsPerCellPath(const ScalarGrid& grid, bool distinctEdges,
                             const std::string& context) {
    // The same extractors throughout, so a workspace that fails to refit, or
    // a slot trusted from an earlier slab or sweep, shows.
    static MeshExtractor one(generatedTable(), ambiguousTable(), 1);
    static MeshExtractor two(generatedTable(), ambiguousTable(), 2);
    static MeshExtractor three(generatedTable(), ambiguousTable(), 3);
    for (const FaceRule rule : {FaceRule::kTable, FaceRule::kDecider}) {
        SCOPED_TRACE(context + (rule == FaceRule::kTable ? ", table" : ", decider"));
        const Surface expected = perCellSurface(grid, rule);
        const Surface actual = extracted(one, grid, rule);
        EXPECT_EQ(actual.crossingCells, expected.crossingCells);
        EXPECT_EQ(actual.usage, expected.usage);
        EXPECT_TRUE(actual.corners == expected.corners);
        if (distinctEdges) {
            const std::set<Bits> distinct(actual.corners.begin(), actual.corners.end());
            EXPECT_EQ(distinct.size(), actual.mesh.positions.size()) << "an edge gave two vertices";
        }
        for (MeshExtractor* threaded : {&two, &three}) {
            const Surface split = extracted(*threaded, grid, rule);
            EXPECT_EQ(split.usage, actual.usage);
            EXPECT_TRUE(split.mesh.triangles == actual.mesh.triangles);
            EXPECT_TRUE(sameBits(split.mesh.positions, actual.mesh.positions));
            EXPECT_TRUE(sameBits(split.mesh.normals, actual.mesh.normals));
        }
        three.releaseWorkspace();  // and the next grid finds it to grow again
    }
}

// Blob fields and random fields with and without samples exactly 0 or NaN
// (edges whose vertex both sides of a thread's split create), on grids with
// fewer cell slabs than threads too.
TEST(MeshExtractor, ThreadsGiveExactlyThePerCellPathsSurface) {
    for (const Shape& shape : {Shape{2, 2, 2}, Shape{3, 4, 4}, Shape{40, 40, 40}, Shape{41, 17, 23},
                               Shape{70, 12, 9}, Shape{3, 3, 70}}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(shape[0], shape[1], shape[2]));
        const std::string name = testing::PrintToString(shape);
        for (const float t : {0.2f, 37.3f}) {
            updateMetaballField(grid, t);
            expectSameAsPerCellPath(grid, true, name + " t " + std::to_string(t));
        }
        const float withZeros[] = {-1.0f, 1.0f, 0.0f, -0.0f, std::nanf(""), -0.25f, 2.0f};
        for (const int32_t kinds : {2, 7}) {
            std::mt19937 random(static_cast<uint32_t>(shape[0] * 131 + kinds));
            for (int64_t s = 0; s < grid.sampleCount(); ++s) {
                grid.data[s] = withZeros[random() % kinds];
            }
            expectSameAsPerCellPath(grid, kinds == 2, name + " random of " + std::to_string(kinds));
        }
    }
    // Two threads split these six planes' five slabs at z = 3. The lower part
    // ends with a slab of no crossing cell (planes 2 and 3 hold no positive
    // value), so none of its slots for plane 3 counts: the ones there are
    // plane 1's, and a join trusting them gives plane 3's vertex plane 1's place.
    ScalarGrid split;
    ASSERT_TRUE(split.allocate(3, 3, 6));
    const float planeValue[6] = {-1.0f, -1.0f, -1.0f, -1.0f, 1.0f, 1.0f};
    const float centreValue[6] = {-1.0f, 1.0f, -1.0f, 0.0f, 1.0f, 1.0f};
    for (int32_t z = 0; z < 6; ++z) {
        for (int32_t xy = 0; xy < 9; ++xy) {
            split.writeSample(xy % 3, xy / 3, z, xy == 4 ? centreValue[z] : planeValue[z]);
        }
    }
    expectSameAsPerCellPath(split, false, "a part ending without crossing cells");
    // Slab 0 crosses everywhere, slab 1 only around the inside sample at the
    // centre of plane 1. Once the table rule has counted that, three threads
    // split the two slabs 0 | none | 1: the last part shares plane 1 with the
    // first, across the empty one.
    ScalarGrid skewed;
    ASSERT_TRUE(skewed.allocate(5, 5, 3));
    for (int32_t s = 0; s < skewed.sampleCount(); ++s) {
        const int32_t z = s / 25;
        skewed.data[s] = z == 0 ? (s % 2 == 0 ? -1.0f : 1.0f) : (z == 1 && s == 37 ? -1.0f : 1.0f);
    }
    expectSameAsPerCellPath(skewed, false, "a part between others without slabs");
    expectSameAsPerCellPath(ScalarGrid{}, true, "no storage");
}

// Out of memory while the parts sweep: the extraction throws std::bad_alloc
// and returns (no thread is left at a meeting point, none ends the process),
// and once memory is back the extractor gives one thread's mesh again.
TEST(MeshExtractor, RunningOutOfMemoryInAPartThrowsAndLeavesItUsable) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(64, 64, 64));
    updateMetaballField(grid, 0.2f);
    MeshExtractor two(generatedTable(), ambiguousTable(), 2);
    SurfaceMesh mesh;
    two.extract(grid, mesh, FaceRule::kDecider);  // the workspace and threads, made now
    // Nearly every cell crosses: each part's mesh outgrows the blobs' by far.
    std::mt19937 random(7);
    for (int64_t s = 0; s < grid.sampleCount(); ++s) {
        grid.data[s] = random() % 2 == 0 ? -1.0f : 1.0f;
    }
    {
        const AddressSpaceLimit limit(size_t{1} << 20);
        if (!limit.active()) {
            GTEST_SKIP() << "no address-space limit under AddressSanitizer";
        }
        EXPECT_THROW(two.extract(grid, mesh, FaceRule::kDecider), std::bad_alloc);
    }
    MeshExtractor one(generatedTable(), ambiguousTable(), 1);
    EXPECT_TRUE(extracted(two, grid, FaceRule::kDecider).mesh.triangles ==
                extracted(one, grid, FaceRule::kDecider).mesh.triangles);
}

bool inBoundaryPlane(const Vec3& a, const Vec3& b, float last) {
    const auto same = [](float p, float q, float plane) { return p == plane && q == plane; };
    return same(a.x, b.x, 0) || same(a.x, b.x, last) || same(a.y, b.y, 0) || same(a.y, b.y, last) ||
           same(a.z, b.z, 0) || same(a.z, b.z, last);
}

// Edges of `mesh` that do not lie in a boundary plane of the grid and are not
// shared by exactly two triangles running along them in opposite directions.
int64_t openEdges(const SurfaceMesh& mesh, float last) {
    std::vector<std::pair<uint64_t, int32_t>> sides;  // (low, high) packed, direction
    for (const auto& triangle : mesh.triangles) {
        for (int32_t c = 0; c < 3; ++c) {
            const uint32_t from = triangle[c];
            const uint32_t to = triangle[(c + 1) % 3];
            sides.push_back({uint64_t{std::min(from, to)} << 32 | std::max(from, to), from < to});
        }
    }
    std::ranges::sort(sides);
    int64_t open = 0;
    for (size_t i = 0; i < sides.size();) {
        size_t j = i;
        while (j < sides.size() && sides[j].first == sides[i].first) {
            ++j;
        }
        const bool paired = j - i == 2 && sides[i].second != sides[i + 1].second;
        const Vec3& a = mesh.positions[sides[i].first >> 32];
        const Vec3& b = mesh.positions[sides[i].first & 0xFFFFFFFFu];
        open += !paired && !inBoundaryPlane(a, b, last) ? 1 : 0;
        i = j;
    }
    return open;
}

// Open edges over frames 1 to `frames` of the animation under `rule`, welded
// as the export welds.
int64_t openEdgesOverFrames(int32_t gridSize, int32_t frames, FaceRule rule) {
    MeshExtractor extractor(generatedTable(), ambiguousTable());
    ScalarGrid grid;
    EXPECT_TRUE(grid.allocate(gridSize, gridSize, gridSize));
    SurfaceMesh mesh;
    int64_t open = 0;
    float time = 0.0f;
    for (int32_t frame = 1; frame <= frames; ++frame) {
        time = nextClock(time);
        updateMetaballField(grid, time);
        extractor.extract(grid, mesh, rule);
        weldCoincidentPositions(mesh,
                                rule == FaceRule::kDecider ? Weld::kWithinRounding : Weld::kExact);
        open += openEdges(mesh, static_cast<float>(gridSize - 1));
    }
    return open;
}

// Every frame's exported surface is closed: each edge inside the grid is
// shared by two faces that run along it in opposite directions. The table as
// it is leaves cracks where neighbours cut an ambiguous face differently,
// which the check sees.
TEST(MeshExtractor, EveryFramesSurfaceIsClosedWithTheDecider) {
    EXPECT_EQ(openEdgesOverFrames(40, 1000, FaceRule::kDecider), 0);
    EXPECT_EQ(openEdgesOverFrames(128, 200, FaceRule::kDecider), 0);
    EXPECT_GT(openEdgesOverFrames(40, 200, FaceRule::kTable), 0);
}

// Exact welding merges only exactly equal positions (-0.0 is 0.0) and keeps
// every face and corner; within rounding, coordinates a few float steps from
// a grid plane move onto it and collapsed triangles go. Positions keep their
// order of first use.
TEST(WeldCoincidentPositions, MergesExactlyOrWithinRounding) {
    const SurfaceMesh mesh = {.positions = {{0, 0, 0},
                                            {1, 0, 0},
                                            {0, 1, 0},
                                            {0, -0.0f, 0},
                                            {0, 0, 1},
                                            {std::nextafter(1.0f, 2.0f), 0, 0},
                                            {0.5f, 1e-7f, 0}},
                              .triangles = {{0, 1, 2}, {1, 3, 4}, {5, 2, 2}, {0, 5, 2}, {6, 1, 2}},
                              .normals = {}};
    SurfaceMesh exact = mesh;
    weldCoincidentPositions(exact, Weld::kExact);
    EXPECT_EQ(exact.triangles, (std::vector<std::array<int32_t, 3>>{
                                   {0, 1, 2}, {1, 0, 3}, {4, 2, 2}, {0, 4, 2}, {5, 1, 2}}));
    EXPECT_EQ(exact.positions.size(), 6u);
    EXPECT_EQ(exact.positions[4].x, mesh.positions[5].x);
    SurfaceMesh rounded = mesh;
    weldCoincidentPositions(rounded, Weld::kWithinRounding);
    EXPECT_EQ(rounded.triangles,
              (std::vector<std::array<int32_t, 3>>{{0, 1, 2}, {1, 0, 3}, {0, 1, 2}, {4, 1, 2}}));
    EXPECT_EQ(rounded.positions[4].y, 0.0f) << "1e-7 lies within rounding of the plane y = 0";
}

}  // namespace

#include "process/mesh_measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "process/mesh_pieces.h"
#include "process/vertex_sides.h"

namespace {

// The unit cube from (0, 0, 0) to (1, 1, 1) moved by `at`, two triangles per
// face wound outwards: area 6, volume 1, every edge paired; added to `cube`
// with vertices of its own.
SurfaceMesh cubeAt(Vec3 at, SurfaceMesh cube = {}) {
    const auto first = static_cast<int32_t>(cube.positions.size());
    for (int32_t corner = 0; corner < 8; ++corner) {
        cube.positions.push_back({at.x + static_cast<float>(corner & 1),
                                  at.y + static_cast<float>(corner >> 1 & 1),
                                  at.z + static_cast<float>(corner >> 2 & 1)});
    }
    // Each face's corners counter-clockwise seen from outside.
    const std::array<std::array<int32_t, 4>, 6> faces{
        {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}};
    for (const auto& f : faces) {
        cube.triangles.push_back({first + f[0], first + f[1], first + f[2]});
        cube.triangles.push_back({first + f[0], first + f[2], first + f[3]});
    }
    return cube;
}

// Area and volume from geometry known by hand; a flipped, a missing and a doubled face are
// each told apart; pieces count shared vertices, not positions.
TEST(MeasureMesh, SizesClosureAndPieces) {
    const MeshMeasure cube = measureMesh(cubeAt({0, 0, 0}));
    EXPECT_TRUE(cube.watertight());
    EXPECT_EQ(cube.pieces, 1);
    EXPECT_DOUBLE_EQ(cube.area, 6.0);
    EXPECT_DOUBLE_EQ(cube.volume, 1.0);

    SurfaceMesh flipped = cubeAt({0, 0, 0});
    std::swap(flipped.triangles[0][1], flipped.triangles[0][2]);
    const MeshMeasure flippedMeasure = measureMesh(flipped);
    EXPECT_EQ(flippedMeasure.orientationConflicts, 3);
    EXPECT_EQ(flippedMeasure.unpairedEdges, 0);
    EXPECT_FALSE(flippedMeasure.watertight());

    SurfaceMesh open = cubeAt({0, 0, 0});
    open.triangles.pop_back();
    EXPECT_EQ(measureMesh(open).unpairedEdges, 3);
    SurfaceMesh doubled = cubeAt({0, 0, 0});
    doubled.triangles.push_back(doubled.triangles.front());
    EXPECT_EQ(measureMesh(doubled).unpairedEdges, 3);

    // Two cubes touching at a position but with their own vertices: two
    // pieces, twice the volume; inside out, the volume turns negative.
    const MeshMeasure two = measureMesh(cubeAt({1, 1, 1}, cubeAt({0, 0, 0})));
    EXPECT_EQ(two.pieces, 2);
    EXPECT_DOUBLE_EQ(two.volume, 2.0);
    SurfaceMesh inverted = cubeAt({0, 0, 0});
    for (auto& t : inverted.triangles) {
        std::swap(t[1], t[2]);
    }
    EXPECT_DOUBLE_EQ(measureMesh(inverted).volume, -1.0);
    EXPECT_EQ(measureMesh(SurfaceMesh{}).pieces, 0);
}

TEST(MeasureMesh, DescribesItInOneLine) {
    EXPECT_EQ(describeMeasure(measureMesh(cubeAt({0, 0, 0})), "mm"),
              "12 triangles, 1 piece, watertight, area 6 mm^2, volume 1 mm^3");
    SurfaceMesh open = cubeAt({0, 0, 0});
    open.triangles.pop_back();
    EXPECT_TRUE(describeMeasure(measureMesh(open), "mm")
                    .starts_with("11 triangles, 1 piece, not watertight (3 edges not shared by two "
                                 "faces, 0 edges whose two faces disagree in winding), area 5.5 "
                                 "mm^2, volume "));
}

}  // namespace

// Every edge of random triangle soups over few vertices (so edges with one,
// two and more faces, either way round, and sides from a vertex to itself
// all occur), from sides kept at both ends and at the lower end only, against
// a plain map of each edge's sides; and the measure on two threads against
// one, its pieces against the labelled pieces.
TEST(VertexSides, GiveEveryEdgeWithItsFacesAndWinding) {
    std::mt19937 random(5);
    using Edge = std::tuple<int32_t, int32_t, int32_t, bool>;
    for (int32_t trial = 0; trial < 50; ++trial) {
        const int32_t vertices = 2 + trial % 9;
        SurfaceMesh soup;
        soup.positions.resize(vertices);
        soup.triangles.resize(1 + random() % 30);
        std::map<std::pair<int32_t, int32_t>, std::vector<bool>> upwardsOf;
        for (auto& triangle : soup.triangles) {
            for (int32_t& corner : triangle) {
                corner = static_cast<int32_t>(random() % vertices);
                soup.positions[corner] = {static_cast<float>(random() % 4), 0.0f, 0.0f};
            }
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t from = triangle[c];
                const int32_t to = triangle[(c + 1) % 3];
                upwardsOf[std::minmax(from, to)].push_back(from <= to);
            }
        }
        std::vector<Edge> expected;
        for (const auto& [ends, upwards] : upwardsOf) {
            expected.emplace_back(ends.first, ends.second, static_cast<int32_t>(upwards.size()),
                                  upwards.size() == 2 && upwards[0] == upwards[1]);
        }
        for (const auto ends : {VertexSides::Ends::kLower, VertexSides::Ends::kBoth}) {
            std::vector<Edge> edges;
            forEachEdge(VertexSides(soup, ends),
                        [&](int32_t a, int32_t b, int32_t faces, bool sameWay) {
                            edges.emplace_back(a, b, faces, sameWay);
                        });
            std::ranges::sort(edges);
            EXPECT_EQ(edges, expected) << "trial " << trial;
        }
        const MeshMeasure one = measureMesh(soup, 1);
        const MeshMeasure two = measureMesh(soup, 2);
        EXPECT_EQ(std::tie(one.pieces, one.unpairedEdges, one.orientationConflicts, one.volume),
                  std::tie(two.pieces, two.unpairedEdges, two.orientationConflicts, two.volume));
        EXPECT_EQ(one.pieces, MeshPieces(soup).count());
    }
}

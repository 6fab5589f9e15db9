#include <algorithm>

#include "engine_test_support.h"

namespace {

struct EdgeRow {
    int32_t first, second, axis;
    int32_t shifted[kAxisCount];
};

// The edge numbering every table in the program builds on.
constexpr EdgeRow kEdges[kEdgeCount] = {
    {0, 1, 0, {0, 5, 8}},  {0, 2, 1, {3, 1, 9}},  {0, 4, 2, {4, 6, 2}},  {1, 3, 1, {1, 3, 10}},
    {1, 5, 2, {2, 7, 4}},  {2, 3, 0, {5, 0, 11}}, {2, 6, 2, {7, 2, 6}},  {3, 7, 2, {6, 4, 7}},
    {4, 5, 0, {8, 11, 0}}, {4, 6, 1, {10, 9, 1}}, {5, 7, 1, {9, 10, 3}}, {6, 7, 0, {11, 8, 5}},
};

TEST(Topology, LaysOutCornersAndEdgesInTheSharedNumbering) {
    const auto marcher = makeLaidOutMarcher();
    EXPECT_EQ(marcher->cornerOffset[5][0], 1.0f);
    EXPECT_EQ(marcher->cornerOffset[5][1], 0.0f);
    EXPECT_EQ(marcher->cornerOffset[5][2], 1.0f);
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        SCOPED_TRACE(edge);
        const EdgeRow& row = kEdges[edge];
        EXPECT_EQ(marcher->edgeCorners[edge][0], row.first);
        EXPECT_EQ(marcher->edgeCorners[edge][1], row.second);
        EXPECT_EQ(marcher->edgeAxis(edge), row.axis);
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            EXPECT_EQ(marcher->shiftedEdge(edge, axis), row.shifted[axis]);
        }
    }
}

TEST(Topology, FindsEdgesInEitherOrderAndNoneBetweenStrangers) {
    const auto marcher = makeLaidOutMarcher();
    EXPECT_EQ(marcher->findEdge(3, 1), 3);
    EXPECT_EQ(marcher->findEdge(6, 7), 11);
    EXPECT_EQ(marcher->findEdge(0, 3), -1);
    EXPECT_EQ(marcher->findEdge(2, 2), -1);
    EXPECT_TRUE(CubeMarcher::areAdjacent(6, 2));
    EXPECT_FALSE(CubeMarcher::areAdjacent(0, 7));
    EXPECT_FALSE(CubeMarcher::areAdjacent(3, 3));
}

TEST(Topology, ListsTheFourEdgesParallelToEachAxis) {
    const auto marcher = makeLaidOutMarcher();
    const int32_t expected[kAxisCount][4] = {{0, 5, 8, 11}, {1, 3, 9, 10}, {2, 4, 6, 7}};
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        int32_t edges[4] = {-1, -1, -1, -1};
        marcher->edgesAlongAxis(axis, edges);
        EXPECT_TRUE(std::equal(edges, edges + 4, expected[axis])) << "axis " << axis;
    }
}

TEST(Topology, DescribesCornersBySideSignAndDirection) {
    EXPECT_EQ(CubeMarcher::isLowSide(5, 1), 1);
    EXPECT_EQ(CubeMarcher::isLowSide(5, 2), 0);
    EXPECT_EQ(CubeMarcher::flipCorner(5, 1), 7);
    int32_t signs[kCornerCount];
    CubeMarcher::cornerSigns(1, signs);
    EXPECT_EQ(signs[0], 1);
    EXPECT_EQ(std::count(signs + 1, signs + kCornerCount, -1), kCornerCount - 1);
    CubeMarcher::cornerSigns(255, signs);
    EXPECT_EQ(std::count(signs, signs + kCornerCount, 1), kCornerCount);
    EXPECT_EQ(CubeMarcher::cornerDirection(0), (Vec3{-1.0f, -1.0f, -1.0f}));
    EXPECT_EQ(CubeMarcher::cornerDirection(5), (Vec3{1.0f, -1.0f, 1.0f}));
    const auto marcher = makeLaidOutMarcher();
    EXPECT_EQ(marcher->edgeMidpoint(7), (Vec3{1.0f, 1.0f, 0.5f}));
    EXPECT_EQ(marcher->edgeMidpoint(0), (Vec3{0.5f, 0.0f, 0.0f}));
}

}  // namespace

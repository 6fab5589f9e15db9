#include <bit>
#include <vector>

#include "engine_test_support.h"

namespace {

int32_t bitOf(int32_t corner, int32_t axis) {
    return (corner >> axis) & 1;
}

// Every primitive against the rule it follows from the corner numbering: bit k
// of a corner is its coordinate along axis k, and an edge joins two corners
// that differ in one bit. The edge numbering itself is pinned by the listing.
TEST(Topology, EveryPrimitiveFollowsFromTheCornerBits) {
    const auto marcher = makeLaidOutMarcher();
    for (int32_t a = 0; a < kCornerCount; ++a) {
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            EXPECT_EQ(marcher->cornerOffset[a][axis], float(bitOf(a, axis)));
            EXPECT_EQ(CubeMarcher::isLowSide(a, axis), 1 - bitOf(a, axis));
            EXPECT_EQ(CubeMarcher::flipCorner(a, axis), a ^ (1 << axis));
        }
        const float sign[2] = {-1.0f, 1.0f};
        EXPECT_EQ(CubeMarcher::cornerDirection(a),
                  (Vec3{sign[bitOf(a, 0)], sign[bitOf(a, 1)], sign[bitOf(a, 2)]}));
        for (int32_t b = 0; b < kCornerCount; ++b) {
            const bool adjacent = std::popcount(uint32_t(a ^ b)) == 1;
            EXPECT_EQ(CubeMarcher::areAdjacent(a, b), adjacent) << a << " " << b;
            EXPECT_EQ(marcher->findEdge(a, b) >= 0, adjacent) << a << " " << b;
        }
    }
    std::vector<int32_t> alongAxis[kAxisCount];
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        const int32_t a = marcher->edgeCorners[edge][0];
        const int32_t b = marcher->edgeCorners[edge][1];
        const int32_t axis = std::countr_zero(uint32_t(a ^ b));
        alongAxis[axis].push_back(edge);
        EXPECT_EQ(marcher->findEdge(a, b), edge);
        EXPECT_EQ(marcher->findEdge(b, a), edge);
        EXPECT_EQ(marcher->edgeAxis(edge), axis);
        const auto middle = [&](int32_t k) { return (bitOf(a, k) + bitOf(b, k)) / 2.0f; };
        EXPECT_EQ(marcher->edgeMidpoint(edge), (Vec3{middle(0), middle(1), middle(2)}));
        for (int32_t shift = 0; shift < kAxisCount; ++shift) {
            const int32_t moved = marcher->findEdge(a ^ (1 << shift), b ^ (1 << shift));
            EXPECT_EQ(marcher->shiftedEdge(edge, shift), moved) << edge << " along " << shift;
        }
    }
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        int32_t edges[4] = {-1, -1, -1, -1};
        marcher->edgesAlongAxis(axis, edges);
        EXPECT_EQ(std::vector<int32_t>(edges, edges + 4), alongAxis[axis]) << "axis " << axis;
    }
}

}  // namespace

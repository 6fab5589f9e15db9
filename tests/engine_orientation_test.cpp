#include "engine_test_support.h"

namespace {

Vec3 minus(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 u, Vec3 v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

Vec3 cornerPosition(const CubeMarcher& marcher, int32_t corner) {
    const float* offset = marcher.cornerOffset[corner];
    return {offset[0], offset[1], offset[2]};
}

TEST(Orientation, ReversesOnlyDisagreeingTrianglesOfTheRange) {
    const auto marcher = makeLaidOutMarcher();
    CaseEntry& entry = marcher->caseTable[9];
    // (0 2 1) faces corner 0; (1 6 7) lies parallel to the hint.
    entry = CaseEntry{0, 3, {0, 2, 1, 0, 2, 1, 1, 6, 7}, {-1.0f, 1.0f, 1.0f}};
    EXPECT_EQ(marcher->orientTriangles(9, 1), 1);
    EXPECT_EQ(trianglesOf(entry), (std::vector<Triangle>{{0, 2, 1}, {0, 1, 2}, {1, 6, 7}}));
    EXPECT_EQ(marcher->orientTriangles(9, 0), 1);
    EXPECT_EQ(marcher->orientTriangles(9, 0), 0);
    EXPECT_EQ(entry.triangleCount, 3);
}

// The face normal of every triangle leads from the set to the clear corners of
// the edges it cuts, whichever piece of the case it belongs to.
TEST(Orientation, EveryTriangleOfTheTableFacesTheClearSide) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
        for (const Triangle& triangle : trianglesOf(marcher->caseTable[caseIndex])) {
            const Vec3 p0 = marcher->edgeMidpoint(triangle[0]);
            const Vec3 normal = cross(minus(marcher->edgeMidpoint(triangle[1]), p0),
                                      minus(marcher->edgeMidpoint(triangle[2]), p0));
            float agreement = 0.0f;
            for (const int32_t edge : triangle) {
                int32_t set = marcher->edgeCorners[edge][0];
                int32_t clear = marcher->edgeCorners[edge][1];
                if ((caseIndex & (1 << set)) == 0) {
                    std::swap(set, clear);
                }
                ASSERT_NE(caseIndex & (1 << set), 0) << "edge " << edge << " is not crossed";
                ASSERT_EQ(caseIndex & (1 << clear), 0) << "edge " << edge << " is not crossed";
                agreement += dot(
                    normal, minus(cornerPosition(*marcher, clear), cornerPosition(*marcher, set)));
            }
            EXPECT_GT(agreement, 0.0f) << "case " << caseIndex << " triangle (" << triangle[0]
                                       << " " << triangle[1] << " " << triangle[2] << ")";
        }
    }
}

}  // namespace

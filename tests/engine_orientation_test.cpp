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
                const int32_t low = marcher->edgeCorners[edge][0];
                const int32_t high = marcher->edgeCorners[edge][1];
                const bool lowIsSet = (caseIndex >> low) & 1;
                ASSERT_NE(lowIsSet, bool((caseIndex >> high) & 1)) << "edge " << edge;
                // high - low is the unit step along the edge's axis.
                const Vec3 step =
                    minus(CubeMarcher::cornerDirection(high), CubeMarcher::cornerDirection(low));
                agreement += (lowIsSet ? 0.5f : -0.5f) * dot(normal, step);
            }
            EXPECT_GT(agreement, 0.0f) << "case " << caseIndex << " triangle (" << triangle[0]
                                       << " " << triangle[1] << " " << triangle[2] << ")";
        }
    }
}

}  // namespace

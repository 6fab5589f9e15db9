#include "test_support.h"

namespace {

// The face normal of every triangle leads from the set to the clear corners of
// the edges it cuts, whichever piece of the case it belongs to.
TEST(Orientation, EveryTriangleOfTheTableFacesTheClearSide) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
        for (const Triangle& triangle : trianglesOf(marcher->caseTable[caseIndex])) {
            const Vec3 normal = triangleNormal(marcher->edgeMidpoint(triangle[0]),
                                               marcher->edgeMidpoint(triangle[1]),
                                               marcher->edgeMidpoint(triangle[2]));
            float agreement = 0.0f;
            for (const int32_t edge : triangle) {
                const int32_t low = marcher->edgeCorners[edge][0];
                const int32_t high = marcher->edgeCorners[edge][1];
                const bool lowIsSet = (caseIndex >> low) & 1;
                ASSERT_NE(lowIsSet, bool((caseIndex >> high) & 1)) << "edge " << edge;
                // high - low is the unit step along the edge's axis.
                const Vec3 step = difference(CubeMarcher::cornerDirection(high),
                                             CubeMarcher::cornerDirection(low));
                agreement += (lowIsSet ? 0.5f : -0.5f) * dot(normal, step);
            }
            EXPECT_GT(agreement, 0.0f) << "case " << caseIndex << " triangle (" << triangle[0]
                                       << " " << triangle[1] << " " << triangle[2] << ")";
        }
    }
}

}  // namespace

#include <utility>

#include "engine_test_support.h"

namespace {

using Handler = int32_t (CubeMarcher::*)(int32_t);

// Each handler alone, over every case that has both states; what the handlers
// append is pinned by the listing and the table's properties.
TEST(PatternHandlers, EachMatchesItsShareOfTheCases) {
    const std::pair<Handler, int32_t> handlers[] = {
        {&CubeMarcher::addIsolatedCorners, 138}, {&CubeMarcher::addIsolatedEdges, 78},
        {&CubeMarcher::addHalfCubeSplits, 6},    {&CubeMarcher::addFaceTriple, 72},
        {&CubeMarcher::addCornerStar, 8},        {&CubeMarcher::addCornerChain, 24}};
    for (const auto& [handler, expected] : handlers) {
        const auto marcher = makeLaidOutMarcher();
        int32_t matched = 0;
        for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
            const int32_t appended = ((*marcher).*handler)(caseIndex);
            EXPECT_EQ(appended, marcher->caseTable[caseIndex].triangleCount) << caseIndex;
            matched += appended > 0;
        }
        EXPECT_EQ(matched, expected);
    }
}

}  // namespace

#include "test_support.h"

namespace {

// Each handler alone, in the generator's order, over every case that has both
// states; what the handlers append is pinned by the listing.
TEST(PatternHandlers, EachMatchesItsShareOfTheCases) {
    const int32_t casesMatched[std::size(kPatternHandlers)] = {138, 78, 6, 72, 8, 24};
    for (size_t h = 0; h < std::size(kPatternHandlers); ++h) {
        const auto marcher = makeLaidOutMarcher();
        int32_t matched = 0;
        for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
            const int32_t appended = ((*marcher).*kPatternHandlers[h])(caseIndex);
            EXPECT_EQ(appended, marcher->caseTable[caseIndex].triangleCount) << caseIndex;
            matched += appended > 0;
        }
        EXPECT_EQ(matched, casesMatched[h]) << "handler " << h;
    }
}

}  // namespace

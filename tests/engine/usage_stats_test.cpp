#include <limits>
#include <string>

#include "test_support.h"

namespace {

std::string statsOf(const CubeMarcher& marcher) {
    return flushedOutput([&](FILE* out) { marcher.printUsageStats(out); });
}

// Cases 0 and 255 stay out of both totals and a case without triangles
// counts as empty (counts on a table not generated yet); saturated counters
// add up without overflow; a reset counts nothing.
TEST(UsageStats, TotalsAsTheGoldenFileHasThem) {
    const auto laidOut = makeLaidOutMarcher();
    laidOut->usageCount[0] = 5;
    laidOut->usageCount[17] = 2;
    laidOut->usageCount[kCaseCount - 1] = 7;
    const auto generated = makeGeneratedMarcher();
    std::fill_n(generated->usageCount, kCaseCount, std::numeric_limits<int32_t>::max());
    const std::string stats = statsOf(*laidOut) + statsOf(*generated);
    EXPECT_EQ(stats, golden("engine/usage_stats.txt", stats));
    generated->resetUsage();
    EXPECT_EQ(statsOf(*generated), statsOf(*makeGeneratedMarcher()));
}

}  // namespace

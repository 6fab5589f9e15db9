#include <limits>
#include <string>

#include "engine_test_support.h"

namespace {

std::string statsOf(const CubeMarcher& marcher) {
    return captureOutput([&](FILE* out) { marcher.printUsageStats(out); });
}

TEST(UsageStats, PrintsSixteenLabelledRowsAndBothTotalsLines) {
    const auto marcher = makeGeneratedMarcher();
    std::string expected = "Usage stats:";
    for (int32_t row = 0; row < 16; ++row) {
        expected += "\n" + std::to_string(16 * row) + ": ";
        for (int32_t column = 0; column < 16; ++column) {
            expected += "0 ";
        }
    }
    expected += "\ncasesOk:0\tcasesEmpty:0\ncasesOk:0.000000e+00\tcasesEmpty:0.000000e+00\n";
    EXPECT_EQ(statsOf(*marcher), expected);
}

TEST(UsageStats, KeepsTheTrivialCasesOutOfTheTotals) {
    const auto marcher = makeLaidOutMarcher();  // no case holds triangles yet
    marcher->usageCount[0] = 5;
    marcher->usageCount[17] = 2;
    marcher->usageCount[kCaseCount - 1] = 7;
    const std::string stats = statsOf(*marcher);
    EXPECT_NE(stats.find("\n0: 5 0 "), std::string::npos);
    EXPECT_NE(stats.find("\n16: 0 2 0 "), std::string::npos);
    EXPECT_NE(stats.find(" 0 7 \ncasesOk:0\tcasesEmpty:2\n"), std::string::npos);
    EXPECT_NE(stats.find("casesOk:0.000000e+00\tcasesEmpty:2.000000e+00\n"), std::string::npos);
}

TEST(UsageStats, TotalsSaturatedCountersWithoutOverflow) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t& count : marcher->usageCount) {
        count = std::numeric_limits<int32_t>::max();
    }
    const std::string stats = statsOf(*marcher);
    EXPECT_NE(stats.find("\ncasesOk:545460846338\tcasesEmpty:0\n"), std::string::npos);
    EXPECT_NE(stats.find("\ncasesOk:5.454608e+11\tcasesEmpty:0.000000e+00\n"), std::string::npos);
    marcher->resetUsage();
    EXPECT_NE(statsOf(*marcher).find("\ncasesOk:0\t"), std::string::npos);
}

}  // namespace

#include <limits>
#include <string>

#include "test_support.h"

namespace {

std::string statsOf(const CubeMarcher& marcher) {
    return flushedOutput([&](FILE* out) { marcher.printUsageStats(out); });
}

// The layout is pinned by tests/app/headless_grid12.txt.
// Cases 0 and 255 stay out of both totals; a case without triangles counts as
// empty; saturated counters add up without overflow.
TEST(UsageStats, TotalsTheCasesWithAndWithoutTriangles) {
    const auto laidOut = makeLaidOutMarcher();  // no case holds triangles yet
    laidOut->usageCount[0] = 5;
    laidOut->usageCount[17] = 2;
    laidOut->usageCount[kCaseCount - 1] = 7;
    const std::string stats = statsOf(*laidOut);
    EXPECT_NE(stats.find("\n0: 5 0 "), std::string::npos);
    EXPECT_NE(stats.find("\n16: 0 2 0 "), std::string::npos);
    EXPECT_NE(stats.find(" 0 7 \ncasesOk:0\tcasesEmpty:2\ncasesOk:0.000000e+00\tcasesEmpty:2.0"),
              std::string::npos);

    const auto generated = makeGeneratedMarcher();
    std::fill_n(generated->usageCount, kCaseCount, std::numeric_limits<int32_t>::max());
    EXPECT_NE(statsOf(*generated)
                  .find("\ncasesOk:545460846338\tcasesEmpty:0\n"
                        "casesOk:5.454608e+11\tcasesEmpty:0.000000e+00\n"),
              std::string::npos);
    generated->resetUsage();
    EXPECT_EQ(statsOf(*generated), statsOf(*makeGeneratedMarcher()));
}

}  // namespace

#include <cinttypes>
#include <cstdio>

#include "engine/cube_marcher.h"

namespace {

constexpr int32_t kCountsPerRow = 16;

}  // namespace

void CubeMarcher::resetUsage() {
    for (int32_t& count : usageCount) {
        count = 0;
    }
}

// The totals are 64-bit: counters saturate at INT32_MAX, and a sum of several
// such counters would overflow 32 bits.
void CubeMarcher::printUsageStats(FILE* out) const {
    int64_t casesOk = 0;
    int64_t casesEmpty = 0;
    std::fputs("Usage stats:", out);
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        if (caseIndex % kCountsPerRow == 0) {
            std::fprintf(out, "\n%d: ", caseIndex);
        }
        std::fprintf(out, "%d ", usageCount[caseIndex]);
        // Cases 0 and 255 never cross the surface; they stay out of the totals.
        if (caseIndex == 0 || caseIndex == kCaseCount - 1) {
            continue;
        }
        (caseTable[caseIndex].triangleCount > 0 ? casesOk : casesEmpty) += usageCount[caseIndex];
    }
    std::fprintf(out, "\ncasesOk:%" PRId64 "\tcasesEmpty:%" PRId64 "\n", casesOk, casesEmpty);
    std::fprintf(out, "casesOk:%e\tcasesEmpty:%e\n", static_cast<double>(casesOk),
                 static_cast<double>(casesEmpty));
    std::fflush(out);
}

// Counts, straight from the field, the crossing cells (some corner below 0 and
// some above) that a headless run of FRAMES frames with the animation running
// visits, so scripts/soak can check the program's casesOk against a count of
// its own. Usage: reliability-crossing-cells FRAMES [GRID_SIZE]
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "animated_field.h"

namespace {

constexpr int32_t kDefaultGridSize = 40;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FRAMES [GRID_SIZE]\n", argv[0]);
        return kExitUsage;
    }
    const int64_t frames = std::strtoll(argv[1], nullptr, 10);
    const auto size = static_cast<int32_t>(argc == 3 ? std::atoi(argv[2]) : kDefaultGridSize);
    const int64_t total = frames < 0 ? -1 : crossingCellsOfRun(frames, size);
    if (total < 0) {
        std::fprintf(stderr, "%s: bad frame count or grid size\n", argv[0]);
        return kExitUsage;
    }
    std::printf("%" PRId64 "\n", total);
    std::fflush(stdout);
    return 0;
}

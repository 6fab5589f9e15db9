// Counts, straight from the field, the crossing cells (some corner below 0 and
// some above) that a headless run of FRAMES frames with the animation running
// visits, so scripts/soak can check the program's casesOk against a count of
// its own. Usage: reliability-crossing-cells FRAMES [GRID_SIZE]
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "field/metaball_field.h"
#include "field/scalar_grid.h"

namespace {

constexpr double kAnimationStep = 0.2;  // per frame, summed in double, kept as float
constexpr int32_t kDefaultGridSize = 40;
constexpr int kExitUsage = 2;

// Sample (i, j, k) of a grid with storage; see the layout in scalar_grid.h.
float sampleAt(const ScalarGrid& grid, int32_t i, int32_t j, int32_t k) {
    return grid.data[i + grid.nx * j + grid.sliceSize * k];
}

bool isCrossing(const ScalarGrid& grid, int32_t x, int32_t y, int32_t z) {
    bool below = false;
    bool above = false;
    for (int32_t dz = 0; dz <= 1; ++dz) {
        for (int32_t dy = 0; dy <= 1; ++dy) {
            for (int32_t dx = 0; dx <= 1; ++dx) {
                const float value = sampleAt(grid, x + dx, y + dy, z + dz);
                below = below || value < 0.0f;
                above = above || value > 0.0f;
            }
        }
    }
    return below && above;
}

int64_t crossingCells(const ScalarGrid& grid) {
    int64_t count = 0;
    for (int32_t z = 0; z + 1 < grid.nz; ++z) {
        for (int32_t y = 0; y + 1 < grid.ny; ++y) {
            for (int32_t x = 0; x + 1 < grid.nx; ++x) {
                count += isCrossing(grid, x, y, z) ? 1 : 0;
            }
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FRAMES [GRID_SIZE]\n", argv[0]);
        return kExitUsage;
    }
    const int64_t frames = std::strtoll(argv[1], nullptr, 10);
    const auto size = static_cast<int32_t>(argc == 3 ? std::atoi(argv[2]) : kDefaultGridSize);
    ScalarGrid grid;
    if (frames < 0 || !grid.allocate(size, size, size)) {
        std::fprintf(stderr, "%s: bad frame count or grid size\n", argv[0]);
        return kExitUsage;
    }
    float time = 0.0f;
    int64_t total = 0;
    for (int64_t frame = 1; frame <= frames; ++frame) {
        time = static_cast<float>(time + kAnimationStep);
        updateMetaballField(grid, time);
        total += crossingCells(grid);
    }
    std::printf("%" PRId64 "\n", total);
    std::fflush(stdout);
    return 0;
}

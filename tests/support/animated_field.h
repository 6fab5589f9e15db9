#pragma once

#include <cstdint>

#include "field/metaball_field.h"
#include "field/scalar_grid.h"
#include "reference_cell.h"

// The blob field as a run animates it, rebuilt from the field layer alone, so
// tests and scripts/soak can count what a run must have visited without
// trusting the surface pass.

inline constexpr double kClockStepPerFrame = 0.2;

// One frame's step of the running clock: the sum is formed in double and
// kept as float, as the frame does it.
inline float nextClock(float time) {
    return static_cast<float>(time + kClockStepPerFrame);
}

// The clock after `frames` frames with the animation running.
inline float clockAfterFrames(int64_t frames) {
    float time = 0.0f;
    for (int64_t i = 0; i < frames; ++i) {
        time = nextClock(time);
    }
    return time;
}

inline int64_t crossingCells(const ScalarGrid& grid) {
    int64_t count = 0;
    float corners[reference::kCellCorners];
    for (int32_t x = 0; x + 1 < grid.nx; ++x) {
        for (int32_t y = 0; y + 1 < grid.ny; ++y) {
            for (int32_t z = 0; z + 1 < grid.nz; ++z) {
                count += reference::readCrossingCell(grid, x, y, z, corners) ? 1 : 0;
            }
        }
    }
    return count;
}

// Crossing cells summed over frames 1 to `frames` of a run on a grid of
// `size` samples per axis with the animation running; -1 when the grid
// cannot be allocated.
inline int64_t crossingCellsOfRun(int64_t frames, int32_t size) {
    ScalarGrid grid;
    if (!grid.allocate(size, size, size)) {
        return -1;
    }
    int64_t total = 0;
    float time = 0.0f;
    for (int64_t frame = 1; frame <= frames; ++frame) {
        time = nextClock(time);
        updateMetaballField(grid, time);
        total += crossingCells(grid);
    }
    return total;
}

#pragma once

#include <cstdint>

#include "field/scalar_grid.h"

namespace reference {

// Corner c of the cell whose lowest corner is sample (x, y, z) sits at
// (x + bit 0, y + bit 1, z + bit 2) of c, the engine's corner numbering.
inline constexpr int32_t kCellCorners = 8;

// Reads the cell's corners one by one; true when it crosses: some corner
// below 0 and some above (0.0 and NaN are neither). The cell must lie inside
// the grid.
inline bool readCrossingCell(const ScalarGrid& grid, int32_t x, int32_t y, int32_t z,
                             float corners[kCellCorners]) {
    bool below = false;
    bool above = false;
    for (int32_t c = 0; c < kCellCorners; ++c) {
        grid.readSample(x + (c & 1), y + ((c >> 1) & 1), z + ((c >> 2) & 1), corners[c]);
        below = below || corners[c] < 0.0f;
        above = above || corners[c] > 0.0f;
    }
    return below && above;
}

}  // namespace reference

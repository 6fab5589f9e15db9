#pragma once

// The surface pass as a plain sweep over every cell, each read through
// readSample and sign-tested corner by corner: the obviously-correct version
// the fast pass is checked against. Drawing a crossing cell is shared with the
// fast pass (surface::drawCellTriangles and drawCellOutlines).

#include <cstdint>
#include <cstdio>

#include "render/surface_pass.h"

namespace reference {

inline bool isCrossingCell(const float values[kCornerCount]) {
    bool below = false;
    bool above = false;
    for (int32_t c = 0; c < kCornerCount && !(below && above); ++c) {
        below = below || values[c] < 0.0f;
        above = above || values[c] > 0.0f;
    }
    return below && above;
}

template <GlOperations Gl>
bool drawCell(Gl& gl, CubeMarcher& marcher, const ScalarGrid& grid, int32_t x, int32_t y, int32_t z,
              FILE* listing) {
    float corners[kCornerCount] = {};
    for (int32_t c = 0; c < kCornerCount; ++c) {
        grid.readSample(x + (c & 1), y + ((c >> 1) & 1), z + ((c >> 2) & 1), corners[c]);
    }
    if (!isCrossingCell(corners)) {
        return false;
    }
    marcher.setCornerValues(corners);
    float triangles[kMaxTrianglesPerCell * kFloatsPerTriangle];
    const int32_t count = marcher.polygoniseCell(triangles);
    if (count > 0) {
        const Vec3 origin{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
        surface::drawCellTriangles(gl, origin, triangles, count, listing);
        surface::drawCellOutlines(gl, origin, triangles, count);
    }
    return true;
}

template <GlOperations Gl>
int64_t drawSurface(Gl& gl, CubeMarcher& marcher, const ScalarGrid& grid, bool listingRequested,
                    FILE* out) {
    if (grid.data == nullptr) {
        return 0;
    }
    FILE* listing = listingRequested ? out : nullptr;
    int64_t crossingCells = 0;
    for (int32_t x = 0; x < grid.nx - 1; ++x) {
        for (int32_t y = 0; y < grid.ny - 1; ++y) {
            for (int32_t z = 0; z < grid.nz - 1; ++z) {
                if (drawCell(gl, marcher, grid, x, y, z, listing)) {
                    ++crossingCells;
                }
            }
        }
    }
    if (listing != nullptr) {
        std::fflush(listing);
    }
    return crossingCells;
}

}  // namespace reference

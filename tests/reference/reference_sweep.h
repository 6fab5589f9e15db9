#pragma once

// The surface pass as a plain sweep over every cell, each read through
// readSample and sign-tested corner by corner: the obviously-correct version
// the fast pass is checked against. Drawing a crossing cell is shared with the
// fast pass (surface::drawCellTriangles and drawCellOutlines).

#include <cstdint>
#include <cstdio>

#include "reference_cell.h"
#include "render/surface_pass.h"

namespace reference {

template <GlOperations Gl>
int64_t drawSurface(Gl& gl, CubeMarcher& marcher, const ScalarGrid& grid, bool listingRequested,
                    FILE* out, const AmbiguousCaseTable* decider = nullptr,
                    const ReachedRows* /*rows: every row is read*/ = nullptr,
                    bool outlines = true) {
    FILE* listing = listingRequested ? out : nullptr;
    int64_t crossingCells = 0;
    for (int32_t x = 0; x < grid.nx - 1; ++x) {
        for (int32_t y = 0; y < grid.ny - 1; ++y) {
            for (int32_t z = 0; z < grid.nz - 1; ++z) {
                float corners[kCornerCount] = {};
                if (!readCrossingCell(grid, x, y, z, corners)) {
                    continue;
                }
                ++crossingCells;
                marcher.setCornerValues(corners);
                float triangles[kMaxTrianglesPerCell * kFloatsPerTriangle];
                const int32_t count = marcher.polygoniseCell(triangles, decider);
                if (count > 0) {
                    const Vec3 origin{float(x), float(y), float(z)};
                    surface::drawCellTriangles(gl, origin, triangles, count, listing);
                    if (outlines) {
                        surface::drawCellOutlines(gl, origin, triangles, count);
                    }
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

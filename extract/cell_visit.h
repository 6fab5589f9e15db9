#pragma once

#include <cstdint>

#include <limits>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/cube_marcher.h"
#include "extract/crossing_cells.h"
#include "field/scalar_grid.h"

// Reads the eight samples of the cell whose lowest corner is sample (x, y, z)
// into `values`, in corner index order: corner c is the sample
// (x + bit 0 of c, y + bit 1 of c, z + bit 2 of c). The cell must lie inside
// the grid, which must have samples; neither is checked.
//
// A cell row's two corners are neighbours in memory, so each half of the cell
// is read as two pairs and written as one 16-byte store: setCornerValues
// copies with 16-byte loads, and a load that spans several narrower stores
// cannot take its data from them and stalls until they are written.
// A volume's integer samples are converted four at a time, as
// isoDifferenceOf converts one, and stored whole for the same reason.
template <class T>
void readVolumeCellCorners(const T* samples, const int64_t (&rows)[kCornerCount / 2], float iso,
                           float values[kCornerCount]) {
#ifdef __SSE2__
    if constexpr (std::is_integral_v<T>) {
        const __m128 limits[2] = {_mm_set1_ps(std::numeric_limits<float>::lowest()),
                                  _mm_set1_ps(std::numeric_limits<float>::max())};
        const __m128 smallestInside = _mm_set1_ps(std::numeric_limits<float>::min());
        for (int32_t half = 0; half < 2; ++half) {
            const T* low = samples + rows[2 * half];
            const T* high = samples + rows[2 * half + 1];
            const __m128 difference =
                _mm_sub_ps(_mm_cvtepi32_ps(_mm_setr_epi32(low[0], low[1], high[0], high[1])),
                           _mm_set1_ps(iso));
            const __m128 zero = _mm_cmpeq_ps(difference, _mm_setzero_ps());
            const __m128 clamped = _mm_min_ps(limits[1], _mm_max_ps(limits[0], difference));
            _mm_storeu_ps(values + 4 * half, _mm_or_ps(_mm_and_ps(zero, smallestInside),
                                                       _mm_andnot_ps(zero, clamped)));
        }
        return;
    }
#endif
    for (int32_t c = 0; c < kCornerCount; ++c) {
        values[c] = isoDifferenceOf(samples[rows[c >> 1] + (c & 1)], iso);
    }
}

inline void readCellCorners(const ScalarGrid& grid, int32_t x, int32_t y, int32_t z,
                            float values[kCornerCount]) {
    const int64_t origin = int64_t{grid.sliceSize} * z + int64_t{grid.nx} * y + x;
    if (grid.data == nullptr) {
        const int64_t rows[kCornerCount / 2] = {origin, origin + grid.nx, origin + grid.sliceSize,
                                                origin + grid.sliceSize + grid.nx};
        visitSamples(grid.volume, [&](const auto* samples) {
            readVolumeCellCorners(samples, rows, grid.volume.iso, values);
        });
        return;
    }
    const float* low = grid.data + origin;
    const float* high = low + grid.sliceSize;
#ifdef __SSE2__
    const auto twoPairs = [](const float* row0, const float* row1) {
        const __m128 first = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(row0));
        return _mm_loadh_pi(first, reinterpret_cast<const __m64*>(row1));
    };
    _mm_storeu_ps(values, twoPairs(low, low + grid.nx));
    _mm_storeu_ps(values + kCornerCount / 2, twoPairs(high, high + grid.nx));
#else
    const float* rows[kCornerCount / 2] = {low, low + grid.nx, high, high + grid.nx};
    for (int32_t c = 0; c < kCornerCount; ++c) {
        values[c] = rows[c >> 1][c & 1];
    }
#endif
}

// The per-cell visit: every crossing cell of `grid` (some corner below 0 and
// some above; exactly 0.0 and NaN count as neither), x outermost and z
// fastest, is polygonised by `marcher` (with `decider`, see polygoniseCell),
// which counts it under its case, and handed to visit(origin, triangles, count): the cell's lowest
// corner as floats, and `count` cell-local triangles of kFloatsPerTriangle floats each (as
// polygoniseCell writes them). Returns the number of crossing cells. `rows`,
// when given, lets the finder skip rows no blob reached (see CrossingCells).
//
// `marcher` must hold its generated table; the grid must have storage (not
// checked). Allocates nothing once `cells` fits the grid's shape.
template <class Visit>
int64_t forEachPolygonisedCell(CubeMarcher& marcher, const ScalarGrid& grid, CrossingCells& cells,
                               const AmbiguousCaseTable* decider, Visit&& visit,
                               const ReachedRows* rows = nullptr) {
    int64_t crossingCells = 0;
    cells.forEach(
        grid,
        [&](int32_t x, int32_t y, int32_t z) {
            float corners[kCornerCount];
            readCellCorners(grid, x, y, z, corners);
            marcher.setCornerValues(corners);
            float triangles[kMaxTrianglesPerCell * kFloatsPerTriangle];
            const int32_t count = marcher.polygoniseCell(triangles, decider);
            visit(Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)},
                  static_cast<const float*>(triangles), count);
            ++crossingCells;
        },
        rows);
    return crossingCells;
}

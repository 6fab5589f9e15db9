#include "extract/crossing_cells.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kBelow = 0;
constexpr int32_t kAbove = 1;
constexpr int32_t kSides = 2;
constexpr int32_t kPlanes = 2;  // the two sample planes a cell plane lies between
constexpr int32_t kLastBit = CrossingCells::kBitsPerWord - 1;

int64_t wordsFor(int64_t bits) {
    return (bits + CrossingCells::kBitsPerWord - 1) / CrossingCells::kBitsPerWord;
}

// The four sample rows around one cell row: (y, z), (y + 1, z), (y, z + 1),
// (y + 1, z + 1), all with the same side's masks.
struct CellRowCorners {
    const uint64_t* rows[4];

    uint64_t anyAt(int64_t word) const {
        return rows[0][word] | rows[1][word] | rows[2][word] | rows[3][word];
    }
};

// Bit i: cell i of the word has a corner on the rows' side. Cell i has its
// corners at samples i and i + 1, so the mask is OR-ed with itself shifted
// by one, and the last cell's upper samples come from the next word.
uint64_t cellsTouchingSide(const CellRowCorners& corners, int64_t word, int64_t wordsPerRow) {
    const uint64_t samples = corners.anyAt(word);
    const uint64_t nextSamples = word + 1 < wordsPerRow ? corners.anyAt(word + 1) : 0;
    return samples | (samples >> 1) | (nextSamples << kLastBit);
}

// The bits of the word that stand for existing cells (x < cellsX).
uint64_t existingCells(int64_t word, int32_t cellsX) {
    const int64_t cellsInWord = cellsX - word * CrossingCells::kBitsPerWord;
    return cellsInWord >= CrossingCells::kBitsPerWord ? ~uint64_t{0}
                                                      : (uint64_t{1} << cellsInWord) - 1;
}

}  // namespace

void signMasksOf(const float* samples, int32_t count, uint64_t& below, uint64_t& above) {
    below = 0;
    above = 0;
    int32_t i = 0;
#ifdef __SSE2__
    // Four samples per compare; ordered compares are false for NaN, as < and
    // > are below.
    constexpr int32_t kLanes = 4;
    const __m128 zero = _mm_setzero_ps();
    for (; i + kLanes <= count; i += kLanes) {
        const __m128 v = _mm_loadu_ps(samples + i);
        below |= uint64_t(_mm_movemask_ps(_mm_cmplt_ps(v, zero))) << i;
        above |= uint64_t(_mm_movemask_ps(_mm_cmpgt_ps(v, zero))) << i;
    }
#endif
    for (; i < count; ++i) {
        below |= uint64_t{samples[i] < 0.0f} << i;
        above |= uint64_t{samples[i] > 0.0f} << i;
    }
}

void CrossingCells::fitTo(const ScalarGrid& grid, int32_t cellsX) {
    const bool hasCells = cellsX > 0 && grid.ny >= 2 && grid.nz >= 2;
    const int32_t samplesX = hasCells ? cellsX + 1 : 0;
    if (samplesX == nx_ && grid.ny == ny_ && grid.nz == nz_) {
        return;
    }
    nx_ = samplesX;
    ny_ = grid.ny;
    nz_ = grid.nz;
    cellsX_ = hasCells ? cellsX : 0;
    cellsZ_ = hasCells ? nz_ - 1 : 0;
    wordsPerSlab_ = hasCells ? wordsFor(int64_t{ny_ - 1} * cellsZ_) : 0;
    wordsPerRow_ = static_cast<int32_t>(wordsFor(nx_));
    marks_.assign(static_cast<size_t>(cellsX_ * wordsPerSlab_), 0);
    signs_.assign(static_cast<size_t>(int64_t{kPlanes} * kSides * ny_ * wordsPerRow_), 0);
}

CrossingCells::RowSigns CrossingCells::rowSigns(int32_t plane, int32_t y) {
    const auto at = [&](int32_t side) {
        return signs_.data() + ((int64_t{plane} * kSides + side) * ny_ + y) * wordsPerRow_;
    };
    return {at(kBelow), at(kAbove)};
}

void CrossingCells::computePlaneSigns(const ScalarGrid& grid, int32_t z, int32_t plane) {
    for (int32_t y = 0; y < ny_; ++y) {
        const float* row = grid.data + int64_t{grid.sliceSize} * z + int64_t{grid.nx} * y + firstX_;
        const RowSigns signs = rowSigns(plane, y);
        const bool background = rows_ != nullptr && !rows_->reached(y, z);
        for (int32_t w = 0; w < wordsPerRow_; ++w) {
            const int32_t first = w * kBitsPerWord;
            const int32_t count = std::min(kBitsPerWord, nx_ - first);
            if (background) {
                signs.below[w] = count == kBitsPerWord ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
                signs.above[w] = 0;
            } else {
                signMasksOf(row + first, count, signs.below[w], signs.above[w]);
            }
        }
    }
}

void CrossingCells::markCellRow(int32_t y, int32_t z) {
    const RowSigns low0 = rowSigns(z % kPlanes, y);
    const RowSigns low1 = rowSigns(z % kPlanes, y + 1);
    const RowSigns high0 = rowSigns((z + 1) % kPlanes, y);
    const RowSigns high1 = rowSigns((z + 1) % kPlanes, y + 1);
    const CellRowCorners below{{low0.below, low1.below, high0.below, high1.below}};
    const CellRowCorners above{{low0.above, low1.above, high0.above, high1.above}};
    const int64_t q = int64_t{y} * cellsZ_ + z;
    for (int64_t w = 0; w < wordsFor(cellsX_); ++w) {
        uint64_t crossing = cellsTouchingSide(below, w, wordsPerRow_) &
                            cellsTouchingSide(above, w, wordsPerRow_) & existingCells(w, cellsX_);
        for (; crossing != 0; crossing &= crossing - 1) {
            markCell(static_cast<int32_t>(w * kBitsPerWord + std::countr_zero(crossing)), q);
        }
    }
}

// One sweep through the samples in storage order; each sample plane's signs
// are worked out once and serve the cell planes on both sides of it.
void CrossingCells::markCrossingCells(const ScalarGrid& grid, int32_t firstX, int32_t endX) {
    firstX_ = firstX;
    fitTo(grid, endX - firstX);
    if (cellsX_ == 0) {
        return;
    }
    computePlaneSigns(grid, 0, 0);
    for (int32_t z = 0; z < cellsZ_; ++z) {
        computePlaneSigns(grid, z + 1, (z + 1) % kPlanes);
        for (int32_t y = 0; y < ny_ - 1; ++y) {
            markCellRow(y, z);
        }
    }
}

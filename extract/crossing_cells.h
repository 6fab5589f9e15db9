#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "field/reached_rows.h"
#include "field/scalar_grid.h"

// Finds the crossing cells of a grid, the cells with some corner value below
// 0 and some above 0 (exactly 0.0 and NaN count as neither; a volume read at
// an iso value has neither), and hands them out in one of two orders: the
// per-cell visit's (x outermost, then y, then z fastest) or the samples'
// storage order (z outermost, then y, then x fastest), which reads memory in
// order.
//
// Cells are found 64 at a time: each sample row along x becomes two bit
// masks (below 0, above 0); OR-ing the masks of a cell row's four sample rows
// and each mask with itself shifted by one sample gives, for 64 cells at once,
// whether some corner is below and some above. Only the few crossing cells
// are ever looked at one by one.
//
// For the per-cell visit's order the found cells are kept as one bit per
// cell, grouped by x:
//   marks_[x * wordsPerSlab_ + q / 64], bit q % 64, where q = y * cellsZ + z,
// so that reading a slab's words in order yields y, then z, ascending.
//
// The workspace is sized for one grid shape and resized only when a grid of
// another shape comes along; otherwise finding allocates nothing.
class CrossingCells {
  public:
    static constexpr int32_t kBitsPerWord = 64;

    // Calls visit(x, y, z) for every crossing cell of `grid` in the per-cell
    // visit's order, (x, y, z) being the cell's lowest corner. `grid` must
    // have samples (not checked); a grid with fewer than two samples along
    // an axis has no cells. Rows that `rows` (when given and fitting the
    // grid) records as unreached are known to hold the background, below
    // zero, and are not read.
    template <class Visit>
    void forEach(const ScalarGrid& grid, Visit&& visit, const ReachedRows* rows = nullptr) {
        markCrossingCells(grid, rows);
        for (int32_t x = 0; x < cellsX_; ++x) {
            visitSlab(x, visit);
        }
    }

    // The same in storage order, for the cells with firstZ <= z < endZ only
    // (0 <= firstZ, endZ <= nz - 1, not checked), reading no sample plane
    // outside them: one thread's share of a grid. Nothing is kept: each cell
    // row's cells are visited as soon as its four sample rows are known.
    template <class Visit>
    void forEachInStorageOrder(const ScalarGrid& grid, int32_t firstZ, int32_t endZ, Visit&& visit,
                               const ReachedRows* rows = nullptr) {
        startPlanes(grid, firstZ, endZ, rows);
        for (int32_t z = firstZ; z < endZ && cellsX_ > 0; ++z) {
            computePlaneSigns(grid, z + 1, (z + 1) % kPlanes);
            for (int32_t y = 0; y < ny_ - 1; ++y) {
                visitCrossingRow(cornerRows(y, z), [&](int32_t x) { visit(x, y, z); });
            }
        }
    }

  private:
    static constexpr int32_t kPlanes = 2;  // the two sample planes a cell plane lies between

    // The masks of the four sample rows around cell row (y, z): (y, z),
    // (y + 1, z), (y, z + 1), (y + 1, z + 1), below and above.
    struct CornerRows {
        const uint64_t* below[4];
        const uint64_t* above[4];
    };

    void fitTo(const ScalarGrid& grid);
    void useRows(const ScalarGrid& grid, const ReachedRows* rows);
    void markCrossingCells(const ScalarGrid& grid, const ReachedRows* rows);
    // Fits the workspace, takes `rows` and computes sample plane firstZ,
    // when there are cells firstZ <= z < endZ.
    void startPlanes(const ScalarGrid& grid, int32_t firstZ, int32_t endZ, const ReachedRows* rows);
    void computePlaneSigns(const ScalarGrid& grid, int32_t z, int32_t plane);
    CornerRows cornerRows(int32_t y, int32_t z);

    // Bit i: some of the four sample rows has sample (word * 64 + i) in `rows`.
    static uint64_t anySample(const uint64_t* const (&rows)[4], int64_t word) {
        return rows[0][word] | rows[1][word] | rows[2][word] | rows[3][word];
    }
    // Bit i: cell i of a word has a corner among `samples`: cell i has its
    // corners at samples i and i + 1, the last cell's upper ones in the next
    // word.
    static uint64_t cellsTouching(uint64_t samples, uint64_t nextSamples) {
        return samples | (samples >> 1) | (nextSamples << (kBitsPerWord - 1));
    }

    // Calls visit(x) for each crossing cell of the corners' cell row, x
    // ascending; each word of samples is OR-ed once and serves two cell words.
    template <class Visit>
    void visitCrossingRow(const CornerRows& corners, Visit&& visit) const {
        uint64_t below = anySample(corners.below, 0);
        uint64_t above = anySample(corners.above, 0);
        for (int32_t w = 0; w < cellWordsPerRow_; ++w) {
            const bool lastWord = w + 1 == wordsPerRow_;
            const uint64_t nextBelow = lastWord ? 0 : anySample(corners.below, w + 1);
            const uint64_t nextAbove = lastWord ? 0 : anySample(corners.above, w + 1);
            uint64_t bits = cellsTouching(below, nextBelow) & cellsTouching(above, nextAbove);
            if (w + 1 == cellWordsPerRow_) {
                bits &= lastCellWord_;
            }
            for (; bits != 0; bits &= bits - 1) {
                visit(static_cast<int32_t>(w * kBitsPerWord + std::countr_zero(bits)));
            }
            below = nextBelow;
            above = nextAbove;
        }
    }
    void markCell(int32_t x, int64_t q) {
        marks_[x * wordsPerSlab_ + q / kBitsPerWord] |= uint64_t{1} << (q % kBitsPerWord);
    }

    // Visits the slab's marked cells and clears their marks for the next grid.
    template <class Visit>
    void visitSlab(int32_t x, Visit& visit) {
        uint64_t* slab = marks_.data() + x * wordsPerSlab_;
        for (int64_t w = 0; w < wordsPerSlab_; ++w) {
            for (uint64_t bits = slab[w]; bits != 0; bits &= bits - 1) {
                const int64_t q = w * kBitsPerWord + std::countr_zero(bits);
                visit(x, static_cast<int32_t>(q / cellsZ_), static_cast<int32_t>(q % cellsZ_));
            }
            slab[w] = 0;
        }
    }

    // The shape the workspace is sized for.
    int32_t nx_ = 0;
    int32_t ny_ = 0;
    int32_t nz_ = 0;
    int32_t cellsX_ = 0;
    int32_t cellsZ_ = 0;
    int64_t wordsPerSlab_ = 0;     // ceil(cell rows / 64), cell rows = (ny - 1) * (nz - 1)
    int32_t wordsPerRow_ = 0;      // ceil(nx / 64): one sample row's mask words
    int32_t cellWordsPerRow_ = 0;  // ceil((nx - 1) / 64): one cell row's
    uint64_t lastCellWord_ = 0;    // the bits of a row's last cell word that are cells
    const ReachedRows* rows_ = nullptr;
    std::vector<uint64_t> marks_;  // for the per-cell visit's order only
    // Sign masks of two sample planes (z and z + 1), below then above:
    // signs_[((plane * 2 + side) * ny + y) * wordsPerRow_ + word].
    std::vector<uint64_t> signs_;
};

// Bit i of below / above: whether samples[i] < 0 / > 0, for i < count <= 64.
void signMasksOf(const float* samples, int32_t count, uint64_t& below, uint64_t& above);
// The same for a volume's samples read at `iso`: the signs of
// isoDifferenceOf(samples[i], iso), never 0, so every bit is in one mask.
// Integer samples (8 and 16 bits, signed or not) compare as integers.
template <class T>
requires std::is_integral_v<T>
void isoSignMasksOf(const T* samples, int32_t count, float iso, uint64_t& below, uint64_t& above);
void isoSignMasksOf(const float* samples, int32_t count, float iso, uint64_t& below,
                    uint64_t& above);

#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "field/reached_rows.h"
#include "field/scalar_grid.h"

// The sign masks of every sample plane of a grid, for threads that share
// one: each computes the planes of its own run of z, whole rows at a time, so
// each reads memory in order, and then each marks its own run of x-slabs
// from them (CrossingCells::forEachInSlabs with signs). Layout:
//   signs[((z * 2 + side) * ny + y) * wordsPerRow + word], side 0 below.
class PlaneSigns {
  public:
    void fitTo(const ScalarGrid& grid);
    // Planes zBegin <= z < zEnd; rows `rows` records as unreached are not read.
    void compute(const ScalarGrid& grid, int32_t zBegin, int32_t zEnd, const ReachedRows* rows);
    const uint64_t* row(int32_t z, int32_t side, int32_t y) const {
        return signs_.data() + ((int64_t{z} * 2 + side) * ny_ + y) * wordsPerRow_;
    }
    int32_t wordsPerRow() const { return wordsPerRow_; }

  private:
    int32_t nx_ = -1;
    int32_t ny_ = -1;
    int32_t nz_ = -1;
    int32_t wordsPerRow_ = 0;
    std::vector<uint64_t> signs_;
};

// Finds the crossing cells of a grid, the cells with some corner value below
// 0 and some above 0 (exactly 0.0 and NaN count as neither; a volume read at
// an iso value has neither), and hands them
// out in the surface pass's traversal order: x outermost, then y, then z
// fastest.
//
// Cells are found 64 at a time: each sample row along x becomes two bit
// masks (below 0, above 0); OR-ing the masks of a cell row's four sample rows
// and each mask with itself shifted by one sample gives, for 64 cells at once,
// whether some corner is below and some above. Only the few crossing cells
// are ever looked at one by one.
//
// The found cells are kept as one bit per cell, grouped by x:
//   marks_[x * wordsPerSlab_ + q / 64], bit q % 64, where q = y * cellsZ + z,
// so that reading a slab's words in order yields y, then z, ascending.
//
// The workspace is sized for one grid shape and resized only when a grid of
// another shape comes along; otherwise finding allocates nothing.
class CrossingCells {
  public:
    static constexpr int32_t kBitsPerWord = 64;

    // Calls visit(x, y, z) for every crossing cell of `grid`, in traversal
    // order, (x, y, z) being the cell's lowest corner. `grid` must have
    // storage (not checked); a grid with fewer than two samples along an
    // axis has no cells. Rows that `rows` (when given and fitting the grid)
    // records as unreached are known to hold the background, below zero, and
    // are not read.
    template <class Visit>
    void forEach(const ScalarGrid& grid, Visit&& visit, const ReachedRows* rows = nullptr) {
        forEachInSlabs(grid, 0, grid.nx - 1, visit, rows);
    }

    // The same for the cells with firstX <= x < endX only (0 <= firstX and
    // endX <= nx - 1, not checked), reading no sample outside them: one
    // thread's share of a grid.
    template <class Visit>
    void forEachInSlabs(const ScalarGrid& grid, int32_t firstX, int32_t endX, Visit&& visit,
                        const ReachedRows* rows = nullptr) {
        rows_ = rows != nullptr && rows->fits(grid) ? rows : nullptr;
        markCrossingCells(grid, firstX, endX);
        for (int32_t x = 0; x < cellsX_; ++x) {
            visitSlab(x, visit);
        }
    }

    // Makes room for runs of slabs as wide as `grid`, so that runs that
    // change width from one call to the next allocate nothing.
    void reserveFor(const ScalarGrid& grid);

    // The same from the masks of `signs`, computed for every plane of `grid`.
    // Reads no sample.
    template <class Visit>
    void forEachInSlabs(const PlaneSigns& signs, const ScalarGrid& grid, int32_t firstX,
                        int32_t endX, Visit&& visit) {
        markFromSigns(signs, grid, firstX, endX);
        for (int32_t x = 0; x < cellsX_; ++x) {
            visitSlab(x, visit);
        }
    }

  private:
    // A sample row's signs, one bit per sample.
    struct RowSigns {
        const uint64_t* below;
        const uint64_t* above;
    };

    void fitTo(const ScalarGrid& grid, int32_t cellsX);
    void markCrossingCells(const ScalarGrid& grid, int32_t firstX, int32_t endX);
    void computePlaneSigns(const ScalarGrid& grid, int32_t z, int32_t plane);
    RowSigns rowSigns(int32_t plane, int32_t y);
    // Marks the crossing cells of cell row (y, z) from its four sample rows'
    // signs: (y, z), (y + 1, z), (y, z + 1), (y + 1, z + 1), whose masks hold
    // `wordsPerRow` words from this run's first cell on.
    void markCellRow(int32_t y, int32_t z, const RowSigns (&corners)[4], int32_t wordsPerRow);
    void markFromSigns(const PlaneSigns& signs, const ScalarGrid& grid, int32_t firstX,
                       int32_t endX);
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
                visit(firstX_ + x, static_cast<int32_t>(q / cellsZ_),
                      static_cast<int32_t>(q % cellsZ_));
            }
            slab[w] = 0;
        }
    }

    // The shape the workspace is sized for: the slabs' samples along x, and
    // the grid's along y and z. Marks are kept for slabs x - firstX_.
    int32_t firstX_ = 0;
    int32_t nx_ = 0;
    int32_t ny_ = 0;
    int32_t nz_ = 0;
    int32_t cellsX_ = 0;
    int32_t cellsZ_ = 0;
    int64_t wordsPerSlab_ = 0;  // ceil(cell rows / 64), cell rows = (ny - 1) * (nz - 1)
    int32_t wordsPerRow_ = 0;   // ceil(nx_ / 64): one sample row's mask words
    const ReachedRows* rows_ = nullptr;
    std::vector<uint64_t> marks_;
    std::vector<uint64_t> shifted_;  // markFromSigns' rows, when not word-aligned
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

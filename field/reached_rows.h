#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "field/scalar_grid.h"

// Which sample rows of a grid some blob reached in the field step
// (updateMetaballField) that last filled this record. A row is the nx samples
// that share j (y) and k (z); the record keeps one bit per row, row q =
// k * ny + j in bit q % 64 of word q / 64.
//
// The promise runs one way: a row that no blob reached holds exactly the
// background value (kFieldBackground) in every sample, so no cell with all
// its corners on such rows can cross zero. A reached row may still hold only
// the background, rarely: a blob counts as reaching every row that passes
// within r of its centre, even where no sample of the row lies that close.
//
// The record speaks for the samples only until something other than the field
// step writes them, and only for a grid of the shape it was filled for (see
// fits). Rows outside that shape count as reached: nothing is promised there.
// The storage is resized only when the shape changes, so filling the record
// frame after frame allocates nothing.
class ReachedRows {
  public:
    static constexpr int32_t kBitsPerWord = 64;

    // Sizes the record for `grid`'s shape, marking no row reached. A grid
    // without storage has no rows.
    void clearFor(const ScalarGrid& grid);
    // Marks row (j, k), which must lie within the shape (not checked).
    void markReached(int32_t j, int32_t k) {
        const int64_t q = rowIndex(j, k);
        bits_[static_cast<std::size_t>(q / kBitsPerWord)] |= uint64_t{1} << (q % kBitsPerWord);
    }

    // Whether some blob reached row (j, k); true outside the shape.
    bool reached(int32_t j, int32_t k) const {
        if (j < 0 || j >= ny_ || k < 0 || k >= nz_) {
            return true;
        }
        const int64_t q = rowIndex(j, k);
        return (bits_[static_cast<std::size_t>(q / kBitsPerWord)] >> (q % kBitsPerWord) & 1) != 0;
    }

    // Whether the record was last cleared for a grid of `grid`'s shape.
    bool fits(const ScalarGrid& grid) const {
        return grid.nx == nx_ && grid.ny == ny_ && grid.nz == nz_;
    }

  private:
    int64_t rowIndex(int32_t j, int32_t k) const { return int64_t{k} * ny_ + j; }

    int32_t nx_ = 0;
    int32_t ny_ = 0;
    int32_t nz_ = 0;
    std::vector<uint64_t> bits_;
};

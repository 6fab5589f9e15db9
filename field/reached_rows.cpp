#include "field/reached_rows.h"

#include <algorithm>

void ReachedRows::clearFor(const ScalarGrid& grid) {
    if (!fits(grid)) {
        nx_ = grid.nx;
        ny_ = grid.ny;
        nz_ = grid.nz;
        const int64_t rows = int64_t{ny_} * nz_;
        bits_.assign(static_cast<std::size_t>((rows + kBitsPerWord - 1) / kBitsPerWord), 0);
        return;
    }
    std::fill(bits_.begin(), bits_.end(), 0);
}

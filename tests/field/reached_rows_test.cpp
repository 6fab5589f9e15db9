#include "field/reached_rows.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// The field step's tests check what the record says about the rows it
// filled; these check what it says beyond them.
constexpr int32_t kNx = 3;
constexpr int32_t kNy = 7;
constexpr int32_t kNz = 20;

// A record promises nothing beyond the shape it was cleared for: rows
// outside it count as reached, and a grid without storage has no rows.
TEST(ReachedRows, PromisesNothingOutsideItsShape) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(kNx, kNy, kNz));
    ReachedRows rows;
    rows.clearFor(grid);
    EXPECT_TRUE(rows.fits(grid));
    for (const auto& [j, k] : {std::pair{-1, 0}, {kNy, 0}, {0, -1}, {0, kNz}}) {
        EXPECT_TRUE(rows.reached(j, k)) << j << ' ' << k;
    }
    ScalarGrid other;
    ASSERT_TRUE(other.allocate(kNx + 1, kNy, kNz));
    EXPECT_FALSE(rows.fits(other));

    ScalarGrid none;
    rows.clearFor(none);
    EXPECT_TRUE(rows.fits(none));
    EXPECT_FALSE(rows.fits(grid));
    EXPECT_TRUE(rows.reached(0, 0));
}

}  // namespace

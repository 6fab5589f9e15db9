#include "field/reached_rows.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// More rows than one word holds, in a shape that is not a multiple of 64,
// so that rows share and cross words.
constexpr int32_t kNx = 3;
constexpr int32_t kNy = 7;
constexpr int32_t kNz = 20;

bool isMarkedInPattern(int32_t j, int32_t k) {
    return (j * 3 + k) % 5 == 0;
}

// Each row answers for itself alone, and clearing for the same shape again
// forgets every mark, as the field step relies on frame after frame.
TEST(ReachedRows, RemembersEachMarkedRowUntilClearedAgain) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(kNx, kNy, kNz));
    ReachedRows rows;
    rows.clearFor(grid);
    for (int32_t k = 0; k < kNz; ++k) {
        for (int32_t j = 0; j < kNy; ++j) {
            if (isMarkedInPattern(j, k)) {
                rows.markReached(j, k);
            }
        }
    }
    for (int32_t k = 0; k < kNz; ++k) {
        for (int32_t j = 0; j < kNy; ++j) {
            EXPECT_EQ(rows.reached(j, k), isMarkedInPattern(j, k)) << j << ' ' << k;
        }
    }
    rows.clearFor(grid);
    for (int32_t k = 0; k < kNz; ++k) {
        for (int32_t j = 0; j < kNy; ++j) {
            EXPECT_FALSE(rows.reached(j, k)) << j << ' ' << k;
        }
    }
}

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

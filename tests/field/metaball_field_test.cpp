#include "field/metaball_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "animated_field.h"
#include "reference_field.h"

namespace {

float sampleAt(const ScalarGrid& grid, int32_t i, int32_t j, int32_t k) {
    float out = std::nanf("");
    grid.readSample(i, j, k, out);
    return out;
}

// 40 x 40 x 6 samples at time 0: blob 1 is centred at (20, 36, 5.0195) (z
// scaled from 33.463535 at 40), within 0.1 of sample (20, 36, 5); the other
// five blobs lie out of reach of the samples tested here.
TEST(MetaballField, NearAndAroundOneBlobAtTimeZero) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 6));
    updateMetaballField(grid, 0.0f);
    EXPECT_FLOAT_EQ(sampleAt(grid, 20, 36, 5), 99.5f);   // r / 0.1f, not (r - d) / d
    EXPECT_NEAR(sampleAt(grid, 20, 31, 5), 0.5f, 1e-4);  // d = 5 of r = 10
    EXPECT_NEAR(sampleAt(grid, 15, 36, 5), 0.5f, 1e-4);
    for (const auto& [i, j, k] : {std::array{20, 26, 5}, {10, 36, 5}, {0, 0, 0}, {39, 0, 5}}) {
        EXPECT_EQ(sampleAt(grid, i, j, k), kFieldBackground) << i << ' ' << j << ' ' << k;
    }
}

// r = nx / 4 is 0 below four samples: no blob reaches any sample. A grid
// without storage is left without.
TEST(MetaballField, GridsNarrowerThanFourSamplesKeepTheBackground) {
    ScalarGrid none;
    updateMetaballField(none, 1.0f);
    EXPECT_EQ(none.data, nullptr);
    for (int32_t nx = 1; nx <= 3; ++nx) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(nx, 5, 5));
        updateMetaballField(grid, 1.0f);
        EXPECT_TRUE(std::all_of(grid.data, grid.data + grid.sampleCount(),
                                [](float v) { return v == kFieldBackground; }))
            << "nx = " << nx;
    }
}

// Rows that hold exactly the background in every sample, and how many of
// them the record calls unreached.
struct EmptyRows {
    int64_t found = 0;
    int64_t recorded = 0;
};

// A record that called every row reached would keep its promise and be of
// no use.
constexpr double kEmptyRowsRecordedAtLeast = 0.99;

// Checks the record's promise on every row of `grid` (an unreached row holds
// only the background) and tallies the empty rows into `tally`.
void checkRecordedRows(const ScalarGrid& grid, const ReachedRows& rows, EmptyRows& tally) {
    for (int32_t k = 0; k < grid.nz; ++k) {
        for (int32_t j = 0; j < grid.ny; ++j) {
            const float* row = grid.data + int64_t{grid.sliceSize} * k + int64_t{grid.nx} * j;
            const bool empty =
                std::all_of(row, row + grid.nx, [](float v) { return v == kFieldBackground; });
            if (!empty && !rows.reached(j, k)) {
                ADD_FAILURE() << "row " << j << ' ' << k << " was changed but not recorded";
                return;
            }
            tally.found += empty ? 1 : 0;
            tally.recorded += empty && !rows.reached(j, k) ? 1 : 0;
        }
    }
}

// The fast step, with and without the record of reached rows, against six
// plain passes over the grid, bit for bit, on the same grids time after time:
// cubic grids around word and vector widths, grids too narrow for any blob,
// flat, narrow or long grids whose blob boxes reach past the borders;
// negative and large clocks, and inf and NaN ones that leave the centres NaN.
// Every row the record leaves unreached holds only the background, and
// nearly every row that holds only the background is recorded as unreached.
TEST(MetaballField, FastStepMatchesSixFullPassesBitForBit) {
    const float times[] = {0.0f,
                           0.2f,
                           -7.3f,
                           37.3f,
                           -1.0e4f,
                           123456.7f,
                           3.0e7f,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    using Shape = std::array<int32_t, 3>;
    EmptyRows emptyRows;
    for (const Shape& shape :
         {Shape{2, 2, 2}, Shape{3, 3, 3}, Shape{17, 17, 17}, Shape{40, 40, 40}, Shape{41, 41, 41},
          Shape{64, 64, 64}, Shape{40, 17, 23}, Shape{64, 8, 8}, Shape{5, 40, 40}, Shape{40, 40, 6},
          Shape{4, 1, 1}, Shape{2001, 3, 2}}) {
        ScalarGrid fast;
        ScalarGrid recorded;
        ScalarGrid plain;
        ASSERT_TRUE(fast.allocate(shape[0], shape[1], shape[2]));
        ASSERT_TRUE(recorded.allocate(shape[0], shape[1], shape[2]));
        ASSERT_TRUE(plain.allocate(shape[0], shape[1], shape[2]));
        ReachedRows rows;
        const size_t bytes = static_cast<size_t>(fast.sampleCount()) * sizeof(float);
        for (const float t : times) {
            updateMetaballField(fast, t);
            updateMetaballField(recorded, t, rows);
            reference::updateMetaballField(plain, t);
            EXPECT_EQ(std::memcmp(fast.data, plain.data, bytes), 0)
                << testing::PrintToString(shape) << " t " << t;
            EXPECT_EQ(std::memcmp(recorded.data, plain.data, bytes), 0)
                << testing::PrintToString(shape) << " t " << t << " recording rows";
            SCOPED_TRACE(testing::PrintToString(shape) + " t " + std::to_string(t));
            checkRecordedRows(plain, rows, emptyRows);
        }
    }
    EXPECT_GE(emptyRows.recorded, kEmptyRowsRecordedAtLeast * emptyRows.found);
}

// The samples a blob barely reaches or barely misses decide whether the
// step's reach is wide enough; a run's consecutive clocks move the centres
// through many sub-sample offsets.
TEST(MetaballField, RunOfFramesMatchesSixFullPassesAndRecordsTheEmptyRows) {
    constexpr int32_t kFrames = 120;
    for (const int32_t n : {40, 45}) {
        ScalarGrid fast;
        ScalarGrid plain;
        ASSERT_TRUE(fast.allocate(n, n, n));
        ASSERT_TRUE(plain.allocate(n, n, n));
        ReachedRows rows;
        EmptyRows emptyRows;
        float time = 0.0f;
        for (int32_t frame = 1; frame <= kFrames; ++frame) {
            time = nextClock(time);
            updateMetaballField(fast, time, rows);
            reference::updateMetaballField(plain, time);
            ASSERT_EQ(std::memcmp(fast.data, plain.data, sizeof(float) * fast.sampleCount()), 0)
                << n << " frame " << frame;
            SCOPED_TRACE(std::to_string(n) + " frame " + std::to_string(frame));
            checkRecordedRows(plain, rows, emptyRows);
        }
        EXPECT_GE(emptyRows.recorded, kEmptyRowsRecordedAtLeast * emptyRows.found) << n;
    }
}

}  // namespace

#include "field/metaball_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "reference_field.h"

namespace {

constexpr size_t kClocks = 60;
constexpr double kClockStep = 0.2;  // a frame's step of the running clock
// A record that called every row reached would keep its promise and be of
// no use.
constexpr double kEmptyRowsRecordedAtLeast = 0.99;

// The fast step, with and without the record of reached rows, against six
// plain passes over the grid, bit for bit, on the same grids time after time:
// cubic grids around word and vector widths, grids too narrow for any blob,
// flat, narrow or long grids whose blob boxes reach past the borders; odd,
// negative, huge, infinite and NaN clocks, then a run of frames that moves the
// centres through many sub-sample offsets, so the samples a blob barely
// reaches or misses decide. A row the record leaves unreached (and every row
// beyond the grid is reached) holds only the background, and nearly every
// such row is recorded as unreached.
TEST(MetaballField, FastStepMatchesSixFullPassesBitForBitAndRecordsTheEmptyRows) {
    std::vector<float> clocks = {-7.3f,        37.3f,  -1.0e4f,
                                 123456.7f,    3.0e7f, std::numeric_limits<float>::infinity(),
                                 std::nanf("")};
    for (float clock = 0.0f; clocks.size() < kClocks; clock = float(clock + kClockStep)) {
        clocks.push_back(clock);
    }
    int64_t emptyRows = 0;
    int64_t recordedEmpty = 0;
    ReachedRows rows;  // refitted to each shape in turn
    const std::array<int32_t, 3> shapes[] = {
        {2, 2, 2},    {3, 3, 3},  {17, 17, 17}, {40, 40, 40}, {45, 45, 45}, {64, 64, 64},
        {40, 17, 23}, {64, 8, 8}, {5, 40, 40},  {40, 40, 6},  {4, 1, 1},    {2001, 3, 2}};
    for (const auto& [nx, ny, nz] : shapes) {
        ScalarGrid fast, recorded, plain;
        ASSERT_TRUE(fast.allocate(nx, ny, nz) && recorded.allocate(nx, ny, nz) &&
                    plain.allocate(nx, ny, nz));
        const auto background = [](float v) { return v == kFieldBackground; };
        for (const float clock : clocks) {
            SCOPED_TRACE(std::to_string(nx) + "x" + std::to_string(ny) + "x" + std::to_string(nz) +
                         " at " + std::to_string(clock));
            updateMetaballField(fast, clock);
            updateMetaballField(recorded, clock, rows);
            reference::updateMetaballField(plain, clock);
            const size_t bytes = sizeof(float) * plain.sampleCount();
            ASSERT_EQ(std::memcmp(fast.data, plain.data, bytes), 0);
            ASSERT_EQ(std::memcmp(recorded.data, plain.data, bytes), 0);
            for (int32_t k = -1; k <= nz; ++k) {
                for (int32_t j = -1; j <= ny; ++j) {
                    const bool inside = j >= 0 && j < ny && k >= 0 && k < nz;
                    const float* row = plain.data + (inside ? (int64_t{k} * ny + j) * nx : 0);
                    const bool empty = inside && std::all_of(row, row + nx, background);
                    ASSERT_TRUE(empty || rows.reached(j, k)) << "row " << j << ' ' << k;
                    emptyRows += empty ? 1 : 0;
                    recordedEmpty += empty && !rows.reached(j, k) ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GE(recordedEmpty, kEmptyRowsRecordedAtLeast * emptyRows);
}

}  // namespace

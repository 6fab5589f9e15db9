#include "field/metaball_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

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

// The fast step against six plain passes over the grid, bit for bit, on the
// same grid time after time: cubic grids around word and vector widths, grids
// too narrow for any blob, flat or narrow grids whose blob boxes reach past
// the borders; negative and large clocks, and inf and NaN ones that leave the
// centres NaN.
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
    for (const Shape& shape : {Shape{2, 2, 2}, Shape{3, 3, 3}, Shape{17, 17, 17}, Shape{40, 40, 40},
                               Shape{41, 41, 41}, Shape{64, 64, 64}, Shape{40, 17, 23},
                               Shape{64, 8, 8}, Shape{5, 40, 40}, Shape{40, 40, 6}}) {
        ScalarGrid fast;
        ScalarGrid plain;
        ASSERT_TRUE(fast.allocate(shape[0], shape[1], shape[2]));
        ASSERT_TRUE(plain.allocate(shape[0], shape[1], shape[2]));
        const size_t bytes = static_cast<size_t>(fast.sampleCount()) * sizeof(float);
        for (const float t : times) {
            updateMetaballField(fast, t);
            reference::updateMetaballField(plain, t);
            EXPECT_EQ(std::memcmp(fast.data, plain.data, bytes), 0)
                << testing::PrintToString(shape) << " t " << t;
        }
    }
}

}  // namespace

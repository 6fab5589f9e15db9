// The fast field step against six plain passes over the grid, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "field/metaball_field.h"
#include "perf_grid_shape.h"
#include "reference_field.h"

namespace {

// Cubic grids around word and vector widths, grids too narrow for any blob,
// and flat or narrow grids whose blob boxes reach past the borders.
const GridShape kShapes[] = {{2, 2, 2},    {3, 3, 3},    {17, 17, 17}, {40, 40, 40}, {41, 41, 41},
                             {64, 64, 64}, {40, 17, 23}, {64, 8, 8},   {5, 40, 40},  {40, 40, 6}};

// Negative and large clocks too; a clock of inf or NaN leaves the centres NaN.
const float kTimes[] = {0.0f,
                        0.2f,
                        -7.3f,
                        37.3f,
                        -1.0e4f,
                        123456.7f,
                        3.0e7f,
                        std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN()};

class FastFieldStep : public ::testing::TestWithParam<GridShape> {};

TEST_P(FastFieldStep, MatchesSixFullPassesBitForBit) {
    const GridShape shape = GetParam();
    ScalarGrid fast;
    ScalarGrid plain;
    ASSERT_TRUE(fast.allocate(shape.nx, shape.ny, shape.nz));
    ASSERT_TRUE(plain.allocate(shape.nx, shape.ny, shape.nz));
    const size_t bytes = static_cast<size_t>(fast.sampleCount()) * sizeof(float);
    for (const float t : kTimes) {
        updateMetaballField(fast, t);
        reference::updateMetaballField(plain, t);
        EXPECT_EQ(std::memcmp(fast.data, plain.data, bytes), 0) << "t " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FastFieldStep, ::testing::ValuesIn(kShapes),
                         [](const auto& param) { return nameOf(param.param); });

// Guards the comparison: the blobs do reach the grid at these times.
TEST(FastFieldStep, BlobsRaiseSomeSamples) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    for (const float t : {0.0f, -1.0e4f, 3.0e7f}) {
        updateMetaballField(grid, t);
        const std::vector<float> samples(grid.data, grid.data + grid.sampleCount());
        EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 0.0f) << "t " << t;
    }
}

}  // namespace

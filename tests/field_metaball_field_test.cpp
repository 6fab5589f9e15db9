#include "field/metaball_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

float sampleAt(const ScalarGrid& grid, int32_t i, int32_t j, int32_t k) {
    float out = std::nanf("");
    grid.readSample(i, j, k, out);
    return out;
}

// The field worked out independently in double precision: the background
// plus, for each blob within reach, r / 0.1 near its centre or (r - d) / d.
double referenceValue(int32_t i, int32_t j, int32_t k, double t, int32_t size) {
    const double centre[3] = {size * (0.5 + 0.4 * std::sin(t * 0.1)),
                              size * (0.5 + 0.4 * std::cos(t * 0.2)),
                              size * (0.5 + 0.4 * std::sin(t * 0.15 + 1.0))};
    const int32_t orders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}, {1, 0, 2}, {0, 2, 1}};
    const double r = size / 4;
    double value = -0.5;
    for (const auto& order : orders) {
        const double d =
            std::hypot(i - centre[order[0]], j - centre[order[1]], k - centre[order[2]]);
        if (d < r) {
            value += d <= 0.1 ? r / 0.1 : (r - d) / d;
        }
    }
    return value;
}

TEST(MetaballField, MatchesAnIndependentReferenceOverTime) {
    constexpr int32_t kSize = 40;
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(kSize, kSize, kSize));
    for (const float t : {0.0f, 10.0f, 37.3f}) {
        updateMetaballField(grid, t);
        int32_t mismatches = 0;
        for (int32_t i = 0; i < kSize; ++i) {
            for (int32_t j = 0; j < kSize; ++j) {
                for (int32_t k = 0; k < kSize; ++k) {
                    const double expected = referenceValue(i, j, k, t, kSize);
                    const float actual = sampleAt(grid, i, j, k);
                    if (std::abs(actual - expected) > 1e-3 && mismatches++ == 0) {
                        ADD_FAILURE() << "t " << t << " sample " << i << ' ' << j << ' ' << k
                                      << ": " << actual << " instead of " << expected;
                    }
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "t " << t;
    }
}

// 40 x 40 x 6 samples at time 0: blob 1 is centred at (20, 36, 5.0195), within
// 0.1 of sample (20, 36, 5); the other five blobs lie out of reach of the
// samples tested here.
class MetaballFieldNearACentre : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(grid.allocate(40, 40, 6));
        updateMetaballField(grid, 0.0f);
    }
    ScalarGrid grid;
};

TEST_F(MetaballFieldNearACentre, SampleNearTheCentreGetsTheCappedTerm) {
    // r / 0.1f, not (r - d) / d for d of about 0.02 (about 500).
    EXPECT_FLOAT_EQ(sampleAt(grid, 20, 36, 5), 99.5f);
}

TEST_F(MetaballFieldNearACentre, SampleHalfwayOutGetsHalfAboveZero) {
    EXPECT_NEAR(sampleAt(grid, 20, 31, 5), 0.5f, 1e-4);
    EXPECT_NEAR(sampleAt(grid, 15, 36, 5), 0.5f, 1e-4);
}

TEST_F(MetaballFieldNearACentre, SamplesOutOfReachKeepTheBackground) {
    EXPECT_EQ(sampleAt(grid, 20, 26, 5), kFieldBackground);  // just beyond r = 10
    EXPECT_EQ(sampleAt(grid, 10, 36, 5), kFieldBackground);
    EXPECT_EQ(sampleAt(grid, 0, 0, 0), kFieldBackground);
    EXPECT_EQ(sampleAt(grid, 39, 0, 5), kFieldBackground);
}

TEST(MetaballField, EveryStepStartsFromTheBackground) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(20, 20, 20));
    updateMetaballField(grid, 3.0f);
    const std::vector<float> first(grid.data, grid.data + grid.sampleCount());
    updateMetaballField(grid, 3.0f);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), grid.data));
    EXPECT_GT(*std::max_element(first.begin(), first.end()), 0.0f);
}

TEST(MetaballField, CubicGridIsSymmetricUnderAxisExchange) {
    // The six blobs use all six orderings of the centre values, so swapping
    // two axes maps the field onto itself up to the rounding of the sums.
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(16, 16, 16));
    updateMetaballField(grid, 7.3f);
    for (int32_t i = 0; i < 16; ++i) {
        for (int32_t j = 0; j < 16; ++j) {
            for (int32_t k = 0; k < 16; ++k) {
                const float value = sampleAt(grid, i, j, k);
                ASSERT_NEAR(value, sampleAt(grid, j, i, k), 1e-4) << i << ' ' << j << ' ' << k;
                ASSERT_NEAR(value, sampleAt(grid, i, k, j), 1e-4) << i << ' ' << j << ' ' << k;
            }
        }
    }
}

TEST(MetaballField, GridsNarrowerThanFourSamplesHaveNoBlobs) {
    for (int32_t nx = 1; nx <= 3; ++nx) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(nx, 5, 5));
        updateMetaballField(grid, 1.0f);
        EXPECT_TRUE(std::all_of(grid.data, grid.data + grid.sampleCount(),
                                [](float v) { return v == kFieldBackground; }))
            << "nx = " << nx;
    }
}

TEST(MetaballField, GridWithoutStorageStaysEmpty) {
    ScalarGrid grid;
    updateMetaballField(grid, 1.0f);
    EXPECT_EQ(grid.data, nullptr);
}

}  // namespace

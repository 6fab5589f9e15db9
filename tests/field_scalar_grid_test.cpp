#include "field/scalar_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kUntouched = 42.0f;

TEST(ScalarGrid, StartsEmptyAndIgnoresAccess) {
    ScalarGrid grid;
    EXPECT_EQ(grid.data, nullptr);
    EXPECT_EQ(grid.nx, 0);
    EXPECT_EQ(grid.sliceSize, 0);
    EXPECT_EQ(grid.spacingX, 10.0f);
    EXPECT_EQ(grid.spacingY, 10.0f);
    EXPECT_EQ(grid.spacingZ, 10.0f);

    grid.writeSample(0, 0, 0, 1.0f);
    float out = kUntouched;
    grid.readSample(0, 0, 0, out);
    EXPECT_EQ(out, kUntouched);
}

TEST(ScalarGrid, StoresSamplesXFastestThenYThenZ) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(2, 3, 4));
    EXPECT_EQ(grid.nx, 2);
    EXPECT_EQ(grid.ny, 3);
    EXPECT_EQ(grid.nz, 4);
    EXPECT_EQ(grid.sliceSize, 6);
    EXPECT_EQ(grid.sampleCount(), 24);

    for (int32_t k = 0; k < 4; ++k) {
        for (int32_t j = 0; j < 3; ++j) {
            for (int32_t i = 0; i < 2; ++i) {
                grid.writeSample(i, j, k, static_cast<float>(100 * i + 10 * j + k));
            }
        }
    }
    EXPECT_EQ(grid.data[1 + 2 * 2 + 6 * 3], 123.0f);
    EXPECT_EQ(grid.data[1], 100.0f);
    EXPECT_EQ(grid.data[2], 10.0f);
    EXPECT_EQ(grid.data[6], 1.0f);
    float out = 0.0f;
    grid.readSample(0, 2, 1, out);
    EXPECT_EQ(out, 21.0f);
}

TEST(ScalarGrid, IgnoresIndicesOutsideTheGrid) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(2, 3, 4));
    std::fill_n(grid.data, grid.sampleCount(), 0.0f);
    const int32_t outside[][3] = {{-1, 0, 0}, {2, 0, 0}, {0, -1, 0}, {0, 3, 0},
                                  {0, 0, -1}, {0, 0, 4}, {-1, 1, 1}};
    for (const auto& index : outside) {
        grid.writeSample(index[0], index[1], index[2], 1.0f);
        float out = kUntouched;
        grid.readSample(index[0], index[1], index[2], out);
        EXPECT_EQ(out, kUntouched) << index[0] << ", " << index[1] << ", " << index[2];
    }
    for (int64_t n = 0; n < grid.sampleCount(); ++n) {
        EXPECT_EQ(grid.data[n], 0.0f) << "sample " << n;
    }
}

TEST(ScalarGrid, ReallocationReplacesStorageAndSizes) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(2, 2, 2));
    ASSERT_TRUE(grid.allocate(4, 5, 6));
    EXPECT_EQ(grid.sliceSize, 20);
    grid.writeSample(3, 4, 5, 7.0f);
    EXPECT_EQ(grid.data[grid.sampleCount() - 1], 7.0f);
}

TEST(ScalarGrid, RefusesSizesThatCannotBeIndexedAndEndsEmpty) {
    const int32_t refused[][3] = {{0, 4, 4}, {4, -1, 4}, {4, 4, 0}, {2000, 2000, 2000}};
    for (const auto& sizes : refused) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(3, 3, 3));
        EXPECT_FALSE(grid.allocate(sizes[0], sizes[1], sizes[2]));
        EXPECT_EQ(grid.data, nullptr);
        EXPECT_EQ(grid.nx, 0);
        EXPECT_EQ(grid.ny, 0);
        EXPECT_EQ(grid.nz, 0);
        EXPECT_EQ(grid.sliceSize, 0);
    }
}

}  // namespace

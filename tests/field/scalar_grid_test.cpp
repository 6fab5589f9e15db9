#include "field/scalar_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "address_space_limit.h"

// The sample layout is pinned by the field step's bit-for-bit comparison, which
// writes through writeSample on one side and straight into data on the other.
namespace {

constexpr float kUntouched = 42.0f;

float sampleAt(const ScalarGrid& grid, int32_t i, int32_t j, int32_t k) {
    float out = kUntouched;
    grid.readSample(i, j, k, out);
    return out;
}

TEST(ScalarGrid, WithoutStorageIgnoresAccess) {
    ScalarGrid grid;
    EXPECT_EQ(grid.sampleCount(), 0);
    grid.writeSample(0, 0, 0, 1.0f);
    EXPECT_EQ(sampleAt(grid, 0, 0, 0), kUntouched);
}

TEST(ScalarGrid, IgnoresIndicesOutsideTheReallocatedGrid) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(5, 5, 5));
    ASSERT_TRUE(grid.allocate(2, 3, 4));
    std::fill_n(grid.data, grid.sampleCount(), 0.0f);
    for (const auto& [i, j, k] : {std::array{-1, 0, 0},
                                  {2, 0, 0},
                                  {0, -1, 0},
                                  {0, 3, 0},
                                  {0, 0, -1},
                                  {0, 0, 4},
                                  {-1, 1, 1}}) {
        grid.writeSample(i, j, k, 1.0f);
        EXPECT_EQ(sampleAt(grid, i, j, k), kUntouched) << i << ", " << j << ", " << k;
    }
    EXPECT_TRUE(
        std::all_of(grid.data, grid.data + grid.sampleCount(), [](float v) { return v == 0; }));
}

void expectRefusedAndEmpty(int32_t nx, int32_t ny, int32_t nz) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(3, 3, 3));
    EXPECT_FALSE(grid.allocate(nx, ny, nz));
    EXPECT_EQ(grid.data, nullptr);
    EXPECT_EQ((std::array{grid.nx, grid.ny, grid.nz, grid.sliceSize}), (std::array{0, 0, 0, 0}));
}

TEST(ScalarGrid, RefusesSizesThatCannotBeIndexedAndEndsEmpty) {
    for (const auto& [nx, ny, nz] :
         {std::array{0, 4, 4}, {4, -1, 4}, {4, 4, 0}, {2000, 2000, 2000}}) {
        expectRefusedAndEmpty(nx, ny, nz);
    }
}

TEST(ScalarGrid, RefusesASizeThereIsNoMemoryForAndEndsEmpty) {
    constexpr size_t kHeadroom = size_t{64} << 20;
    const AddressSpaceLimit limit(kHeadroom);
    if (!limit.active()) {
        GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    }
    expectRefusedAndEmpty(1024, 1024, 256);  // 1 GiB of samples
}

}  // namespace

#include "field/scalar_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "address_space_limit.h"

// The sample layout is pinned by the field step's bit-for-bit comparison, which
// writes through writeSample on one side and straight into data on the other.
namespace {

// Indices outside a reallocated grid are ignored. Sizes below 1, more samples
// than an int32_t can index, and (where the limit can be set) 1 GiB of samples
// with 64 MiB of address space to spare are refused and leave the grid empty.
TEST(ScalarGrid, IgnoresIndicesOutsideItAndRefusesSizesItCannotHold) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(5, 5, 5) && grid.allocate(2, 3, 4));
    std::fill_n(grid.data, grid.sampleCount(), 0.0f);
    for (const auto& [i, j, k] :
         {std::array{-1, 0, 0}, {2, 0, 0}, {0, -1, 0}, {0, 3, 0}, {0, 0, -1}, {0, 0, 4}}) {
        grid.writeSample(i, j, k, 1.0f);
        float out = 0.0f;
        grid.readSample(i, j, k, out);
        EXPECT_EQ(out, 0.0f) << i << ", " << j << ", " << k;
    }
    EXPECT_EQ(std::count(grid.data, grid.data + grid.sampleCount(), 0.0f), 2 * 3 * 4);
    const AddressSpaceLimit limit(size_t{64} << 20);
    for (const auto& [nx, ny, nz] : {std::array{0, 4, 4},
                                     {4, -1, 4},
                                     {4, 4, 0},
                                     {2000, 2000, 2000},
                                     {limit.active() ? 1024 : 0, 1024, 256}}) {
        ASSERT_TRUE(grid.allocate(3, 3, 3));
        EXPECT_FALSE(grid.allocate(nx, ny, nz)) << nx << ", " << ny << ", " << nz;
        EXPECT_EQ((std::array{grid.nx, grid.ny, grid.nz, grid.sliceSize}),
                  (std::array{0, 0, 0, 0}));
        EXPECT_EQ(grid.data, nullptr);
    }
}

}  // namespace

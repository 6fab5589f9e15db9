// The fast surface pass against the plain per-cell sweep: the same GL calls
// in the same order, the same listing, usage counts, last corner values and
// number of crossing cells.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "field/metaball_field.h"
#include "perf_grid_shape.h"
#include "recording_gl.h"
#include "reference_sweep.h"
#include "render/surface_pass.h"

namespace {

const CubeMarcher& generatedMarcher() {
    static const CubeMarcher marcher = [] {
        CubeMarcher generated;
        FILE* sink = std::tmpfile();
        generated.initialiseCubeMarcher(sink);
        std::fclose(sink);
        return generated;
    }();
    return marcher;
}

std::string contentsOf(FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

// Like firstDifference, but argument by argument as bits, so that the NaN
// normals and vertices of a field with NaN corners compare equal too.
std::string firstBitwiseDifference(const std::vector<GlCall>& actual,
                                   const std::vector<GlCall>& expected) {
    const auto sameBits = [](const GlCall& a, const GlCall& b) {
        // memcmp must not see the null data() of an empty argument list.
        return a.name == b.name && a.args.size() == b.args.size() &&
               (a.args.empty() ||
                std::memcmp(a.args.data(), b.args.data(), a.args.size() * sizeof(double)) == 0);
    };
    for (size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        if (!sameBits(actual[i], expected[i])) {
            return firstDifference({actual[i]}, {expected[i]}) + " at call " + std::to_string(i);
        }
    }
    return actual.size() == expected.size() ? "" : firstDifference(actual, expected);
}

// What one pass leaves behind.
struct PassResult {
    int64_t crossingCells = 0;
    CubeMarcher marcher;
    RecordingGl gl;
    std::string listing;
};

template <class Pass>
PassResult run(Pass pass, const ScalarGrid& grid, bool listingRequested) {
    PassResult result{0, generatedMarcher(), {}, {}};
    result.marcher.resetUsage();
    FILE* out = std::tmpfile();
    result.crossingCells = pass(result.gl, result.marcher, grid, listingRequested, out);
    result.listing = contentsOf(out);
    std::fclose(out);
    return result;
}

void expectSamePass(const ScalarGrid& grid, const std::string& context) {
    for (const bool listing : {true, false}) {
        const PassResult fast = run(drawSurface<RecordingGl>, grid, listing);
        const PassResult plain = run(reference::drawSurface<RecordingGl>, grid, listing);
        EXPECT_EQ(fast.crossingCells, plain.crossingCells) << context;
        EXPECT_EQ(firstBitwiseDifference(fast.gl.calls, plain.gl.calls), "") << context;
        EXPECT_EQ(fast.listing, plain.listing) << context;
        EXPECT_EQ(std::memcmp(fast.marcher.usageCount, plain.marcher.usageCount,
                              sizeof fast.marcher.usageCount),
                  0)
            << context;
        EXPECT_EQ(std::memcmp(fast.marcher.cornerValue, plain.marcher.cornerValue,
                              sizeof fast.marcher.cornerValue),
                  0)
            << context;
    }
}

// The blob field, including grids whose blob boxes are clipped at the
// borders and a non-cubic one.
class FastSurfacePassOnBlobs : public ::testing::TestWithParam<GridShape> {};

TEST_P(FastSurfacePassOnBlobs, MatchesThePlainSweep) {
    const GridShape shape = GetParam();
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(shape.nx, shape.ny, shape.nz));
    for (const float t : {0.2f, -7.3f, 37.3f, 1.0e4f}) {
        updateMetaballField(grid, t);
        expectSamePass(grid, nameOf(shape) + " t " + std::to_string(t));
    }
}

const GridShape kBlobShapes[] = {{2, 2, 2},    {3, 3, 3},    {17, 17, 17},
                                 {40, 40, 40}, {41, 41, 41}, {64, 64, 64},
                                 {40, 17, 23}, {64, 8, 8},   {70, 12, 9}};
INSTANTIATE_TEST_SUITE_P(Shapes, FastSurfacePassOnBlobs, ::testing::ValuesIn(kBlobShapes),
                         [](const auto& param) { return nameOf(param.param); });

// Fields of -1, +1, both zeros and NaN at random, on rows that end just
// before, on and after 64-sample word boundaries: every way a corner can
// count or not count toward a crossing.
class FastSurfacePassOnRandomSigns : public ::testing::TestWithParam<GridShape> {};

void fillWithRandomSigns(ScalarGrid& grid, uint32_t seed, int32_t positiveOneIn) {
    const float kOthers[] = {-1.0f, 0.0f,  -0.0f, std::numeric_limits<float>::quiet_NaN(),
                             -1.0f, -0.25f};
    std::mt19937 random(seed);
    for (int64_t s = 0; s < grid.sampleCount(); ++s) {
        const uint32_t draw = random();
        grid.data[s] = draw % positiveOneIn == 0 ? 1.0f : kOthers[(draw / 7) % std::size(kOthers)];
    }
}

TEST_P(FastSurfacePassOnRandomSigns, MatchesThePlainSweep) {
    const GridShape shape = GetParam();
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(shape.nx, shape.ny, shape.nz));
    for (const int32_t positiveOneIn : {2, 9, 40}) {
        fillWithRandomSigns(grid, static_cast<uint32_t>(shape.nx * 131 + positiveOneIn),
                            positiveOneIn);
        expectSamePass(grid, nameOf(shape) + " one in " + std::to_string(positiveOneIn));
    }
}

const GridShape kRandomShapes[] = {{2, 2, 2},   {63, 4, 3},  {64, 3, 4},  {65, 5, 3}, {66, 3, 3},
                                   {129, 3, 4}, {130, 4, 2}, {200, 2, 3}, {1, 4, 4},  {4, 1, 4},
                                   {4, 4, 1},   {5, 70, 3},  {3, 3, 70}};
INSTANTIATE_TEST_SUITE_P(Shapes, FastSurfacePassOnRandomSigns, ::testing::ValuesIn(kRandomShapes),
                         [](const auto& param) { return nameOf(param.param); });

// The pass keeps its workspace between grids; going back and forth between
// shapes must not carry marks from one grid into the next.
TEST(FastSurfacePass, AlternatingGridGridShapesMatchThePlainSweep) {
    ScalarGrid large;
    ScalarGrid small;
    ASSERT_TRUE(large.allocate(40, 40, 40));
    ASSERT_TRUE(small.allocate(17, 23, 19));
    updateMetaballField(large, 0.2f);
    updateMetaballField(small, 0.2f);
    for (int32_t round = 0; round < 2; ++round) {
        expectSamePass(large, "40^3, round " + std::to_string(round));
        expectSamePass(small, "17x23x19, round " + std::to_string(round));
    }
}

// Guards the comparisons: the blob field at 40^3 does draw.
TEST(FastSurfacePass, BlobFieldHasCrossingCells) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    updateMetaballField(grid, 0.2f);
    NoGl gl;
    CubeMarcher marcher = generatedMarcher();
    EXPECT_GT(drawSurface(gl, marcher, grid, false, nullptr), 1000);
}

}  // namespace

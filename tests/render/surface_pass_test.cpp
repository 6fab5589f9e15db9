#include "render/surface_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/ambiguous_table.h"
#include "field/metaball_field.h"
#include "recording_gl.h"
#include "reference_sweep.h"
#include "test_support.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// What one pass leaves behind: calls, listing lines as flushed by the pass,
// usage counts and last corner values in the marcher, crossing cells.
struct Pass {
    std::unique_ptr<CubeMarcher> marcher = makeGeneratedMarcher();
    RecordingGl gl;
    int64_t crossingCells = 0;
    std::vector<std::string> lines;
};

template <class Sweep = decltype(drawSurface<RecordingGl>)>
Pass run(const ScalarGrid& grid, bool listingRequested = true,
         Sweep sweep = drawSurface<RecordingGl>, const AmbiguousCaseTable* decider = nullptr,
         const ReachedRows* rows = nullptr, bool outlines = true) {
    Pass pass;
    pass.lines = linesOf(flushedOutput([&](FILE* out) {
        pass.crossingCells =
            sweep(pass.gl, *pass.marcher, grid, listingRequested, out, decider, rows, outlines);
    }));
    return pass;
}

// Sample (10, 20, 30) differs from all others, so the eight cells around it
// cross; the last of them in traversal order has it as corner 0 and draws one
// triangle, filled and outlined, with the triangle's unnormalised normal
// pointing out of the inside: the golden trace holds the last cell's listed
// line and calls for case 1 (sample +1) and case 254 (sample -1).
TEST(SurfacePass, DrawsAndListsTheCellAtTenTwentyThirtyInCases1And254) {
    constexpr size_t kLastCellCalls = 16;
    std::string trace;
    for (const float atSample : {1.0f, -1.0f}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(12, 22, 32));
        std::fill_n(grid.data, grid.sampleCount(), -atSample);
        grid.writeSample(10, 20, 30, atSample);
        const Pass pass = run(grid);
        EXPECT_EQ(pass.crossingCells, 8);
        EXPECT_EQ(
            std::accumulate(pass.marcher->usageCount, pass.marcher->usageCount + kCaseCount, 0), 8);
        ASSERT_EQ(pass.lines.size(), 8u);
        ASSERT_GE(pass.gl.calls.size(), kLastCellCalls);
        trace += pass.lines.back() + "\n" +
                 traceOf({pass.gl.calls.end() - kLastCellCalls, pass.gl.calls.end()});
    }
    EXPECT_EQ(trace, golden("render/surface_pass_cell.trace", trace));
}

// The fast pass against the plain per-cell sweep: the same calls bit for bit,
// the same listing, usage counts, last corner values and crossing cells,
// with ambiguous faces as tabled and as decided, with outlines and without;
// the fast pass skips the rows `rows` records as unreached.
void expectSameAsPlainSweep(const ScalarGrid& grid, const std::string& context,
                            const ReachedRows* rows = nullptr) {
    static const AmbiguousCaseTable ambiguous(*makeGeneratedMarcher());
    for (const bool listing : {true, false}) {
        const AmbiguousCaseTable* decider = listing ? &ambiguous : nullptr;
        const bool outlines = !listing;
        const Pass fast = run(grid, listing, drawSurface<RecordingGl>, decider, rows, outlines);
        const Pass plain =
            run(grid, listing, reference::drawSurface<RecordingGl>, decider, nullptr, outlines);
        EXPECT_EQ(fast.crossingCells, plain.crossingCells) << context;
        EXPECT_EQ(traceOf(fast.gl.calls), traceOf(plain.gl.calls)) << context;
        EXPECT_EQ(fast.lines, plain.lines) << context;
        const auto sameBytes = [](const auto& a, const auto& b) {
            return std::memcmp(&a, &b, sizeof a) == 0;
        };
        EXPECT_TRUE(sameBytes(fast.marcher->usageCount, plain.marcher->usageCount)) << context;
        EXPECT_TRUE(sameBytes(fast.marcher->cornerValue, plain.marcher->cornerValue)) << context;
    }
}

using Shape = std::array<int32_t, 3>;

// Fields of -1, +1, both zeros and NaN at random, on rows that end just
// before, on and after 64-sample word boundaries: every way a corner can
// count or not count toward a crossing (only a cell with a value below 0 and
// one above crosses; 0.0 and NaN count as neither), and a grid without
// storage. The shapes follow each other through
// the pass's one workspace, which must refit to every change of size.
TEST(FastSurfacePass, MatchesThePlainSweepOnRandomSigns) {
    const float others[] = {-1.0f, 0.0f, -0.0f, kNaN, -1.0f, -0.25f};
    for (const Shape& shape :
         {Shape{2, 2, 2}, Shape{63, 4, 3}, Shape{64, 3, 4}, Shape{65, 5, 3}, Shape{66, 3, 3},
          Shape{129, 3, 4}, Shape{130, 4, 2}, Shape{200, 2, 3}, Shape{1, 4, 4}, Shape{4, 1, 4},
          Shape{4, 4, 1}, Shape{5, 70, 3}, Shape{3, 3, 4}, Shape{3, 3, 70}}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(shape[0], shape[1], shape[2]));
        for (const uint32_t positiveOneIn : {2u, 9u, 40u}) {
            std::mt19937 random(static_cast<uint32_t>(shape[0] * 131) + positiveOneIn);
            for (int64_t s = 0; s < grid.sampleCount(); ++s) {
                const uint32_t draw = random();
                grid.data[s] =
                    draw % positiveOneIn == 0 ? 1.0f : others[(draw / 7) % std::size(others)];
            }
            expectSameAsPlainSweep(
                grid, testing::PrintToString(shape) + " one in " + std::to_string(positiveOneIn));
        }
    }
    expectSameAsPlainSweep(ScalarGrid{}, "no storage");
}

// Blob fields, their unreached rows skipped, on grids from one cell to wider
// than a mask word, at times that place blobs inside, across and outside.
TEST(FastSurfacePass, MatchesThePlainSweepOnBlobFields) {
    for (const Shape& shape : {Shape{2, 2, 2}, Shape{17, 17, 17}, Shape{41, 41, 41},
                               Shape{70, 12, 9}, Shape{48, 40, 20}, Shape{20, 12, 40}}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(shape[0], shape[1], shape[2]));
        for (const float t : {0.2f, -7.3f, 37.3f, 1.0e4f}) {
            ReachedRows rows;
            updateMetaballField(grid, t, rows);
            expectSameAsPlainSweep(grid, testing::PrintToString(shape) + " t " + std::to_string(t),
                                   &rows);
        }
    }
}

}  // namespace

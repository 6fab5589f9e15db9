#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "animated_field.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/window_procedure.h"
#include "test_support.h"

namespace {

// What one frame at `time` lists, drawn by a marcher of its own.
std::vector<std::string> listingAt(float time) {
    static CubeMarcher marcher;
    CapturedFile scratch;
    marcher.initialiseCubeMarcher(scratch.get());
    ScalarGrid grid;
    grid.allocate(kGridSize, kGridSize, kGridSize);
    updateMetaballField(grid, time);
    static const AmbiguousCaseTable ambiguous(marcher);
    CapturedFile listing;
    NoGl gl;
    drawSurface(gl, marcher, grid, true, listing.get(), &ambiguous);
    return linesOf(listing.text());
}

struct RunResult {
    int exitCode;
    std::vector<std::string> out;
    std::string err;

    // The lines between the table's last line and the statistics.
    std::vector<std::string> listedTriangles() const {
        const auto tableEnd = std::ranges::find(out, "case count:254");
        const auto statistics = std::ranges::find(out, "Usage stats:");
        EXPECT_LT(tableEnd, statistics) << "no table or no statistics";
        return tableEnd < statistics ? std::vector<std::string>(tableEnd + 1, statistics)
                                     : std::vector<std::string>{};
    }
    int64_t casesOk() const {
        const auto totals = std::ranges::find_if(
            out, [](const std::string& line) { return line.starts_with("casesOk:"); });
        return totals == out.end() ? -1 : std::stoll(totals->substr(totals->find(':') + 1));
    }
};

RunResult runWith(std::vector<const char*> arguments) {
    settings = Settings{};  // the program-wide objects, as a fresh process has them
    cubeMarcher.resetUsage();
    CapturedFile out;
    CapturedFile err;
    const int exitCode = runProgram(arguments, out.get(), err.get());
    return {exitCode, linesOf(out.text()), err.text()};
}

TEST(FrameTest, PressingPTwiceBetweenFramesListsExactlyOneFrame) {
    settings = Settings{};
    CapturedFile scratch;
    cubeMarcher.initialiseCubeMarcher(scratch.get());
    ambiguousCases.generate(cubeMarcher);
    ASSERT_TRUE(sampleGrid.allocate(kGridSize, kGridSize, kGridSize));
    windowProcedure(nullptr, msg::kKeyDown, vk::kP, key_flags::kSingleRepeat);
    windowProcedure(nullptr, msg::kKeyDown, vk::kP, key_flags::kSingleRepeat);
    NoGl gl;
    CapturedFile out;
    renderFrame(
        gl, [] {}, out.get());
    renderFrame(
        gl, [] {}, out.get());
    EXPECT_FALSE(settings.listingRequested);
    EXPECT_EQ(linesOf(out.text()), listingAt(clockAfterFrames(1)));
}

TEST(FrameTest, HeadlessRunListsTheTableThenTheRequestedFrameThenTheStatistics) {
    const RunResult run = runWith({"--headless", "--frames", "3", "--press", "2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.front(), "Vertex offset:");
    EXPECT_EQ(run.listedTriangles(), listingAt(clockAfterFrames(2)));
    EXPECT_EQ(run.casesOk(), crossingCellsOfRun(3, kGridSize));
}

TEST(FrameTest, ZeroFramesPrintsTheTableAndEmptyStatistics) {
    const RunResult run = runWith({"--headless", "--frames", "0"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_TRUE(run.listedTriangles().empty());
    EXPECT_EQ(run.casesOk(), 0);
}

TEST(FrameTest, ScheduledEscapeEndsTheRunBeforeItsFrame) {
    const RunResult run = runWith({"--headless", "--frames", "5", "--press", "2:Escape,2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_TRUE(run.listedTriangles().empty());
    EXPECT_EQ(run.casesOk(), crossingCellsOfRun(1, kGridSize));
}

// A stops the clock before frame 2 and W moves it on by 0.5, so frame 2
// shows the field at the frame-1 clock plus 0.5.
TEST(FrameTest, ScheduledKeysApplyBeforeTheirFrameInTheOrderGiven) {
    const RunResult run = runWith({"--headless", "--frames", "2", "--press", "2:A,2:W,2:P"});
    EXPECT_EQ(run.listedTriangles(), listingAt(clockAfterFrames(1) + keys::kTimeStep));
}

TEST(FrameTest, WithoutADisplayTheWindowedRunSaysWhatFailedInOneLineAndExitsOne) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const RunResult run = runWith({"--frames", "1"});
    EXPECT_EQ(run.exitCode, kExitFailure);
    EXPECT_TRUE(run.out.empty());
    const std::vector<std::string> lines = linesOf(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("cannot open the window"), std::string::npos);
    EXPECT_NE(lines[0].find("--headless"), std::string::npos);
    EXPECT_NE(lines[0].find("Xvfb"), std::string::npos);
}

}  // namespace

#include "app/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "animated_field.h"
#include "app/globals.h"
#include "app/overlay_status.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "app/window_procedure.h"
#include "test_support.h"

namespace {

// What one frame at `time` lists on a grid of `size`, drawn by a marcher of
// its own.
std::vector<std::string> listingAt(float time, int32_t size) {
    static const auto marcher = makeGeneratedMarcher();
    static const AmbiguousCaseTable ambiguous(*marcher);
    ScalarGrid grid;
    grid.allocate(size, size, size);
    updateMetaballField(grid, time);
    CapturedFile listing;
    NoGl gl;
    drawSurface(gl, *marcher, grid, true, listing.get(), &ambiguous);
    return linesOf(listing.text());
}

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;

    // The lines between the table's last line and the statistics.
    std::vector<std::string> listedTriangles() const {
        const std::vector<std::string> lines = linesOf(out);
        const auto tableEnd = std::ranges::find(lines, "case count:254");
        const auto statistics = std::ranges::find(lines, "Usage stats:");
        EXPECT_LT(tableEnd, statistics) << "no table or no statistics";
        return tableEnd < statistics ? std::vector<std::string>(tableEnd + 1, statistics)
                                     : std::vector<std::string>{};
    }
    int64_t casesOk() const {
        const size_t at = out.find("\ncasesOk:");
        return at == std::string::npos ? -1 : std::stoll(out.substr(at + 9));
    }
};

RunResult runWith(std::vector<const char*> arguments) {
    settings = Settings{};  // the program-wide objects, as a fresh process has them
    volumeView = VolumeView{};
    cubeMarcher.resetUsage();
    CapturedFile out;
    CapturedFile err;
    const int exitCode = runProgram(arguments, out.get(), err.get());
    std::fflush(err.get());  // stands in for stderr, which has no buffer
    return {exitCode, out.text(), err.text()};
}

// The table, the requested frame's triangles and the statistics, character
// for character on a grid small enough to read; the frame is the one drawn
// on its own, and the statistics count every crossing cell of the run.
TEST(FrameTest, HeadlessRunPrintsTheGoldenOutput) {
    const RunResult run =
        runWith({"--headless", "--frames", "3", "--grid", "12", "--press", "2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, golden("app/headless_grid12.txt", run.out));
    EXPECT_EQ(run.listedTriangles(), listingAt(clockAfterFrames(2), 12));
    EXPECT_EQ(run.casesOk(), crossingCellsOfRun(3, 12));
}

// An Escape among a frame's keys ends the run before that frame; A stops the
// clock before frame 2 and W moves it on by 0.5, so frame 2 shows the field
// at the frame-1 clock plus 0.5.
TEST(FrameTest, ScheduledKeysApplyBeforeTheirFrameInTheOrderGiven) {
    const RunResult escaped = runWith({"--headless", "--frames", "5", "--press", "2:Escape,2:P"});
    EXPECT_TRUE(escaped.listedTriangles().empty());
    EXPECT_EQ(escaped.casesOk(), crossingCellsOfRun(1, kGridSize));
    const RunResult run = runWith({"--headless", "--frames", "2", "--press", "2:A,2:W,2:P"});
    EXPECT_EQ(run.listedTriangles(), listingAt(clockAfterFrames(1) + keys::kTimeStep, kGridSize));
}

// A volume with spacings 1, 2 and 0.5: the frame shows its surface with the
// clock standing still, framed and lit by its scaled box.
TEST(FrameTest, AVolumeFrameKeepsTheClockAndUsesTheVolumesBox) {
    constexpr int32_t kSizes[3] = {20, 16, 12};
    settings = Settings{};
    CapturedFile scratch;
    cubeMarcher.initialiseCubeMarcher(scratch.get());
    ambiguousCases.generate(cubeMarcher);
    ASSERT_TRUE(sampleGrid.allocate(kSizes[0], kSizes[1], kSizes[2]));
    Volume ball;
    ball.sizes = {kSizes[0], kSizes[1], kSizes[2]};
    ball.spacing = {1.0f, 2.0f, 0.5f};
    for (int32_t s = 0; s < kSizes[0] * kSizes[1] * kSizes[2]; ++s) {
        const int32_t x = s % kSizes[0], y = s / kSizes[0] % kSizes[1], z = s / (20 * 16);
        ball.samples.push_back(std::hypot(x - 9.5f, 2.0f * (y - 7.5f), 0.5f * (z - 5.5f)));
    }
    volumeView.show(std::move(ball), 5.0f, nullptr);
    windowProcedure(nullptr, msg::kKeyDown, vk::kP, key_flags::kSingleRepeat);
    NoGl gl;
    FrameTimer timer;
    CapturedFile out;
    renderFrame(
        gl, [] {}, out.get(), timer);
    EXPECT_EQ(settings.animationTime, 0.0f);
    EXPECT_GT(linesOf(out.text()).size(), 100u);
    EXPECT_EQ(volumeBox(), &volumeView.box);
    EXPECT_EQ(&lightPositions(), &volumeView.box.lights);
    volumeView = VolumeView{};
}

}  // namespace

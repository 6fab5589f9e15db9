#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/window_procedure.h"
#include "recording_gl.h"

namespace {

// A temporary file standing in for stdout or stderr.
class CapturedFile {
  public:
    CapturedFile() : file_(std::tmpfile()) {}
    ~CapturedFile() { std::fclose(file_); }
    CapturedFile(const CapturedFile&) = delete;
    CapturedFile& operator=(const CapturedFile&) = delete;

    FILE* get() const { return file_; }
    std::string text() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string all;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) {
            all.append(buffer, n);
        }
        return all;
    }

  private:
    FILE* file_;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool isTriangleLine(const std::string& line) {
    return line.find('\t') != std::string::npos && line.find(':') == std::string::npos;
}

std::vector<std::string> triangleLines(const std::string& text) {
    std::vector<std::string> triangles;
    for (const std::string& line : linesOf(text)) {
        if (isTriangleLine(line)) {
            triangles.push_back(line);
        }
    }
    return triangles;
}

// The clock after `frames` frames with the animation running, formed the
// way the frame forms it.
float clockAfter(int frames) {
    float time = 0.0f;
    for (int i = 0; i < frames; ++i) {
        time = static_cast<float>(time + 0.2);
    }
    return time;
}

// Cells of the field at `time` with a corner below zero and one above,
// counted straight from the samples.
int64_t crossingCellsAt(float time) {
    ScalarGrid grid;
    grid.allocate(kGridSize, kGridSize, kGridSize);
    updateMetaballField(grid, time);
    int64_t count = 0;
    for (int32_t x = 0; x + 1 < kGridSize; ++x) {
        for (int32_t y = 0; y + 1 < kGridSize; ++y) {
            for (int32_t z = 0; z + 1 < kGridSize; ++z) {
                bool below = false;
                bool above = false;
                for (int32_t c = 0; c < kCornerCount; ++c) {
                    float v = 0.0f;
                    grid.readSample(x + (c & 1), y + ((c >> 1) & 1), z + ((c >> 2) & 1), v);
                    below = below || v < 0.0f;
                    above = above || v > 0.0f;
                }
                count += below && above ? 1 : 0;
            }
        }
    }
    return count;
}

// What one frame at `time` lists, drawn by a marcher of its own.
std::vector<std::string> listingAt(float time) {
    static CubeMarcher marcher;
    CapturedFile scratch;
    marcher.initialiseCubeMarcher(scratch.get());
    ScalarGrid grid;
    grid.allocate(kGridSize, kGridSize, kGridSize);
    updateMetaballField(grid, time);
    CapturedFile listing;
    NoGl gl;
    drawSurface(gl, marcher, grid, true, listing.get());
    return linesOf(listing.text());
}

int64_t casesOkIn(const std::string& text) {
    const size_t at = text.find("casesOk:");
    return at == std::string::npos ? -1 : std::stoll(text.substr(at + 8));
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        cubeMarcher.resetUsage();
    }

    static void prepareGlobals() {
        CapturedFile listing;
        cubeMarcher.initialiseCubeMarcher(listing.get());
        ASSERT_TRUE(sampleGrid.allocate(kGridSize, kGridSize, kGridSize));
    }
};

TEST_F(FrameTest, RunsTheTenStepsInOrderWithTheCurrentSettings) {
    prepareGlobals();
    settings.cameraPitch = 10.0f;
    settings.lightingEnabled = false;
    RecordingGl gl;
    CapturedFile out;
    renderFrame(
        gl, [&gl] { gl.calls.push_back(glCall("present")); }, out.get());

    // The same steps called one by one, after the field step of frame 1.
    EXPECT_EQ(settings.animationTime, clockAfter(1));
    RecordingGl expected;
    expected.clearColor(0.0f, 0.0f, 0.0f, 0.0f);
    expected.clear(gl::kColorBufferBit | gl::kDepthBufferBit);
    setupLighting(expected, false);
    setupCamera(expected, 40.0f, 10.0f, -45.0f, sampleGrid);
    CubeMarcher marcher;
    CapturedFile scratch;
    marcher.initialiseCubeMarcher(scratch.get());
    drawSurface(expected, marcher, sampleGrid, false, nullptr);
    setupLighting(expected, false);
    drawAxes(expected, sampleGrid);
    expected.calls.push_back(glCall("present"));
    EXPECT_EQ(gl.calls, expected.calls);
    EXPECT_EQ(out.text(), "");
}

TEST_F(FrameTest, PressingPTwiceBetweenFramesListsExactlyOneFrame) {
    prepareGlobals();
    windowProcedure(nullptr, msg::kKeyDown, vk::kP, key_flags::kSingleRepeat);
    windowProcedure(nullptr, msg::kKeyDown, vk::kP, key_flags::kSingleRepeat);
    NoGl gl;
    CapturedFile out;
    renderFrame(
        gl, [] {}, out.get());
    EXPECT_FALSE(settings.listingRequested);
    const std::string afterFirst = out.text();
    EXPECT_EQ(linesOf(afterFirst), listingAt(clockAfter(1)));
    renderFrame(
        gl, [] {}, out.get());
    EXPECT_EQ(out.text(), afterFirst);
}

TEST_F(FrameTest, WithTheAnimationOffOnlyWAndQMoveTheClock) {
    prepareGlobals();
    settings.animationEnabled = false;
    NoGl gl;
    renderFrame(
        gl, [] {}, nullptr);
    EXPECT_EQ(settings.animationTime, 0.0f);
    windowProcedure(nullptr, msg::kKeyDown, vk::kW, key_flags::kSingleRepeat);
    windowProcedure(nullptr, msg::kKeyDown, vk::kQ, key_flags::kSingleRepeat);
    windowProcedure(nullptr, msg::kKeyDown, vk::kQ, key_flags::kSingleRepeat);
    renderFrame(
        gl, [] {}, nullptr);
    EXPECT_EQ(settings.animationTime, -0.5f);
}

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

RunResult runWith(std::vector<const char*> arguments) {
    CapturedFile out;
    CapturedFile err;
    const int exitCode = runProgram(arguments, out.get(), err.get());
    return {exitCode, out.text(), err.text()};
}

TEST_F(FrameTest, HeadlessRunListsTheTableThenTheRequestedFrameThenTheStatistics) {
    const RunResult run = runWith({"--headless", "--frames", "3", "--press", "2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Vertex offset:");
    const auto tableEnd = std::ranges::find(lines, "case count:254");
    const auto statistics = std::ranges::find(lines, "Usage stats:");
    ASSERT_NE(tableEnd, lines.end());
    ASSERT_NE(statistics, lines.end());
    const std::vector<std::string> listed(tableEnd + 1, statistics);
    EXPECT_EQ(listed, listingAt(clockAfter(2)));
    EXPECT_EQ(casesOkIn(run.out), crossingCellsAt(clockAfter(1)) + crossingCellsAt(clockAfter(2)) +
                                      crossingCellsAt(clockAfter(3)));
}

TEST_F(FrameTest, ZeroFramesPrintsTheTableAndEmptyStatistics) {
    const RunResult run = runWith({"--headless", "--frames", "0", "--press", "0:P"});
    EXPECT_EQ(run.exitCode, kExitUsage);  // frame 0 cannot take a key
    const RunResult zero = runWith({"--headless", "--frames", "0"});
    EXPECT_EQ(zero.exitCode, kExitSuccess);
    EXPECT_TRUE(triangleLines(zero.out).empty());
    EXPECT_NE(zero.out.find("case count:254\nUsage stats:"), std::string::npos);
    EXPECT_NE(zero.out.find("\ncasesOk:0\tcasesEmpty:0\n"), std::string::npos);
}

TEST_F(FrameTest, ScheduledEscapeEndsTheRunBeforeItsFrame) {
    const RunResult run = runWith({"--headless", "--frames", "5", "--press", "2:Escape,2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_TRUE(triangleLines(run.out).empty());
    EXPECT_EQ(casesOkIn(run.out), crossingCellsAt(clockAfter(1)));
}

TEST_F(FrameTest, ScheduledKeysApplyBeforeTheirFrameInTheOrderGiven) {
    // A stops the clock before frame 2, W moves it on by 0.5: frame 2 shows
    // the field at the frame-1 clock plus 0.5.
    const RunResult run = runWith({"--headless", "--frames", "2", "--press", "2:A,2:W,2:P"});
    EXPECT_EQ(triangleLines(run.out), listingAt(clockAfter(1) + 0.5f));
}

TEST_F(FrameTest, BadCommandLineGivesOneLineThenUsageAndNothingOnStdout) {
    const RunResult run = runWith({"--frames", "many"});
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = linesOf(run.err);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "marching-cubes: --frames: \"many\" is not a whole number");
    EXPECT_EQ(lines[1], "Usage: marching-cubes [options]");
}

TEST_F(FrameTest, WithoutADisplayTheWindowedRunSaysWhatFailedAndExitsOne) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const RunResult run = runWith({"--frames", "1"});
    EXPECT_EQ(run.exitCode, kExitFailure);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = linesOf(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("cannot open the window"), std::string::npos);
    EXPECT_NE(lines[0].find("--headless"), std::string::npos);
    EXPECT_NE(lines[0].find("Xvfb"), std::string::npos);
}

}  // namespace

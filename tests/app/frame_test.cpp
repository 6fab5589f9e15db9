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
#include "recording_gl.h"
#include "render/triangle_count.h"
#include "test_support.h"
#include "test_volume.h"

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
    volumeView = VolumeView{};
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

// The vertices sent between begin(mode) and its end.
std::vector<GlCall> verticesIn(const std::vector<GlCall>& calls, GlEnum mode) {
    std::vector<GlCall> vertices;
    bool inside = false;
    for (const GlCall& call : calls) {
        if (call.name == "begin") {
            inside = call.args[0] == mode;
        } else if (inside && call.name == "vertex3f") {
            vertices.push_back(call);
        }
    }
    return vertices;
}

// A sphere volume with spacings 1, 2 and 0.5: the camera centres its scaled
// box, the clock stands still, and the overlay states the iso value and the
// triangles the frame drew.
TEST(FrameTest, AVolumeFrameCentresTheScaledBoxAndItsOverlayCountsTheTrianglesDrawn) {
    settings = Settings{};
    overlayFrameRate = FrameRate{};
    CapturedFile scratch;
    cubeMarcher.initialiseCubeMarcher(scratch.get());
    const SphereVolume sphere{{20, 16, 12}, {1.0, 2.0, 0.5}, 5.0};
    Volume volume;
    volume.sizes = sphere.sizes;
    volume.spacing = {1.0f, 2.0f, 0.5f};
    const std::vector<unsigned char> bytes = sphereBytes(sphere, SampleType::kFloat32);
    volume.samples.resize(bytes.size() / sizeof(float));
    convertSamples(SampleType::kFloat32, bytes.data(), volume.samples.size(),
                   volume.samples.data());
    volumeView.show(std::move(volume), static_cast<float>(kSphereIso), nullptr);
    settings.overlayShown = true;
    ASSERT_TRUE(sampleGrid.allocate(20, 16, 12));

    TriangleCountingGl<RecordingGl> gl;
    renderFrame(
        gl, [] {}, nullptr);
    EXPECT_EQ(settings.animationTime, 0.0f);
    EXPECT_NE(std::ranges::find(gl.calls, glCall("scalef", {0.5, 1.0, 0.25})), gl.calls.end());
    EXPECT_NE(std::ranges::find(gl.calls, glCall("translatef", {-4.75, -7.5, -1.375})),
              gl.calls.end());
    const int64_t triangles = static_cast<int64_t>(verticesIn(gl.calls, gl::kTriangles).size() / 3);
    EXPECT_GT(triangles, 100);
    std::vector<float> overlayCorners;
    for (const GlCall& vertex : verticesIn(gl.calls, gl::kQuads)) {
        overlayCorners.push_back(static_cast<float>(vertex.args[0]));
        overlayCorners.push_back(static_cast<float>(vertex.args[1]));
    }
    std::string text;
    writeOverlayText({.volume = true, .iso = 100.0f, .triangles = triangles, .lighting = true},
                     text);
    std::vector<float> expected;
    overlay::textQuads(text, expected);
    EXPECT_EQ(overlayCorners, expected);
    volumeView = VolumeView{};
}

// The blobs keep their frame as it was: the overlay is off until O.
TEST(FrameTest, TheBlobFrameIsUnchangedUntilTheOverlayIsShown) {
    settings = Settings{};
    CapturedFile scratch;
    cubeMarcher.initialiseCubeMarcher(scratch.get());
    ASSERT_TRUE(sampleGrid.allocate(kGridSize, kGridSize, kGridSize));
    RecordingGl plain;
    renderFrame(
        plain, [] {}, nullptr);
    settings = Settings{};
    TriangleCountingGl<RecordingGl> counting;
    renderFrame(
        counting, [] {}, nullptr);
    EXPECT_EQ(firstDifference(counting.calls, plain.calls), "");
    windowProcedure(nullptr, msg::kKeyDown, vk::kO, key_flags::kSingleRepeat);
    counting.calls.clear();
    renderFrame(
        counting, [] {}, nullptr);
    EXPECT_FALSE(verticesIn(counting.calls, gl::kQuads).empty());
}

TEST(FrameRate, IsTheRateOfTheLastCompletePeriod) {
    using std::chrono::milliseconds;
    FrameRate rate;
    const FrameRate::Clock::time_point start{};
    rate.tick(start);
    for (int frame = 1; frame <= 10; ++frame) {
        EXPECT_EQ(rate.perSecond(), 0.0) << frame;  // no period is complete yet
        rate.tick(start + milliseconds(50 * frame));
    }
    EXPECT_DOUBLE_EQ(rate.perSecond(), 20.0);
    rate.tick(start + milliseconds(1500));  // one frame in the next second
    EXPECT_DOUBLE_EQ(rate.perSecond(), 1.0);
}

}  // namespace

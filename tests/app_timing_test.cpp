#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/frame_timer.h"
#include "recording_gl.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(DurationHistogram, MedianIsWithinOneBucketAndTheSlowestIsExact) {
    DurationHistogram histogram;
    EXPECT_EQ(histogram.median(), Duration{0});
    for (int i = 1; i <= 99; ++i) {
        histogram.add(microseconds(100 * i));  // 0.1 ms to 9.9 ms; median 5 ms
    }
    histogram.add(std::chrono::seconds(3));
    EXPECT_EQ(histogram.count(), 100);
    EXPECT_EQ(histogram.slowest(), std::chrono::seconds(3));
    const double median = std::chrono::duration<double, std::micro>(histogram.median()).count();
    EXPECT_NEAR(median, 5000.0, 5000.0 * 0.011);
}

TEST(DurationHistogram, TimesBeyondItsRangeAreCountedAtItsEnds) {
    DurationHistogram histogram;
    histogram.add(Duration{1});
    EXPECT_LE(histogram.median(), Duration{1}) << "never above the slowest";
    histogram.add(std::chrono::hours(2));
    histogram.add(std::chrono::hours(3));
    EXPECT_EQ(histogram.slowest(), std::chrono::hours(3));
    EXPECT_GT(histogram.median(), std::chrono::minutes(5));
}

// Records the stage marks a frame makes.
struct StageLog {
    std::vector<std::string> marks;
    void startFrame() { marks.push_back("start"); }
    void endStage(Stage stage) { marks.push_back("end " + std::to_string(int(stage))); }
    void endFrame() { marks.push_back("frame"); }
};

TEST(FrameTimer, TheFrameMarksEachStageAroundItsWork) {
    CubeMarcher& marcher = cubeMarcher;
    FILE* scratch = std::tmpfile();
    marcher.initialiseCubeMarcher(scratch);
    std::fclose(scratch);
    ASSERT_TRUE(sampleGrid.allocate(kGridSize, kGridSize, kGridSize));
    RecordingGl gl;
    StageLog log;
    renderFrame(
        gl, [&] { log.marks.push_back("present"); }, nullptr, log);
    const std::vector<std::string> expected = {
        "start", "end 0", "end 2", "end 1", "present", "end 2", "frame",
    };
    EXPECT_EQ(log.marks, expected);
}

TEST(FrameTimer, ReportsFramesRateAndEveryStageInOneBlock) {
    FrameTimer timer;
    for (int frame = 0; frame < 3; ++frame) {
        timer.startFrame();
        timer.endStage(Stage::kFieldStep);
        timer.endStage(Stage::kSurfacePass);
        timer.endStage(Stage::kDrawingAndSwap);
        timer.endFrame();
    }
    EXPECT_EQ(timer.frames(), 3);
    EXPECT_EQ(timer.stage(Stage::kSurfacePass).count(), 3);
    FILE* out = std::tmpfile();
    timer.printReport(out);
    std::rewind(out);
    std::vector<std::string> lines;
    char line[256];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        lines.emplace_back(line);
    }
    std::fclose(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].starts_with("Timing: 3 frames in ")) << lines[0];
    EXPECT_NE(lines[0].find(" frames per second"), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("  field step ")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with("  surface pass ")) << lines[2];
    EXPECT_TRUE(lines[3].starts_with("  drawing and swap ")) << lines[3];
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].find(" ms, slowest "), std::string::npos) << lines[i];
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "recording_gl.h"
#include "test_support.h"

// Command lines the program accepts. Every refused one is checked against
// the built program by tests/e2e/cli_test.sh.

namespace {

Options parsed(std::vector<const char*> arguments) {
    Options options;
    std::string error;
    EXPECT_TRUE(parseOptions(arguments, options, error)) << error;
    return options;
}

TEST(OptionsTest, NoOptionsMeansTheWindowedRunWithoutEndOnTheUsualGrid) {
    const Options options = parsed({});
    EXPECT_FALSE(options.headless);
    EXPECT_FALSE(options.frames.has_value());
    EXPECT_TRUE(options.presses.empty());
    EXPECT_EQ(options.gridSize, kGridSize);
    EXPECT_FALSE(options.meshExport.has_value() || options.screenshotPath.has_value());
    EXPECT_FALSE(options.timing);
}

TEST(OptionsTest, ReadsEveryOptionWithItsValueNextOrAfterEquals) {
    const Options options =
        parsed({"--headless", "--frames=1000000000", "--grid", "256", "--export", "out/Surface.OBJ",
                "--timing", "--press", "1000000000:P"});
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.frames, kMaxFrames);
    EXPECT_EQ(options.gridSize, kMaxGridSize);
    ASSERT_TRUE(options.meshExport.has_value());
    EXPECT_EQ(options.meshExport->path, "out/Surface.OBJ");
    EXPECT_EQ(options.meshExport->format, MeshFormat::kObj);
    EXPECT_TRUE(options.timing);
    EXPECT_EQ(options.presses, (std::vector<ScheduledKey>{{kMaxFrames, vk::kP}}));
    EXPECT_EQ(parsed({"--frames", "0", "--grid=2"}).gridSize, kMinGridSize);
    EXPECT_EQ(parsed({"--screenshot=shot.PNG"}).screenshotPath, "shot.PNG");
    EXPECT_EQ(parsed({"--export", "a.b/mesh.ply"}).meshExport->format, MeshFormat::kPly);
    EXPECT_EQ(parsed({"--export", "mesh.stl"}).meshExport->format, MeshFormat::kStl);
    EXPECT_EQ(parsed({}).faceRule, FaceRule::kDecider);
    EXPECT_EQ(parsed({"--faces=TABLE"}).faceRule, FaceRule::kTable);
}

TEST(OptionsTest, PressesKeepTheirOrderAcrossListsAndIgnoreLetterCase) {
    const Options options =
        parsed({"--press", "3:escape,1:PAGEUP,1:pagedown", "--press", "2:left,2:Up,2:RIGHT,2:down",
                "--press=4:a,4:l,4:p,4:q,4:w,4:f"});
    EXPECT_EQ(options.presses, (std::vector<ScheduledKey>{{3, vk::kEscape},
                                                          {1, vk::kPageUp},
                                                          {1, vk::kPageDown},
                                                          {2, vk::kLeft},
                                                          {2, vk::kUp},
                                                          {2, vk::kRight},
                                                          {2, vk::kDown},
                                                          {4, vk::kA},
                                                          {4, vk::kL},
                                                          {4, vk::kP},
                                                          {4, vk::kQ},
                                                          {4, vk::kW},
                                                          {4, vk::kF}}));
}

// The frustum's far plane, the camera's distance and the red light's x, as
// the next frame loads them.
std::tuple<double, double, double> farPlaneDistanceAndRedLight() {
    RecordingGl gl;
    renderFrame(
        gl, [] {}, nullptr);
    const auto named = [&gl](const char* name, double light = gl::kLight0) {
        return *std::ranges::find_if(gl.calls, [&](const GlCall& call) {
            return call.name == name && (call.name != "lightfv" ||
                                         (call.args[0] == light && call.args[1] == gl::kPosition));
        });
    };
    return {named("frustum").args[5], -named("translatef").args[2], named("lightfv").args[2]};
}

TEST(OptionsTest, GridSizeScalesTheStartDistanceFarPlaneAndLightsExactlyFromForty) {
    for (const auto& [grid, farPlane, distance] :
         {std::tuple{"64", 160.0, 64.0}, std::tuple{"40", 100.0, 40.0}}) {
        settings = Settings{};
        const std::vector<const char*> arguments = {"--headless", "--frames", "1", "--grid", grid};
        CapturedFile out;
        EXPECT_EQ(runProgram(arguments, out.get(), out.get()), kExitSuccess);
        EXPECT_EQ(sampleGrid.nx, std::stoi(grid));
        EXPECT_EQ(farPlaneDistanceAndRedLight(), std::make_tuple(farPlane, distance, distance));
    }
}

}  // namespace

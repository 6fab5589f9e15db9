#include "render/scene.h"

#include <gtest/gtest.h>

#include <vector>

#include "recording_gl.h"
#include "render/opengl.h"

// The real backend must offer every operation the passes use.
static_assert(GlOperations<OpenGl>);

namespace {

// GL's enumerant values, written out here so that a wrong constant in the
// code cannot also hide in the expectation.
constexpr double kLines = 0x0001;
constexpr double kFrontAndBack = 0x0408;
constexpr double kCullFace = 0x0B44;
constexpr double kLighting = 0x0B50;
constexpr double kLightModelAmbient = 0x0B53;
constexpr double kDepthTest = 0x0B71;
constexpr double kNormalize = 0x0BA1;
constexpr double kDiffuse = 0x1201;
constexpr double kSpecular = 0x1202;
constexpr double kPosition = 0x1203;
constexpr double kShininess = 0x1601;
constexpr double kModelView = 0x1700;
constexpr double kProjection = 0x1701;
constexpr double kFlat = 0x1D00;
constexpr double kLight0 = 0x4000;

TEST(SetupLighting, OffOnlyDisablesLighting) {
    RecordingGl gl;
    setupLighting(gl, false);
    EXPECT_EQ(gl.calls, std::vector<GlCall>{glCall("disable", {kLighting})});
}

// Four lights: red, green and blue on the axes at 40, grey at the origin.
TEST(SetupLighting, OnSpecifiesFourColouredPointLightsEveryTime) {
    // clang-format off
    std::vector<GlCall> expected = {glCall("enable", {kLighting}),
        glCall("enable", {kLight0}), glCall("enable", {kLight0 + 1}),
        glCall("enable", {kLight0 + 2}), glCall("enable", {kLight0 + 3}),
        glCall("enable", {kNormalize}), glCall("shadeModel", {kFlat}),
        glCall("lightModelfv", {kLightModelAmbient, 0.2f, 0.2f, 0.2f, 1.0f}),
        glCall("materialfv", {kFrontAndBack, kDiffuse, 1.0f, 1.0f, 1.0f, 1.0f}),
        glCall("materialfv", {kFrontAndBack, kSpecular, 1.0f, 1.0f, 1.0f, 1.0f}),
        glCall("materialf", {kFrontAndBack, kShininess, 10.0f})};
    // clang-format on
    const float colours[4][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}, {0.5f, 0.5f, 0.5f}};
    const float positions[4][3] = {{40.0f, 0, 0}, {0, 40.0f, 0}, {0, 0, 40.0f}, {0, 0, 0}};
    for (int32_t n = 0; n < 4; ++n) {
        const float* c = colours[n];
        const float* p = positions[n];
        for (const double pname : {kDiffuse, kSpecular}) {
            expected.push_back(glCall("lightfv", {kLight0 + n, pname, c[0], c[1], c[2], 1.0f}));
        }
        expected.push_back(glCall("lightfv", {kLight0 + n, kPosition, p[0], p[1], p[2], 1.0f}));
    }
    const std::vector<GlCall> once = expected;
    expected.insert(expected.end(), once.begin(), once.end());
    RecordingGl gl;
    setupLighting(gl, true);
    setupLighting(gl, true);
    EXPECT_EQ(firstDifference(gl.calls, expected), "");
}

// The eye orbits the grid's centre, found by integer division of its sizes.
TEST(SetupCamera, OrbitsTheGridCentre) {
    struct Scenario {
        int32_t nx, ny, nz;
        float distance, pitch, yaw, tx, ty, tz;
    };
    for (const Scenario& s : {Scenario{40, 40, 40, 40.0f, 45.0f, -45.0f, -20.0f, -20.0f, -20.0f},
                              Scenario{41, 40, 3, 36.0f, 50.0f, -40.0f, -20.0f, -20.0f, -1.0f}}) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(s.nx, s.ny, s.nz));
        RecordingGl gl;
        setupCamera(gl, s.distance, s.pitch, s.yaw, grid);
        const std::vector<GlCall> expected = {glCall("matrixMode", {kProjection}),
                                              glCall("loadIdentity"),
                                              glCall("frustum", {-0.1, 0.1, -0.1, 0.1, 0.1, 100.0}),
                                              glCall("matrixMode", {kModelView}),
                                              glCall("loadIdentity"),
                                              glCall("translatef", {0.0f, 0.0f, -s.distance}),
                                              glCall("rotatef", {s.pitch, 1.0f, 0.0f, 0.0f}),
                                              glCall("rotatef", {s.yaw, 0.0f, 1.0f, 0.0f}),
                                              glCall("translatef", {s.tx, s.ty, s.tz}),
                                              glCall("disable", {kCullFace}),
                                              glCall("enable", {kDepthTest})};
        EXPECT_EQ(firstDifference(gl.calls, expected), "") << s.nx << "x" << s.ny << "x" << s.nz;
    }
}

TEST(DrawAxes, DrawsThreeLinesFromWhiteToTheAxisColour) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 30, 20));
    RecordingGl gl;
    drawAxes(gl, grid);
    const auto white = glCall("color3f", {1.0f, 1.0f, 1.0f});
    const auto origin = glCall("vertex3f", {0.0f, 0.0f, 0.0f});
    // clang-format off
    const std::vector<GlCall> expected = {glCall("begin", {kLines}),
        white, origin, glCall("color3f", {1.0f, 0.0f, 0.0f}), glCall("vertex3f", {40.0f, 0.0f, 0.0f}),
        white, origin, glCall("color3f", {0.0f, 1.0f, 0.0f}), glCall("vertex3f", {0.0f, 30.0f, 0.0f}),
        white, origin, glCall("color3f", {0.0f, 0.0f, 1.0f}), glCall("vertex3f", {0.0f, 0.0f, 20.0f}),
        glCall("end")};
    // clang-format on
    EXPECT_EQ(firstDifference(gl.calls, expected), "");
}

}  // namespace

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
constexpr double kLight[4] = {0x4000, 0x4001, 0x4002, 0x4003};

TEST(SetupLighting, OffOnlyDisablesLighting) {
    RecordingGl gl;
    setupLighting(gl, false);
    EXPECT_EQ(gl.calls, std::vector<GlCall>{glCall("disable", {kLighting})});
}

TEST(SetupLighting, OnSpecifiesFourColouredPointLightsEveryTime) {
    const std::vector<GlCall> expected = {
        glCall("enable", {kLighting}),
        glCall("enable", {kLight[0]}),
        glCall("enable", {kLight[1]}),
        glCall("enable", {kLight[2]}),
        glCall("enable", {kLight[3]}),
        glCall("enable", {kNormalize}),
        glCall("shadeModel", {kFlat}),
        glCall("lightModelfv", {kLightModelAmbient, 0.2f, 0.2f, 0.2f, 1.0f}),
        glCall("materialfv", {kFrontAndBack, kDiffuse, 1.0f, 1.0f, 1.0f, 1.0f}),
        glCall("materialfv", {kFrontAndBack, kSpecular, 1.0f, 1.0f, 1.0f, 1.0f}),
        glCall("materialf", {kFrontAndBack, kShininess, 10.0f}),
        glCall("lightfv", {kLight[0], kDiffuse, 0.5f, 0.0f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[0], kSpecular, 0.5f, 0.0f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[0], kPosition, 40.0f, 0.0f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[1], kDiffuse, 0.0f, 0.5f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[1], kSpecular, 0.0f, 0.5f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[1], kPosition, 0.0f, 40.0f, 0.0f, 1.0f}),
        glCall("lightfv", {kLight[2], kDiffuse, 0.0f, 0.0f, 0.5f, 1.0f}),
        glCall("lightfv", {kLight[2], kSpecular, 0.0f, 0.0f, 0.5f, 1.0f}),
        glCall("lightfv", {kLight[2], kPosition, 0.0f, 0.0f, 40.0f, 1.0f}),
        glCall("lightfv", {kLight[3], kDiffuse, 0.5f, 0.5f, 0.5f, 1.0f}),
        glCall("lightfv", {kLight[3], kSpecular, 0.5f, 0.5f, 0.5f, 1.0f}),
        glCall("lightfv", {kLight[3], kPosition, 0.0f, 0.0f, 0.0f, 1.0f}),
    };
    RecordingGl gl;
    setupLighting(gl, true);
    setupLighting(gl, true);
    std::vector<GlCall> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(firstDifference(gl.calls, twice), "");
}

std::vector<GlCall> cameraCalls(float distance, float pitch, float yaw, float tx, float ty,
                                float tz) {
    return {
        glCall("matrixMode", {kProjection}),
        glCall("loadIdentity"),
        glCall("frustum", {-0.1, 0.1, -0.1, 0.1, 0.1, 100.0}),
        glCall("matrixMode", {kModelView}),
        glCall("loadIdentity"),
        glCall("translatef", {0.0f, 0.0f, -distance}),
        glCall("rotatef", {pitch, 1.0f, 0.0f, 0.0f}),
        glCall("rotatef", {yaw, 0.0f, 1.0f, 0.0f}),
        glCall("translatef", {tx, ty, tz}),
        glCall("disable", {kCullFace}),
        glCall("enable", {kDepthTest}),
    };
}

TEST(SetupCamera, OrbitsTheGridCentreAtTheInitialSettings) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    RecordingGl gl;
    setupCamera(gl, 40.0f, 45.0f, -45.0f, grid);
    EXPECT_EQ(firstDifference(gl.calls, cameraCalls(40.0f, 45.0f, -45.0f, -20.0f, -20.0f, -20.0f)),
              "");
}

TEST(SetupCamera, CentresOddSizesByTruncatingDivision) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(41, 40, 3));
    RecordingGl gl;
    setupCamera(gl, 36.0f, 50.0f, -40.0f, grid);
    EXPECT_EQ(firstDifference(gl.calls, cameraCalls(36.0f, 50.0f, -40.0f, -20.0f, -20.0f, -1.0f)),
              "");
}

TEST(DrawAxes, DrawsThreeLinesFromWhiteToTheAxisColour) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 30, 20));
    RecordingGl gl;
    drawAxes(gl, grid);
    const std::vector<GlCall> expected = {
        glCall("begin", {kLines}),
        glCall("color3f", {1.0f, 1.0f, 1.0f}),
        glCall("vertex3f", {0.0f, 0.0f, 0.0f}),
        glCall("color3f", {1.0f, 0.0f, 0.0f}),
        glCall("vertex3f", {40.0f, 0.0f, 0.0f}),
        glCall("color3f", {1.0f, 1.0f, 1.0f}),
        glCall("vertex3f", {0.0f, 0.0f, 0.0f}),
        glCall("color3f", {0.0f, 1.0f, 0.0f}),
        glCall("vertex3f", {0.0f, 30.0f, 0.0f}),
        glCall("color3f", {1.0f, 1.0f, 1.0f}),
        glCall("vertex3f", {0.0f, 0.0f, 0.0f}),
        glCall("color3f", {0.0f, 0.0f, 1.0f}),
        glCall("vertex3f", {0.0f, 0.0f, 20.0f}),
        glCall("end"),
    };
    EXPECT_EQ(firstDifference(gl.calls, expected), "");
}

}  // namespace

#include "render/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// Lighting on (four coloured point lights, as a 60-sample grid scales them)
// and off, the camera over the blobs' 40-sample grid (the fixed scene's
// calls) and over a volume's scaled box in a 800x600 window, and the three
// axes, as the golden trace has them call for call.
TEST(Scene, SetsUpLightsCameraAndAxesAsTheGoldenTrace) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(41, 30, 3));
    RecordingGl gl;
    setupLighting(gl, true, scene::fitBlobGrid(60).lights, gl::kSmooth);
    const scene::View view{.distance = 36.0f, .pitch = 50.0f, .yaw = -40.0f};
    setupCamera(gl, view, scene::fitBlobGrid(scene::kReferenceGridSize));
    setupCamera(gl, view, scene::fitVolume({20, 16, 12}, {1.0f, 2.0f, 0.5f}));
    setupLighting(gl, false);
    drawAxes(gl, grid);
    EXPECT_EQ(traceOf(gl.calls), golden("render/scene.trace", traceOf(gl.calls)));
}

// Every drawn point (the box from 0 to the axes' ends) lies within `radius`
// of the centre, so between the fitted planes from any side: for the blobs
// at many sizes, whose start distance and lights scale with the size
// (exactly the fixed scene's at 40), and for volumes of any spacing, at
// distances from inside the box to far away.
TEST(Scene, FitsThePlanesAroundTheWholeScene) {
    const auto checkPlanes = [](const scene::SceneFit& fit, const float(&extent)[3]) {
        for (int32_t corner = 0; corner < 8; ++corner) {
            float squared = 0.0f;
            for (int32_t axis = 0; axis < 3; ++axis) {
                const float at = (corner >> axis & 1) != 0 ? extent[axis] : 0.0f;
                squared += (at - fit.centre[axis]) * (at - fit.centre[axis]);
            }
            EXPECT_LE(std::sqrt(squared), fit.radius * 1.0001f);
        }
        for (const float distance : {1e-3f, fit.radius / 2, fit.startDistance, 3 * fit.radius}) {
            const scene::SceneFit::Depth depth = fit.depthAt(distance);
            EXPECT_GE(depth.farPlane, distance + fit.radius * 0.9999);
            if (distance > fit.radius) {
                EXPECT_LE(depth.nearPlane, (distance - fit.radius) * 1.0001);
            }
            // Inside the scene, the near plane as close as depth resolution allows.
            EXPECT_GE(depth.nearPlane, depth.farPlane * scene::kNearFarRatio * 0.9999);
        }
    };
    for (const int32_t size : {2, 3, 17, 64, 255, 256}) {
        const scene::SceneFit fit = scene::fitBlobGrid(size);
        const float n = static_cast<float>(size);
        checkPlanes(fit, {n, n, n});
        EXPECT_EQ(fit.startDistance, n);
        EXPECT_EQ(fit.lights[2][2], n);  // the blue light's z
        EXPECT_EQ(fit.centre[0], static_cast<float>(size / 2));
    }
    const scene::SceneFit fixed = scene::fitBlobGrid(scene::kReferenceGridSize);
    EXPECT_EQ(fixed.startDistance, 40.0f);
    EXPECT_EQ(std::memcmp(fixed.lights, scene::kLightPositions, sizeof fixed.lights), 0);
    for (const float distance : {1e-3f, 40.0f, 1e6f}) {
        EXPECT_EQ(fixed.depthAt(distance).nearPlane, scene::kNearPlane);
        EXPECT_EQ(fixed.depthAt(distance).farPlane, scene::kFarPlane);
    }
    for (const float dz : {0.5f, 1.0f, 3.0f}) {
        const scene::SceneFit fit = scene::fitVolume({181, 217, 31}, {1.0f, 1.0f, dz});
        checkPlanes(fit, {181 * fit.scale[0], 217 * fit.scale[1], 31 * fit.scale[2]});
    }
}

// A volume's frustum is widened along the window's longer side, so that a
// unit is as long across as up; the blobs' stays square in any window.
TEST(Scene, AVolumeKeepsItsProportionsInAnyWindow) {
    const scene::View view;
    for (const auto& [width, height] : {std::pair{800, 600}, {300, 900}, {512, 512}}) {
        for (const scene::SceneKind kind : {scene::SceneKind::kVolume, scene::SceneKind::kBlobs}) {
            scene::SceneFit fit = scene::fitVolume({10, 10, 10}, {1.0f, 1.0f, 1.0f});
            fit.kind = kind;
            RecordingGl gl;
            gl.viewportAnswer[2] = width;
            gl.viewportAnswer[3] = height;
            double half[2];
            frustumHalfSizes(gl, fit, 0.5, half);
            const double wanted =
                kind == scene::SceneKind::kVolume ? static_cast<double>(width) / height : 1.0;
            EXPECT_NEAR(half[0] / half[1], wanted, 1e-12);
            EXPECT_DOUBLE_EQ(std::min(half[0], half[1]), 0.5);  // 90 degrees across the short side
        }
    }
}

}  // namespace

#include "render/scene.h"

#include <gtest/gtest.h>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// Lighting on (four coloured point lights, scaled) and off, the camera
// orbiting the centre of an odd-sized grid (sizes halved by integer
// division) and then a volume's scaled box, and the three axes, as the
// golden trace has them call for call.
TEST(Scene, SetsUpLightsCameraAndAxesAsTheGoldenTrace) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(41, 30, 3));
    RecordingGl gl;
    float lights[scene::kLightCount][4];
    scene::scaleLights(1.5f, lights);
    setupLighting(gl, true, lights, gl::kSmooth);
    setupCamera(gl, 36.0f, 50.0f, -40.0f, grid, 150.0);
    const int32_t sizes[3] = {20, 16, 12};
    const scene::VolumeBox box = scene::volumeBoxFor(sizes, IndexToWorld::scaled({1, 2, 0.5f}));
    setupCamera(gl, 36.0f, 50.0f, -40.0f, grid, 150.0, &box);
    setupLighting(gl, false);
    drawAxes(gl, grid);
    drawAxes(gl, grid, &box);
    EXPECT_EQ(traceOf(gl.calls), golden("render/scene.trace", traceOf(gl.calls)));
}

}  // namespace

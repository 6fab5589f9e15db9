#include "render/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// A volume 20x16x12 with spacings 1, 2 and 0.5 whose world frame mirrors x
// and lies well away from the origin.
IndexToWorld mirroredAway() {
    IndexToWorld toWorld = IndexToWorld::scaled({1.0f, 2.0f, 0.5f});
    toWorld.axes[0][0] = -1.0;
    toWorld.origin = {90.0, 126.0, -72.0};
    return toWorld;
}

// Lighting on (four coloured point lights, as a 60-sample grid scales them)
// and off, the camera over the blobs' 40-sample grid (the fixed scene's
// calls, the surface in the scene's frame) and over a volume in its world
// frame in a 800x600 window, and the three axes, as the golden trace has
// them call for call.
TEST(Scene, SetsUpLightsCameraAndAxesAsTheGoldenTrace) {
    RecordingGl gl;
    setupLighting(gl, true, scene::fitBlobGrid(60).lights, gl::kSmooth);
    const scene::View view{.distance = 36.0f, .pitch = 50.0f, .yaw = -40.0f};
    const scene::SceneFit blobs = scene::fitBlobGrid(scene::kReferenceGridSize);
    setupCamera(gl, view, blobs);
    drawInModelFrame(gl, blobs, [&] { gl.vertex3f(1.0f, 2.0f, 3.0f); });
    const scene::SceneFit volume = scene::fitVolume({20, 16, 12}, mirroredAway());
    setupCamera(gl, view, volume);
    drawInModelFrame(gl, volume, [&] { gl.vertex3f(1.0f, 2.0f, 3.0f); });
    setupLighting(gl, false);
    drawAxes(gl, blobs);
    drawAxes(gl, volume);
    EXPECT_EQ(traceOf(gl.calls), golden("render/scene.trace", traceOf(gl.calls)));
}

// A volume's model matrix takes each grid point where its world transform
// does, and its fit centres the world box: for plain, mirrored, sheared and
// far-placed frames.
TEST(Scene, PlacesAVolumeInItsWorldFrame) {
    IndexToWorld sheared = IndexToWorld::scaled({0.5f, 0.5f, 2.0f});
    sheared.axes[2] = {0.3, -0.4, 1.9};
    sheared.origin = {-1000.0, 5.0, 250.0};
    for (const IndexToWorld& toWorld : {IndexToWorld{}, mirroredAway(), sheared}) {
        const int32_t sizes[3] = {7, 5, 9};
        const scene::SceneFit fit = scene::fitVolume(sizes, toWorld);
        for (const IndexToWorld::Vector& index :
             {IndexToWorld::Vector{0, 0, 0}, {6, 0, 0}, {0, 4, 8}, {6, 4, 8}, {2.5, 1.25, 3}}) {
            const IndexToWorld::Vector world = toWorld.apply(index);
            for (int32_t row = 0; row < 3; ++row) {
                double mapped = fit.model[12 + row];
                for (int32_t column = 0; column < 3; ++column) {
                    mapped += fit.model[4 * column + row] * index[column];
                }
                EXPECT_NEAR(mapped, world[row], 1e-4 * (1.0 + std::abs(world[row])));
            }
        }
        const IndexToWorld::Vector middle = toWorld.apply({3.0, 2.0, 4.0});
        for (int32_t axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(fit.centre[axis], middle[axis], 1e-3);
        }
    }
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
    // A volume's world box, its corners from index 0 to n - 1, and the axes'
    // ends, from the origin however far it lies.
    for (const IndexToWorld& toWorld : {IndexToWorld::scaled({1.0f, 1.0f, 0.5f}),
                                        IndexToWorld::scaled({1.0f, 1.0f, 3.0f}), mirroredAway()}) {
        const scene::SceneFit fit = scene::fitVolume({181, 217, 31}, toWorld);
        for (int32_t corner = 0; corner < 8; ++corner) {
            const IndexToWorld::Vector index{(corner & 1) * 180.0, (corner >> 1 & 1) * 216.0,
                                             (corner >> 2 & 1) * 30.0};
            EXPECT_LE(scene::distanceBetween(toWorld.apply(index), fit.centre),
                      fit.radius * 1.0001);
        }
        for (int32_t axis = 0; axis < 3; ++axis) {
            IndexToWorld::Vector end{};
            end[axis] = fit.axisLengths[axis];
            EXPECT_LE(scene::distanceBetween(end, fit.centre), fit.radius * 1.0001);
        }
        EXPECT_LE(scene::distanceBetween({}, fit.centre), fit.radius * 1.0001);
    }
}

// A volume's frustum is widened along the window's longer side, so that a
// unit is as long across as up; the blobs' stays square in any window.
TEST(Scene, AVolumeKeepsItsProportionsInAnyWindow) {
    const scene::View view;
    for (const auto& [width, height] : {std::pair{800, 600}, {300, 900}, {512, 512}}) {
        for (const scene::SceneKind kind : {scene::SceneKind::kVolume, scene::SceneKind::kBlobs}) {
            scene::SceneFit fit = scene::fitVolume({10, 10, 10}, IndexToWorld{});
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

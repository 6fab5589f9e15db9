#pragma once

#include <algorithm>
#include <cstdint>

#include "field/scalar_grid.h"
#include "render/gl_ops.h"
#include "render/volume_box.h"

// What surrounds the surface in every frame: lighting, camera and axes. All
// three need a current GL context (for the OpenGl backend) and hold no state.

namespace scene {

// kLightCount and kAxisCount come with the volume box.
inline constexpr float kGlobalAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
// Diffuse and specular both; colour material stays off, so vertex colours do
// not change the lit result.
inline constexpr float kMaterialColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr float kShininess = 10.0f;
// Red, green and blue sit at the ends of the x, y and z axes of the 40-sample
// grid; grey sits at the origin. w = 1: all four are point lights.
inline constexpr float kLightColours[kLightCount][4] = {
    {0.5f, 0.0f, 0.0f, 1.0f},
    {0.0f, 0.5f, 0.0f, 1.0f},
    {0.0f, 0.0f, 0.5f, 1.0f},
    {0.5f, 0.5f, 0.5f, 1.0f},
};
inline constexpr float kLightPositions[kLightCount][4] = {
    {40.0f, 0.0f, 0.0f, 1.0f},
    {0.0f, 40.0f, 0.0f, 1.0f},
    {0.0f, 0.0f, 40.0f, 1.0f},
    {0.0f, 0.0f, 0.0f, 1.0f},
};

// A square frustum with a 90-degree field of view both ways, whatever the
// window's aspect ratio.
inline constexpr double kFrustumHalfSize = 0.1;
inline constexpr double kNearPlane = 0.1;
inline constexpr double kFarPlane = 100.0;
// The grid size the far plane and the start distance of the camera suit;
// other sizes scale both by size / kReferenceGridSize so the whole grid
// stays in view. At the reference size the scaled values are exact.
inline constexpr int32_t kReferenceGridSize = 40;

inline double farPlaneFor(int32_t gridSize) {
    return kFarPlane * gridSize / kReferenceGridSize;
}

// The lights stand where they stand for the reference grid, scaled with the
// grid's size so that they keep lighting it; exactly 1 at the reference size.
inline float lightScaleFor(int32_t gridSize) {
    return static_cast<float>(gridSize) / kReferenceGridSize;
}

// kLightPositions with x, y and z multiplied by `scale`.
inline void scaleLights(float scale, float (&positions)[kLightCount][4]) {
    for (int32_t light = 0; light < kLightCount; ++light) {
        for (int32_t axis = 0; axis < 3; ++axis) {
            positions[light][axis] = kLightPositions[light][axis] * scale;
        }
        positions[light][3] = kLightPositions[light][3];
    }
}

inline constexpr float kAxisStartColour[3] = {1.0f, 1.0f, 1.0f};
// x red, y green, z blue, matching the lights at the axis ends.
inline constexpr float kAxisEndColours[kAxisCount][3] = {
    {1.0f, 0.0f, 0.0f},
    {0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 1.0f},
};

}  // namespace scene

// Turns fixed-function lighting on with the four lights at `positions` (the
// blobs' scaled to the grid, or a volume's around its box), normal rescaling
// (the surface sends unnormalised normals) and `shadeModel` (flat by
// default), all set anew each time; or, when `enabled` is false, only
// disables lighting.
template <GlOperations Gl>
void setupLighting(Gl& gl, bool enabled,
                   const float (&positions)[scene::kLightCount][4] = scene::kLightPositions,
                   GlEnum shadeModel = gl::kFlat) {
    if (!enabled) {
        gl.disable(gl::kLighting);
        return;
    }
    gl.enable(gl::kLighting);
    for (int32_t light = 0; light < scene::kLightCount; ++light) {
        gl.enable(gl::kLight0 + light);
    }
    gl.enable(gl::kNormalize);
    gl.shadeModel(shadeModel);
    gl.lightModelfv(gl::kLightModelAmbient, scene::kGlobalAmbient);
    gl.materialfv(gl::kFrontAndBack, gl::kDiffuse, scene::kMaterialColour);
    gl.materialfv(gl::kFrontAndBack, gl::kSpecular, scene::kMaterialColour);
    gl.materialf(gl::kFrontAndBack, gl::kShininess, scene::kShininess);
    for (int32_t light = 0; light < scene::kLightCount; ++light) {
        const GlEnum id = gl::kLight0 + light;
        gl.lightfv(id, gl::kDiffuse, scene::kLightColours[light]);
        gl.lightfv(id, gl::kSpecular, scene::kLightColours[light]);
        gl.lightfv(id, gl::kPosition, positions[light]);
    }
}

// Loads the projection and the orbiting camera: the grid's centre (sizes
// halved by integer division) is moved to the origin, turned by `cameraYaw`
// about y, then by `cameraPitch` about x (degrees), and placed
// `cameraDistance` grid units in front of the eye; nothing farther than
// `farPlane` is drawn. With a `volume` box, its centre is moved to the origin
// instead, and the grid is then placed in view by the box's matrix. Leaves the
// model-view matrix current, culling off and depth testing on.
template <GlOperations Gl>
void setupCamera(Gl& gl, float cameraDistance, float cameraPitch, float cameraYaw,
                 const ScalarGrid& grid, double farPlane = scene::kFarPlane,
                 const scene::VolumeBox* volume = nullptr) {
    gl.matrixMode(gl::kProjection);
    gl.loadIdentity();
    gl.frustum(-scene::kFrustumHalfSize, scene::kFrustumHalfSize, -scene::kFrustumHalfSize,
               scene::kFrustumHalfSize, scene::kNearPlane, farPlane);
    gl.matrixMode(gl::kModelView);
    gl.loadIdentity();
    gl.translatef(0.0f, 0.0f, -cameraDistance);
    gl.rotatef(cameraPitch, 1.0f, 0.0f, 0.0f);
    gl.rotatef(cameraYaw, 0.0f, 1.0f, 0.0f);
    if (volume != nullptr) {
        gl.translatef(-volume->centre[0], -volume->centre[1], -volume->centre[2]);
        gl.multMatrixf(volume->toView);
    } else {
        gl.translatef(static_cast<float>(-grid.nx / 2), static_cast<float>(-grid.ny / 2),
                      static_cast<float>(-grid.nz / 2));
    }
    gl.disable(gl::kCullFace);
    gl.enable(gl::kDepthTest);
}

// Draws the x, y and z axes as lines from the origin (white) to the grid's
// size along each axis (red, green, blue); with a `volume` box, the world's
// axes the box gives instead.
template <GlOperations Gl>
void drawAxes(Gl& gl, const ScalarGrid& grid, const scene::VolumeBox* volume = nullptr) {
    float ends[scene::kAxisCount + 1][3] = {};  // the start, then each axis's end
    const int32_t sizes[scene::kAxisCount] = {grid.nx, grid.ny, grid.nz};
    for (int32_t end = 0; end <= scene::kAxisCount; ++end) {
        for (int32_t axis = 0; axis < scene::kAxisCount; ++axis) {
            ends[end][axis] = volume != nullptr ? volume->axes[end][axis]
                              : end == axis + 1 ? static_cast<float>(sizes[axis])
                                                : 0.0f;
        }
    }
    gl.begin(gl::kLines);
    for (int32_t axis = 0; axis < scene::kAxisCount; ++axis) {
        const float* endColour = scene::kAxisEndColours[axis];
        gl.color3f(scene::kAxisStartColour[0], scene::kAxisStartColour[1],
                   scene::kAxisStartColour[2]);
        gl.vertex3f(ends[0][0], ends[0][1], ends[0][2]);
        gl.color3f(endColour[0], endColour[1], endColour[2]);
        gl.vertex3f(ends[axis + 1][0], ends[axis + 1][1], ends[axis + 1][2]);
    }
    gl.end();
}

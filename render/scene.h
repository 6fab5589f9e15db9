#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "engine/cube_marcher.h"
#include "field/world_transform.h"
#include "render/gl_ops.h"

// What surrounds the surface in every frame: lighting, camera and axes. All
// three need a current GL context (for the OpenGl backend) and hold no state.

namespace scene {

inline constexpr int32_t kLightCount = 4;
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
// window's aspect ratio, between the near and far planes of the 40-sample
// grid's scene.
inline constexpr double kFrustumHalfSize = 0.1;
inline constexpr double kNearPlane = 0.1;
inline constexpr double kFarPlane = 100.0;
// The blobs' grid size the fixed scene is made for: its start distance, far
// plane and lights. Other grid sizes scale the distance and the lights by
// size / kReferenceGridSize (exactly 1 at the reference size).
inline constexpr int32_t kReferenceGridSize = 40;
inline constexpr float kReferenceDistance = 40.0f;
// A fitted near plane never comes closer than this share of the far plane,
// so a camera inside the scene keeps depth resolution.
inline constexpr double kNearFarRatio = 1e-3;

enum class SceneKind {
    kBlobs,   // the fixed scene at the reference size, its frustum kept square
    kVolume,  // samples in their world frame, proportions kept in any window
};

// Where the scene stands and how it is lit, worked out once for the blobs'
// grid or a volume's box. The scene's units are grid units for the blobs and
// a volume's world units (its file's, mm for NIfTI and DICOM), into which
// `model` (GL's column order) takes its grid units. `centre`, the point the
// camera orbits, and `radius`, the farthest any drawn point (surface or axes)
// lies from it, are in scene units, as are the lights, which GL places
// through the camera of the last frame (the model matrix is not left on).
// The axes run from the scene's origin, `axisLengths` along each.
struct SceneFit {
    SceneKind kind = SceneKind::kBlobs;
    int32_t gridSize = kReferenceGridSize;  // the blobs' grid
    float model[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    float centre[3] = {0.0f, 0.0f, 0.0f};
    float size = 0.0f;  // the box's largest side
    float radius = 0.0f;
    float startDistance = kReferenceDistance;
    float lights[kLightCount][4] = {};
    float axisLengths[3] = {};

    // The frustum's depth at the camera `distance` from the centre: the whole
    // sphere of `radius`, except for the blobs at the reference size, which
    // keep the fixed planes.
    struct Depth {
        double nearPlane;
        double farPlane;
    };
    Depth depthAt(float distance) const {
        if (kind == SceneKind::kBlobs && gridSize == kReferenceGridSize) {
            return {kNearPlane, kFarPlane};
        }
        const double farPlane = double{distance} + radius;
        return {std::max(double{distance} - radius, farPlane * kNearFarRatio), farPlane};
    }
};

// The farthest corner of the box [0, extent] from `centre`.
inline float farthestCorner(const float (&extent)[3], const float (&centre)[3]) {
    float sum = 0.0f;
    for (int32_t axis = 0; axis < 3; ++axis) {
        const float reach = std::max(centre[axis], extent[axis] - centre[axis]);
        sum += reach * reach;
    }
    return std::sqrt(sum);
}

inline double distanceBetween(const IndexToWorld::Vector& a, const float (&b)[3]) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// The blobs on a grid of `gridSize` samples a side: the camera orbits the
// grid's centre (the size halved by integer division) and starts
// size / kReferenceGridSize times the reference distance away; the lights
// stand where they stand for the reference grid, scaled alike.
inline SceneFit fitBlobGrid(int32_t gridSize) {
    SceneFit fit;
    fit.gridSize = gridSize;
    const float ratio = static_cast<float>(gridSize) / kReferenceGridSize;
    const float extent[3] = {static_cast<float>(gridSize), static_cast<float>(gridSize),
                             static_cast<float>(gridSize)};
    for (int32_t axis = 0; axis < 3; ++axis) {
        fit.centre[axis] = static_cast<float>(gridSize / 2);
    }
    fit.size = extent[0];
    fit.radius = farthestCorner(extent, fit.centre);
    fit.startDistance = kReferenceDistance * ratio;
    for (int32_t light = 0; light < kLightCount; ++light) {
        for (int32_t axis = 0; axis < 3; ++axis) {
            fit.lights[light][axis] = kLightPositions[light][axis] * ratio;
        }
        fit.lights[light][3] = kLightPositions[light][3];
    }
    std::fill_n(fit.axisLengths, 3, extent[0]);
    return fit;
}

// A volume of `sizes` samples placed in its world frame by `toWorld` (which
// must be invertible): the camera orbits the centre of its samples' box and
// sees it whole from the start distance, which scales with the box's size
// (its bounding box's largest side in world units) as the blobs' with the
// grid's. Point lights stand around the box, so the whole surface in view is
// lit: red, green and blue one box size out from the centre along the world's
// x, y and z, grey one box size out along all three at once. The axes run
// one box size along the world's axes from its origin, which the fit
// encloses too, however far from the samples it lies.
inline SceneFit fitVolume(const int32_t (&sizes)[3], const IndexToWorld& toWorld) {
    SceneFit fit;
    fit.kind = SceneKind::kVolume;
    for (int32_t column = 0; column < 3; ++column) {
        for (int32_t row = 0; row < 3; ++row) {
            fit.model[4 * column + row] = static_cast<float>(toWorld.axes[column][row]);
        }
        fit.model[12 + column] = static_cast<float>(toWorld.origin[column]);
    }
    IndexToWorld::Vector corners[8];
    IndexToWorld::Vector low = toWorld.origin;
    IndexToWorld::Vector high = low;
    for (int32_t corner = 0; corner < 8; ++corner) {
        IndexToWorld::Vector index{};
        for (int32_t axis = 0; axis < 3; ++axis) {
            index[axis] = (corner >> axis & 1) != 0 ? sizes[axis] - 1 : 0;
        }
        corners[corner] = toWorld.apply(index);
        for (int32_t axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], corners[corner][axis]);
            high[axis] = std::max(high[axis], corners[corner][axis]);
        }
    }
    const std::array<float, 3> spacing = toWorld.spacing();
    fit.size = std::max({spacing[0], spacing[1], spacing[2]});  // even for one sample a side
    for (int32_t axis = 0; axis < 3; ++axis) {
        fit.centre[axis] = static_cast<float>((corners[0][axis] + corners[7][axis]) / 2.0);
        fit.size = std::max(fit.size, static_cast<float>(high[axis] - low[axis]));
    }
    std::fill_n(fit.axisLengths, 3, fit.size);
    double radius = 0.0;
    for (const IndexToWorld::Vector& corner : corners) {
        radius = std::max(radius, distanceBetween(corner, fit.centre));
    }
    radius = std::max(radius, distanceBetween({}, fit.centre));
    for (int32_t axis = 0; axis < 3; ++axis) {
        IndexToWorld::Vector end{};
        end[axis] = fit.size;
        radius = std::max(radius, distanceBetween(end, fit.centre));
    }
    fit.radius = static_cast<float>(radius);
    fit.startDistance = kReferenceDistance * fit.size / kReferenceGridSize;
    for (int32_t light = 0; light < kLightCount; ++light) {
        for (int32_t axis = 0; axis < 3; ++axis) {
            const bool outwards = light == axis || light == kLightCount - 1;
            fit.lights[light][axis] = fit.centre[axis] + (outwards ? fit.size : 0.0f);
        }
        fit.lights[light][3] = 1.0f;  // point lights, as the blobs'
    }
    return fit;
}

// Where the camera stands: `distance` scaled units from the eye to the point
// it orbits, turned by `yaw` about y, then `pitch` about x (degrees), and
// moved by `panX`, `panY` across the view.
struct View {
    float distance = kReferenceDistance;
    float pitch = 45.0f;
    float yaw = -45.0f;
    float panX = 0.0f;
    float panY = 0.0f;

    bool operator==(const View&) const = default;
};

inline constexpr float kAxisStartColour[3] = {1.0f, 1.0f, 1.0f};
// x red, y green, z blue, matching the lights at the axis ends.
inline constexpr float kAxisEndColours[kAxisCount][3] = {
    {1.0f, 0.0f, 0.0f},
    {0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 1.0f},
};

}  // namespace scene

// Turns fixed-function lighting on with the four lights at `positions` (a
// scene fit's), normal rescaling
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

// The frustum's half width and height at the near plane: 90 degrees both
// ways, and for a volume widened along the longer side of `viewport` (x, y,
// width, height) so that its proportions hold.
inline void frustumHalfSizes(const scene::SceneFit& fit, double nearPlane,
                             const int32_t (&viewport)[4], double (&half)[2]) {
    // Exactly the fixed half size at the fixed near plane.
    const double atNear = nearPlane * (scene::kFrustumHalfSize / scene::kNearPlane);
    half[0] = half[1] = atNear;
    if (fit.kind == scene::SceneKind::kVolume && viewport[2] > 0 && viewport[3] > 0) {
        const double aspect = static_cast<double>(viewport[2]) / viewport[3];
        half[0] *= std::max(aspect, 1.0);
        half[1] *= std::max(1.0 / aspect, 1.0);
    }
}

// The same in GL's viewport, read only for a volume.
template <GlOperations Gl>
void frustumHalfSizes(Gl& gl, const scene::SceneFit& fit, double nearPlane, double (&half)[2]) {
    int32_t viewport[4] = {};
    if (fit.kind == scene::SceneKind::kVolume) {
        gl.getViewport(viewport);
    }
    frustumHalfSizes(fit, nearPlane, viewport, half);
}

// Loads the projection and the orbiting camera of `view` over the scene of
// `fit`: the fit's centre is moved to the origin, turned and placed in front
// of the eye; the near and far planes are the fit's at the view's distance.
// For the blobs at the reference size the calls are exactly the fixed
// scene's. Leaves the model-view matrix current, culling off and depth
// testing on.
template <GlOperations Gl>
void setupCamera(Gl& gl, const scene::View& view, const scene::SceneFit& fit) {
    const scene::SceneFit::Depth depth = fit.depthAt(view.distance);
    double half[2];
    frustumHalfSizes(gl, fit, depth.nearPlane, half);
    gl.matrixMode(gl::kProjection);
    gl.loadIdentity();
    gl.frustum(-half[0], half[0], -half[1], half[1], depth.nearPlane, depth.farPlane);
    gl.matrixMode(gl::kModelView);
    gl.loadIdentity();
    gl.translatef(view.panX, view.panY, -view.distance);
    gl.rotatef(view.pitch, 1.0f, 0.0f, 0.0f);
    gl.rotatef(view.yaw, 0.0f, 1.0f, 0.0f);
    gl.translatef(-fit.centre[0], -fit.centre[1], -fit.centre[2]);
    gl.disable(gl::kCullFace);
    gl.enable(gl::kDepthTest);
}

// Runs `draw`, which sends grid units, in the fit's model frame: a volume's
// samples where its world frame has them (mirrored or sheared as it says;
// GL maps the normals alike), the model-view matrix restored after. The
// blobs' grid units are the scene's, and their calls stay the fixed scene's.
template <GlOperations Gl, class Draw>
void drawInModelFrame(Gl& gl, const scene::SceneFit& fit, Draw&& draw) {
    if (fit.kind != scene::SceneKind::kVolume) {
        draw();
        return;
    }
    gl.pushMatrix();
    gl.multMatrixf(fit.model);
    draw();
    gl.popMatrix();
}

// Draws the x, y and z axes as lines from the scene's origin (white) to the
// fit's axis lengths along each axis (red, green, blue): for the blobs the
// grid's size.
template <GlOperations Gl>
void drawAxes(Gl& gl, const scene::SceneFit& fit) {
    gl.begin(gl::kLines);
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        float end[kAxisCount] = {0.0f, 0.0f, 0.0f};
        end[axis] = fit.axisLengths[axis];
        const float* endColour = scene::kAxisEndColours[axis];
        gl.color3f(scene::kAxisStartColour[0], scene::kAxisStartColour[1],
                   scene::kAxisStartColour[2]);
        gl.vertex3f(0.0f, 0.0f, 0.0f);
        gl.color3f(endColour[0], endColour[1], endColour[2]);
        gl.vertex3f(end[0], end[1], end[2]);
    }
    gl.end();
}

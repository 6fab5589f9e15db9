#pragma once

#include <concepts>
#include <cstdio>

#include "app/frame_timer.h"
#include "app/globals.h"
#include "app/overlay_status.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "field/metaball_field.h"
#include "render/arrays_pass.h"
#include "render/gl_ops.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "render/surface_pass.h"

// The animation clock's advance per frame while the animation runs; the sum
// is formed in double and stored as float.
inline constexpr double kAnimationStep = 0.2;
inline constexpr float kClearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};

inline void advanceAnimationClock() {
    if (settings.animationEnabled) {
        settings.animationTime = static_cast<float>(settings.animationTime + kAnimationStep);
    }
}

// The table that decides ambiguous faces under `rule`; null for the case
// table as it is.
inline const AmbiguousCaseTable* deciderFor(FaceRule rule) {
    return rule == FaceRule::kDecider ? &ambiguousCases : nullptr;
}

// The field of this frame: a volume's samples at the current iso value
// (rewritten only when it changed), or the blobs one clock step on.
inline void stepField() {
    if (volumeView.loaded) {
        volumeView.refreshGrid(sampleGrid);
        return;
    }
    advanceAnimationClock();
    updateMetaballField(sampleGrid, settings.animationTime, fieldRows);
}

// What the blobs' field step recorded of the rows; nothing for a volume.
inline const ReachedRows* reachedRows() {
    return volumeView.loaded ? nullptr : &fieldRows;
}

// A volume's scene follows its box; the blobs' the grid's size.
inline const float (&lightPositions())[scene::kLightCount][4] {
    if (volumeView.loaded) {
        return volumeView.box.lights;
    }
    static float scaled[scene::kLightCount][4];
    scene::scaleLights(scene::lightScaleFor(sampleGrid.nx), scaled);
    return scaled;
}

inline double farPlane() {
    return volumeView.loaded ? scene::kFarPlane * volumeView.box.size / scene::kReferenceGridSize
                             : scene::farPlaneFor(sampleGrid.nx);
}

inline const scene::VolumeBox* volumeBox() {
    return volumeView.loaded ? &volumeView.box : nullptr;
}

// The overlay, when shown, on backends that count the triangles they are
// sent (TriangleCountingGl): the count is this frame's surface.
template <GlOperations Gl>
void drawOverlayIfShown(Gl& gl) {
    overlayFrameRate.tick();
    if constexpr (requires { gl.trianglesSent(); }) {
        if (settings.overlayShown) {
            static std::string text;  // kept, so the frame does not allocate
            writeOverlayText({.volume = volumeView.loaded,
                              .iso = volumeView.isoValue(),
                              .triangles = gl.trianglesSent(),
                              .framesPerSecond = overlayFrameRate.perSecond(),
                              .lighting = settings.lightingEnabled,
                              .animation = settings.animationEnabled,
                              .decidedFaces = settings.faceRule == FaceRule::kDecider,
                              .smoothShading = settings.shading == Shading::kSmooth,
                              .vertexArrays = settings.drawPath == DrawPath::kArrays},
                             text);
            drawOverlay(gl, text);
        }
        gl.restartCount();
    }
}

template <GlOperations Gl>
void clearFrame(Gl& gl) {
    gl.clearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
    gl.clear(gl::kColorBufferBit | gl::kDepthBufferBit);
}

// Extracts, draws and (when requested) lists the surface: through `arrays`
// from the frame's mesh for DrawPath::kArrays or smooth shading, else cell by
// cell in immediate mode (also when `arrays` is null).
template <GlOperations Gl>
void drawSurfaceAsSet(Gl& gl, ArraysPass* arrays, FILE* out) {
    FILE* listing = settings.listingRequested ? out : nullptr;
    const bool fromMesh =
        settings.drawPath == DrawPath::kArrays || settings.shading == Shading::kSmooth;
    if (arrays != nullptr && fromMesh) {
        arrays->draw(gl, sampleGrid, settings.faceRule, settings.shading, cubeMarcher.usageCount,
                     listing, reachedRows());
    } else {
        drawSurface(gl, cubeMarcher, sampleGrid, listing != nullptr, out,
                    deciderFor(settings.faceRule), reachedRows());
    }
}

// One frame over the global objects, the same for every GL backend: the
// windowed run draws with OpenGl and presents by swapping buffers, the
// headless run draws with NoGl and presents nothing. Triangles are listed to
// `out` when the listing was requested, and the request is then cleared.
// `timer` (a FrameTimer, or NoFrameTimer) is told where each stage ends. The
// far plane and the lights follow the grid's size, or the volume's box.
// Needs the case table generated and sampleGrid allocated.
template <GlOperations Gl, std::invocable Present, class Timer = NoFrameTimer>
void renderFrame(Gl& gl, Present&& present, FILE* out, Timer&& timer = {},
                 ArraysPass* arrays = nullptr) {
    timer.startFrame();
    stepField();
    timer.endStage(Stage::kFieldStep);
    clearFrame(gl);
    setupLighting(gl, settings.lightingEnabled, lightPositions(),
                  settings.shading == Shading::kSmooth ? gl::kSmooth : gl::kFlat);
    setupCamera(gl, settings.cameraDistance, settings.cameraPitch, settings.cameraYaw, sampleGrid,
                farPlane(), volumeBox());
    timer.endStage(Stage::kDrawingAndSwap);
    drawSurfaceAsSet(gl, arrays, out);
    settings.listingRequested = false;
    timer.endStage(Stage::kSurfacePass);
    setupLighting(gl, false);
    drawAxes(gl, sampleGrid);
    drawOverlayIfShown(gl);
    present();
    timer.endStage(Stage::kDrawingAndSwap);
    timer.endFrame();
}

#pragma once

#include <concepts>
#include <cstdio>

#include "app/frame_timer.h"
#include "app/globals.h"
#include "app/settings.h"
#include "field/metaball_field.h"
#include "render/gl_ops.h"
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

template <GlOperations Gl>
void clearFrame(Gl& gl) {
    gl.clearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
    gl.clear(gl::kColorBufferBit | gl::kDepthBufferBit);
}

// One frame over the global objects, the same for every GL backend: the
// windowed run draws with OpenGl and presents by swapping buffers, the
// headless run draws with NoGl and presents nothing. Triangles are listed to
// `out` when the listing was requested, and the request is then cleared.
// `timer` (a FrameTimer, or NoFrameTimer) is told where each stage ends. The
// far plane follows the grid's size.
// Needs the case table generated and sampleGrid allocated.
template <GlOperations Gl, std::invocable Present, class Timer = NoFrameTimer>
void renderFrame(Gl& gl, Present&& present, FILE* out, Timer&& timer = {}) {
    timer.startFrame();
    advanceAnimationClock();
    updateMetaballField(sampleGrid, settings.animationTime);
    timer.endStage(Stage::kFieldStep);
    clearFrame(gl);
    setupLighting(gl, settings.lightingEnabled);
    setupCamera(gl, settings.cameraDistance, settings.cameraPitch, settings.cameraYaw, sampleGrid,
                scene::farPlaneFor(sampleGrid.nx));
    timer.endStage(Stage::kDrawingAndSwap);
    drawSurface(gl, cubeMarcher, sampleGrid, settings.listingRequested, out,
                deciderFor(settings.faceRule));
    settings.listingRequested = false;
    timer.endStage(Stage::kSurfacePass);
    setupLighting(gl, false);
    drawAxes(gl, sampleGrid);
    present();
    timer.endStage(Stage::kDrawingAndSwap);
    timer.endFrame();
}

#include "app/frame.h"

#include <string>
#include <type_traits>

#include "app/explorer.h"
#include "app/explorer_frame.h"
#include "app/globals.h"
#include "app/overlay_status.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "field/metaball_field.h"
#include "render/opengl.h"
#include "render/overlay.h"
#include "render/surface_pass.h"
#include "render/triangle_count.h"

namespace {

constexpr float kClearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};

void advanceAnimationClock() {
    if (settings.animationEnabled) {
        settings.animationTime = static_cast<float>(settings.animationTime + kAnimationStep);
    }
}

// The table that decides ambiguous faces under `rule`; null for the case
// table as it is.
const AmbiguousCaseTable* deciderFor(FaceRule rule) {
    return rule == FaceRule::kDecider ? &ambiguousCases : nullptr;
}

// The field of this frame: a volume's samples at the current iso value
// (rewritten only when it changed), or the blobs one clock step on.
void stepField() {
    if (volumeView.loaded) {
        volumeView.refreshGrid(sampleGrid);
        return;
    }
    advanceAnimationClock();
    updateMetaballField(sampleGrid, settings.animationTime, fieldRows);
}

// What the blobs' field step recorded of the rows; nothing for a volume.
const ReachedRows* reachedRows() {
    return volumeView.loaded ? nullptr : &fieldRows;
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

// Without a window (NoGl) nothing is drawn, so the frame only extracts the
// mesh, which counts and lists what drawing would and is the one the export
// takes: no per-cell pass whose triangles are thrown away, no GL arrays.
template <GlOperations Gl>
void drawSurfaceAsSet(Gl& gl, ArraysPass* arrays, FILE* out) {
    FILE* listing = settings.listingRequested ? out : nullptr;
    const bool fromMesh =
        settings.drawPath == DrawPath::kArrays || settings.shading == Shading::kSmooth;
    if (arrays != nullptr && std::is_same_v<Gl, NoGl>) {
        arrays->extract(sampleGrid, settings.faceRule, VertexNormals::kNone, cubeMarcher.usageCount,
                        listing, reachedRows());
    } else if (arrays != nullptr && fromMesh) {
        arrays->draw(gl, sampleGrid, settings.faceRule, settings.shading, cubeMarcher.usageCount,
                     listing, reachedRows());
    } else {
        drawSurface(gl, cubeMarcher, sampleGrid, listing != nullptr, out,
                    deciderFor(settings.faceRule), reachedRows());
    }
}

// The case explorer's frame: the scene's lights and camera around one cell;
// the field stands still and the usage statistics do not count it.
template <GlOperations Gl>
void renderExplorerFrame(Gl& gl, const std::function<void()>& present, FILE* out,
                         FrameTimer& timer) {
    timer.startFrame();
    clearFrame(gl);
    setupLighting(gl, settings.lightingEnabled, lightPositions());
    setupCamera(gl, settings.cameraDistance, settings.cameraPitch, settings.cameraYaw, sampleGrid,
                farPlane());
    drawExplorer(gl, out);
    settings.listingRequested = false;
    if constexpr (requires { gl.restartCount(); }) {
        gl.restartCount();
    }
    present();
    timer.endStage(Stage::kDrawingAndSwap);
    timer.endFrame();
}

}  // namespace

const float (&lightPositions())[scene::kLightCount][4] {
    if (volumeView.loaded) {
        return volumeView.box.lights;
    }
    static float scaled[scene::kLightCount][4];
    scene::scaleLights(scene::lightScaleFor(sampleGrid.nx), scaled);
    return scaled;
}

double farPlane() {
    return volumeView.loaded ? scene::kFarPlane * volumeView.box.size / scene::kReferenceGridSize
                             : scene::farPlaneFor(sampleGrid.nx);
}

const scene::VolumeBox* volumeBox() {
    return volumeView.loaded ? &volumeView.box : nullptr;
}

template <GlOperations Gl>
void renderFrame(Gl& gl, const std::function<void()>& present, FILE* out, FrameTimer& timer,
                 ArraysPass* arrays) {
    if (explorer.active) {
        renderExplorerFrame(gl, present, out, timer);
        return;
    }
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

template void renderFrame(TriangleCountingGl<OpenGl>&, const std::function<void()>&, FILE*,
                          FrameTimer&, ArraysPass*);
template void renderFrame(NoGl&, const std::function<void()>&, FILE*, FrameTimer&, ArraysPass*);

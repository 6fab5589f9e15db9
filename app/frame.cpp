#include "app/frame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <type_traits>

#include "app/explorer.h"
#include "app/explorer_frame.h"
#include "app/globals.h"
#include "app/overlay_status.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "field/metaball_field.h"
#include "render/mesh_pass.h"
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

// A volume's histogram as the overlay draws it: bar heights on a log scale
// (a scan's background outnumbers any tissue), the iso value marked.
const overlay::Histogram* isoHistogram() {
    if (!volumeView.loaded) {
        return nullptr;
    }
    static std::array<float, IsoHistogram::kBins> heights;
    static overlay::Histogram histogram{.heights = heights};
    const IsoHistogram& counts = volumeView.histogram();
    const double tallest = std::log1p(static_cast<double>(std::ranges::max(counts.counts)));
    for (int32_t bin = 0; bin < IsoHistogram::kBins; ++bin) {
        heights[bin] =
            tallest > 0.0
                ? static_cast<float>(std::log1p(static_cast<double>(counts.counts[bin])) / tallest)
                : 0.0f;
    }
    histogram.marker = counts.fractionOf(volumeView.isoValue());
    return &histogram;
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
                              .minimum = volumeView.volume.minimum,
                              .maximum = volumeView.volume.maximum,
                              .triangles = gl.trianglesSent(),
                              .framesPerSecond = overlayFrameRate.perSecond(),
                              .lighting = settings.lightingEnabled,
                              .animation = settings.animationEnabled,
                              .decidedFaces = settings.faceRule == FaceRule::kDecider,
                              .smoothShading = settings.shading == Shading::kSmooth,
                              .vertexArrays = settings.drawPath == DrawPath::kArrays},
                             text);
            drawOverlay(gl, text, isoHistogram());
        }
        gl.restartCount();
    }
}

template <GlOperations Gl>
void clearFrame(Gl& gl) {
    gl.clearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
    gl.clear(gl::kColorBufferBit | gl::kDepthBufferBit);
}

// The mesh is built in the samples' storage order; the listing keeps the
// per-cell pass's order (x outermost). The frame that lists runs that pass for
// it, drawing nothing, and takes its counts back: the mesh counted the frame.
void listInCellOrder(FILE* out) {
    const std::array<int32_t, kCaseCount> counted = std::to_array(cubeMarcher.usageCount);
    NoGl noGl;
    drawSurface(noGl, cubeMarcher, sampleGrid, true, out, deciderFor(settings.faceRule),
                reachedRows());
    std::ranges::copy(counted, cubeMarcher.usageCount);
}

// Smooth shading needs the mesh's shared vertices, so it draws from the mesh
// whatever the draw path. Without a window (NoGl) nothing is drawn, so the
// frame only brings the mesh up to date, which counts and lists what drawing
// would and is the one the export takes: no per-cell pass whose triangles
// are thrown away, no GL arrays.
template <GlOperations Gl>
void drawSurfaceAsSet(Gl& gl, MeshDrawing* drawing, FILE* out) {
    FILE* listing = settings.listingRequested ? out : nullptr;
    const bool fromMesh =
        settings.drawPath == DrawPath::kArrays || settings.shading == Shading::kSmooth;
    constexpr bool drawn = !std::is_same_v<Gl, NoGl>;
    if (drawing == nullptr || (drawn && !fromMesh)) {
        drawSurface(gl, cubeMarcher, sampleGrid, listing != nullptr, out,
                    deciderFor(settings.faceRule), reachedRows(), settings.outlinesShown);
        return;
    }
    FrameMesh& mesh = drawing->mesh;
    mesh.update(sampleGrid, currentMeshInputs(), cubeMarcher.usageCount, reachedRows());
    if (listing != nullptr && mesh.processed()) {
        listMeshTriangles(mesh.mesh(), listing);  // a processed mesh has no cell order
    } else if (listing != nullptr) {
        listInCellOrder(listing);
    }
    if constexpr (drawn) {
        drawing->pass.draw(gl, mesh.mesh(), settings.outlinesShown ? &mesh.edges() : nullptr,
                           mesh.shading(), mesh.stamp());
    }
}

// The case explorer's frame: the scene's lights and camera around one cell;
// the field stands still and the usage statistics do not count it.
template <GlOperations Gl>
void renderExplorerFrame(Gl& gl, const std::function<void()>& present, FILE* out,
                         FrameTimer& timer) {
    timer.startFrame();
    clearFrame(gl);
    setupLighting(gl, settings.lightingEnabled, sceneFit.lights);
    setupCamera(gl, settings.view, sceneFit);
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

MeshInputs currentMeshInputs() {
    return {.animationTime = settings.animationTime,
            .iso = volumeView.loaded ? volumeView.isoValue() : 0.0f,
            .faceRule = settings.faceRule,
            .shading = settings.shading};
}

template <GlOperations Gl>
void renderFrame(Gl& gl, const std::function<void()>& present, FILE* out, FrameTimer& timer,
                 MeshDrawing* drawing) {
    if (explorer.active) {
        renderExplorerFrame(gl, present, out, timer);
        return;
    }
    timer.startFrame();
    stepField();
    timer.endStage(Stage::kFieldStep);
    clearFrame(gl);
    setupLighting(gl, settings.lightingEnabled, sceneFit.lights,
                  settings.shading == Shading::kSmooth ? gl::kSmooth : gl::kFlat);
    setupCamera(gl, settings.view, sceneFit);
    timer.endStage(Stage::kDrawingAndSwap);
    drawInModelFrame(gl, sceneFit, [&] { drawSurfaceAsSet(gl, drawing, out); });
    settings.listingRequested = false;
    timer.endStage(Stage::kSurfacePass);
    setupLighting(gl, false);
    drawAxes(gl, sceneFit);
    drawOverlayIfShown(gl);
    present();
    timer.endStage(Stage::kDrawingAndSwap);
    timer.endFrame();
}

template void renderFrame(TriangleCountingGl<OpenGl>&, const std::function<void()>&, FILE*,
                          FrameTimer&, MeshDrawing*);
template void renderFrame(NoGl&, const std::function<void()>&, FILE*, FrameTimer&, MeshDrawing*);

#include "app/run.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <system_error>

#include "app/explorer.h"
#include "app/explorer_frame.h"
#include "app/frame_loop.h"
#include "app/frame_timer.h"
#include "app/gl_context.h"
#include "app/globals.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "app/window_procedure.h"
#include "extract/mesh_weld.h"
#include "extract/surface_mesh.h"
#include "field/metaball_field.h"
#include "output/mesh_export.h"
#include "output/printable_text.h"
#include "output/safe_file.h"
#include "output/screenshot.h"
#include "platform/window_system.h"
#include "process/mesh_measure.h"
#include "process/print_mesh.h"
#include "render/opengl.h"
#include "render/triangle_count.h"

namespace {

constexpr const char* kWindowClassName = "MarchingCubes";
constexpr const char* kWindowTitle = "Marching cubes";
constexpr int32_t kWindowOuterWidth = 800;
constexpr int32_t kWindowOuterHeight = 600;

// The window system's reason may quote the DISPLAY variable.
void reportFailure(FILE* err, const char* what, const char* why) {
    std::fprintf(err,
                 "marching-cubes: %s (%s); run with --headless --frames N, or under a "
                 "virtual display such as Xvfb (xvfb-run)\n",
                 what, printableText(why).c_str());
}

void printKeys(FILE* err) {
    if (volumeView.loaded) {
        std::fprintf(
            err,
            "Keys: arrows or left drag orbit, PageUp/PageDown or wheel zoom, right drag "
            "pans, R resets the view, X/Y/Z look along an axis, -/+ iso value, I reset "
            "iso, O overlay, M outlines, L lighting, F ambiguous faces, S shading, P list one "
            "frame, E case explorer, Escape quits\n");
        return;
    }
    std::fprintf(err,
                 "Keys: arrows or left drag orbit, PageUp/PageDown or wheel zoom, right drag "
                 "pans, R resets the view, X/Y/Z look along an axis, A animation, L lighting, "
                 "F ambiguous faces, S shading, O overlay, M outlines, P list one frame, Q/W time, "
                 "E case explorer, Escape quits\n");
}

// The scene and the view that starts on it.
void fitScene(const scene::SceneFit& fit) {
    sceneFit = fit;
    settings.view = startViewOf(fit);
}

// Reads the volume before anything is shown or listed, so a bad file costs
// one line on `err` and nothing else.
bool loadRequestedVolume(const Options& options, FILE* err) {
    Volume volume;
    std::string error;
    if (!loadVolume(options.volume, volume, error, memoryLimitBytes())) {
        // Escaped whole: the path, and Teem's words quoting it, are the user's bytes.
        std::fprintf(err, "marching-cubes: %s\n", printableText(error).c_str());
        return false;
    }
    if (!volume.note.empty()) {
        std::fprintf(err, "marching-cubes: %s: %s\n", printableText(options.volume.path).c_str(),
                     volume.note.c_str());
    }
    if (options.iso && !(*options.iso >= volume.minimum && *options.iso <= volume.maximum)) {
        std::fprintf(err,
                     "marching-cubes: warning: --iso %g lies outside the data's range, %g to %g: "
                     "the surface is empty\n",
                     *options.iso, volume.minimum, volume.maximum);
    }
    volumeView.show(std::move(volume), options.iso, err);
    settings.overlayShown = true;
    settings.outlinesShown = false;
    return true;
}

// The volume's samples at the start iso value, and a view of its whole box.
void prepareVolumeGrid() {
    volumeView.refreshGrid(sampleGrid);
    const Volume& volume = volumeView.volume;
    fitScene(scene::fitVolume({volume.sizes[0], volume.sizes[1], volume.sizes[2]}, volume.toWorld));
}

// Generates and lists the case table, then gives the grid its storage. The
// samples start as the field's background, so a run that ends before its
// first frame exports an empty surface instead of reading unset memory.
bool prepareScene(const Options& options, FILE* out, FILE* err) {
    const int32_t gridSize = options.gridSize;
    if (options.quiet) {
        cubeMarcher.prepareCaseTable();
    } else {
        cubeMarcher.initialiseCubeMarcher(out);
        std::fflush(out);
    }
    ambiguousCases.generate(cubeMarcher);
    settings.faceRule = options.faceRule;
    // A volume's mesh is large and mostly still: it opens drawn from the mesh.
    // So is a processed one, which only the mesh path shows.
    settings.drawPath = options.drawPath.value_or(
        volumeView.loaded || options.processing.any() ? DrawPath::kArrays : DrawPath::kImmediate);
    settings.shading = options.shading;
    if (options.exploreCase) {
        explorer.showCase(*options.exploreCase);
        explorer.active = true;
    }
    if (volumeView.loaded) {
        prepareVolumeGrid();
        return true;
    }
    if (!sampleGrid.allocate(gridSize, gridSize, gridSize)) {
        std::fprintf(err, "marching-cubes: cannot allocate the %d^3 sample grid\n", gridSize);
        return false;
    }
    std::fill_n(sampleGrid.data, sampleGrid.sampleCount(), kFieldBackground);
    fitScene(scene::fitBlobGrid(gridSize));
    return true;
}

void printStatistics(const Options& options, FILE* out) {
    if (options.quiet) {
        return;
    }
    cubeMarcher.printUsageStats(out);
    std::fflush(out);
}

// A failed write to `out` (a full disk, a closed descriptor) fails the run,
// though every block was still attempted.
int confirmOutputWritten(FILE* out, FILE* err, int exitCode) {
    errno = 0;
    const bool flushed = std::fflush(out) == 0;
    if (flushed && !std::ferror(out)) {
        return exitCode;
    }
    // The reason is known only when this last flush failed; the stream does
    // not keep the errno of an earlier failed write.
    std::fprintf(err, "marching-cubes: cannot write the standard output%s%s\n",
                 errno != 0 ? ": " : "", errno != 0 ? std::strerror(errno) : "");
    return kExitFailure;
}

void reportUnwritten(const std::string& path, const std::string& why, FILE* err) {
    std::fprintf(err, "marching-cubes: cannot write %s: %s\n", printableText(path).c_str(),
                 why.c_str());
}

bool saveFile(const std::string& path, const std::function<bool(FILE*)>& write, FILE* err) {
    std::string error;
    if (!writeFileSafely(path, write, error)) {
        std::fprintf(err, "marching-cubes: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool saveScreenshot(const std::string& path, const FrameGrabber& grabber, FILE* err) {
    const ViewportSize missed = grabber.missedFrame();
    if (!grabber.hasFrame() && missed.width != 0) {
        reportUnwritten(path,
                        "not enough memory to read back the last frame (" +
                            std::to_string(missed.width) + "x" + std::to_string(missed.height) +
                            ")",
                        err);
        return false;
    }
    if (!grabber.hasFrame()) {
        reportUnwritten(path, "no frame was drawn", err);
        return false;
    }
    return saveFile(
        path, [&grabber](FILE* file) { return writePng(grabber.image(), file); }, err);
}

// A volume's mesh is written in its file's world frame, or on request in
// grid steps times the spacings of its file.
void placeVolumeMesh(SurfaceMesh& mesh, ExportSpace space) {
    const Volume& volume = volumeView.volume;
    mapToWorld(
        mesh, space == ExportSpace::kIndex ? IndexToWorld::scaled(volume.spacing) : volume.toWorld);
}

// The unit of an exported mesh: a volume's world frame and spacings are in
// its file's unit, when the file names one; the blobs are in grid units.
std::string exportUnit() {
    if (!volumeView.loaded) {
        return "grid units";
    }
    const std::string& unit = volumeView.volume.unit;
    return unit.empty() ? "units" : printableText(unit);
}

// The sample grid still holds the last frame's field: `frames` hands over the
// mesh its last frame built from it, processed as the options ask, or builds
// it now on the run's threads, without counting its cells in the usage
// statistics. Null when the last frame may not have finished (it failed, or
// the display was lost in it): the surface is then built afresh on this
// thread alone, which needs no thread started. Either way the export writes
// what the window shows. It is welded (see weldFor; a processed mesh was,
// before its steps), placed in the file's world frame or `space`, and
// written while it is measured (on `threads` when there are frames). Taken
// while the file is written, so that running out of memory for the mesh
// fails the file like any other write. A written file is summed up in one line on `err`.
bool saveMesh(const MeshExport& meshExport, ExportSpace space, const MeshProcessing& processing,
              int32_t threads, FrameMesh* frames, FILE* err) {
    MeshMeasure measure;
    const bool saved = saveFile(
        meshExport.path,
        [&](FILE* file) {
            SurfaceMesh mesh = frames != nullptr
                                   ? frames->takeMesh(sampleGrid, currentMeshInputs())
                                   : FrameMesh(cubeMarcher, ambiguousCases, 1, processing)
                                         .takeMesh(sampleGrid, currentMeshInputs());
            if (!processing.any()) {
                weldCoincidentPositions(mesh, weldFor(settings.faceRule));
            }
            if (volumeView.loaded) {
                placeVolumeMesh(mesh, space);
            }
            bool written = false;
            measure = measureMesh(mesh, frames != nullptr ? threads : 1,
                                  [&] { written = writeMesh(mesh, meshExport.format, file); });
            return written;
        },
        err);
    if (saved) {
        std::fprintf(err, "Exported %s: %s\n", printableText(meshExport.path).c_str(),
                     describeMeasure(measure, exportUnit()).c_str());
    }
    return saved;
}

// After the quit sequence: the files the options ask for, then the timing
// block. A file that could not be written turns the exit code into
// kExitFailure; the other file is still attempted. `frames` as saveMesh.
int finishRun(int32_t quitCode, const Options& options, const FrameGrabber* grabber,
              FrameMesh* frames, const FrameTimer& timer, FILE* err) {
    bool saved = true;
    if (options.screenshotPath && grabber != nullptr) {
        saved = saveScreenshot(*options.screenshotPath, *grabber, err) && saved;
    }
    if (options.meshExport) {
        saved = saveMesh(*options.meshExport, options.exportSpace.value_or(ExportSpace::kWorld),
                         options.processing, options.threads, frames, err) &&
                saved;
    }
    if (options.timing) {
        timer.printReport(err);
    }
    return saved ? quitCode : kExitFailure;
}

// A frame that runs out of memory, or cannot start the threads that share
// its mesh, ends the run as a quit does, though failed: the statistics and
// the files still follow. The export is sound: it is made afresh from the
// grid, whose field step allocates nothing and so always completes.
int32_t runFramesUntilFailure(const std::function<int32_t()>& frames, std::string& failure) {
    try {
        return frames();
    } catch (const std::bad_alloc&) {
        failure = "not enough memory for the frame";
    } catch (const std::system_error& error) {
        failure = std::string("cannot start a thread for the frame: ") + error.what();
    }
    return kExitFailure;
}

// After the statistics, so they end stdout as in any other run.
void reportFrameFailure(const std::string& failure, FILE* err) {
    if (!failure.empty()) {
        std::fprintf(err, "marching-cubes: %s\n", failure.c_str());
    }
}

int runHeadless(const Options& options, FILE* out, FILE* err) {
    if (!prepareScene(options, out, err)) {
        return kExitFailure;
    }
    NoGl gl;
    FrameTimer timer;
    MeshDrawing drawing{FrameMesh(cubeMarcher, ambiguousCases, options.threads, options.processing),
                        {}};
    std::string failure;
    const int32_t quitCode = runFramesUntilFailure(
        [&] {
            return runFrames(
                gl, [] {}, nullptr, options, out, timer, &drawing);
        },
        failure);
    printStatistics(options, out);
    reportFrameFailure(failure, err);
    // A frame that failed may have left its mesh unfinished.
    return finishRun(quitCode, options, nullptr, failure.empty() ? &drawing.mesh : nullptr, timer,
                     err);
}

// Gives up on a window whose start-up failed: no statistics, nothing ran.
int abandonWindow(WindowHandle window, DeviceContextHandle deviceContext,
                  GlContextHandle glContext) {
    detachGlContext(window, deviceContext, glContext);
    destroyWindow(window);
    return kExitFailure;
}

// What the quit sequence of the windowed run in progress needs, should the
// display be lost in the middle of it.
struct WindowedRun {
    const Options& options;
    const FrameGrabber& grabber;
    const FrameTimer& timer;
    FILE* out;
    FILE* err;
    bool statisticsPrinted = false;
};
WindowedRun* windowedRun = nullptr;

// The window system is gone, and with it the window and the GL context: the
// rest of the quit sequence runs without them, and the run fails.
[[noreturn]] void finishWithoutDisplay() {
    WindowedRun& run = *windowedRun;
    std::fprintf(run.err, "marching-cubes: lost the connection to the display\n");
    if (!run.statisticsPrinted) {
        printStatistics(run.options, run.out);
    }
    const int exitCode =
        finishRun(kExitFailure, run.options, &run.grabber, nullptr, run.timer, run.err);
    std::exit(confirmOutputWritten(run.out, run.err, exitCode));
}

int runWindowed(const Options& options, FILE* out, FILE* err) {
    if (!registerWindowClass({.name = kWindowClassName, .procedure = windowProcedure})) {
        reportFailure(err, "cannot register the window class", windowSystemError());
        return kExitFailure;
    }
    WindowHandle window =
        createWindow(kWindowClassName, kWindowTitle, kWindowOuterWidth, kWindowOuterHeight);
    if (window == nullptr) {
        reportFailure(err, "cannot open the window", windowSystemError());
        return kExitFailure;
    }
    showWindow(window);
    DeviceContextHandle deviceContext = nullptr;
    GlContextHandle glContext = nullptr;
    if (!attachGlContext(window, deviceContext, glContext)) {
        reportFailure(err, "cannot create the OpenGL context", windowSystemError());
        return abandonWindow(window, deviceContext, glContext);
    }
    printKeys(err);
    if (!prepareScene(options, out, err)) {
        return abandonWindow(window, deviceContext, glContext);
    }
    TriangleCountingGl<OpenGl> gl;  // the overlay shows the triangle count
    FrameGrabber grabber;
    FrameTimer timer;
    WindowedRun run{options, grabber, timer, out, err};
    windowedRun = &run;
    setConnectionLostHandler(finishWithoutDisplay);
    // The user may quit at any frame, so with --screenshot every frame is
    // read back before its swap.
    const bool grabFrames = options.screenshotPath.has_value();
    const auto present = [&] {
        if (grabFrames) {
            const ViewportSize size = currentViewportSize();
            grabber.grab(gl, size.width, size.height);
        }
        swapBuffers(deviceContext);
    };
    MeshDrawing drawing{FrameMesh(cubeMarcher, ambiguousCases, options.threads, options.processing),
                        {}};
    std::string failure;
    const int32_t quitCode = runFramesUntilFailure(
        [&] { return runFrames(gl, present, window, options, out, timer, &drawing); }, failure);
    drawing.pass.release(gl);  // while its context is current
    detachGlContext(window, deviceContext, glContext);
    printStatistics(options, out);
    reportFrameFailure(failure, err);
    run.statisticsPrinted = true;
    destroyWindow(window);
    setConnectionLostHandler(nullptr);
    windowedRun = nullptr;
    return finishRun(quitCode, options, &grabber, failure.empty() ? &drawing.mesh : nullptr, timer,
                     err);
}

int runCommand(std::span<const char* const> arguments, FILE* out, FILE* err) {
    Options options;
    std::string error;
    if (!parseOptions(arguments, options, error)) {
        std::fprintf(err, "marching-cubes: %s\n", error.c_str());
        printUsage(err);
        return kExitUsage;
    }
    if (options.helpRequested) {
        printUsage(out);
        return kExitSuccess;
    }
    if (options.versionRequested) {
        printVersion(out);
        return kExitSuccess;
    }
    if (options.exploreCase && options.headless) {
        printExploredCase(*options.exploreCase, options.faceRule, out);
        return kExitSuccess;
    }
    if (!options.volume.path.empty() && !loadRequestedVolume(options, err)) {
        return kExitFailure;
    }
    return options.headless ? runHeadless(options, out, err) : runWindowed(options, out, err);
}

}  // namespace

int runProgram(std::span<const char* const> arguments, FILE* out, FILE* err) {
    return confirmOutputWritten(out, err, runCommand(arguments, out, err));
}

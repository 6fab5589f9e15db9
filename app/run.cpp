#include "app/run.h"

#include <string>

#include "app/frame_loop.h"
#include "app/gl_context.h"
#include "app/globals.h"
#include "app/options.h"
#include "app/window_procedure.h"
#include "platform/window_system.h"
#include "render/opengl.h"

namespace {

constexpr const char* kWindowClassName = "MarchingCubes";
constexpr const char* kWindowTitle = "Marching cubes";
constexpr int32_t kWindowOuterWidth = 800;
constexpr int32_t kWindowOuterHeight = 600;

void reportFailure(FILE* err, const char* what, const char* why) {
    std::fprintf(err,
                 "marching-cubes: %s (%s); run with --headless --frames N, or under a "
                 "virtual display such as Xvfb (xvfb-run)\n",
                 what, why);
}

void printKeys(FILE* err) {
    std::fprintf(err,
                 "Keys: arrows orbit, PageUp/PageDown zoom, A animation, L lighting, "
                 "P list one frame, Q/W time, Escape quits\n");
}

// Generates and lists the case table, then gives the grid its storage.
bool prepareScene(FILE* out, FILE* err) {
    cubeMarcher.initialiseCubeMarcher(out);
    std::fflush(out);
    if (!sampleGrid.allocate(kGridSize, kGridSize, kGridSize)) {
        std::fprintf(err, "marching-cubes: cannot allocate the %d^3 sample grid\n", kGridSize);
        return false;
    }
    return true;
}

void printStatistics(FILE* out) {
    cubeMarcher.printUsageStats(out);
    std::fflush(out);
}

int runHeadless(const Options& options, FILE* out, FILE* err) {
    if (!prepareScene(out, err)) {
        return kExitFailure;
    }
    NoGl gl;
    const int32_t exitCode = runFrames(
        gl, [] {}, nullptr, options, out);
    printStatistics(out);
    return exitCode;
}

// Gives up on a window whose start-up failed: no statistics, nothing ran.
int abandonWindow(WindowHandle window, DeviceContextHandle deviceContext,
                  GlContextHandle glContext) {
    detachGlContext(window, deviceContext, glContext);
    destroyWindow(window);
    return kExitFailure;
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
    if (!prepareScene(out, err)) {
        return abandonWindow(window, deviceContext, glContext);
    }
    OpenGl gl;
    const int32_t exitCode = runFrames(
        gl, [deviceContext] { swapBuffers(deviceContext); }, window, options, out);
    detachGlContext(window, deviceContext, glContext);
    printStatistics(out);
    destroyWindow(window);
    return exitCode;
}

}  // namespace

int runProgram(std::span<const char* const> arguments, FILE* out, FILE* err) {
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
    return options.headless ? runHeadless(options, out, err) : runWindowed(options, out, err);
}

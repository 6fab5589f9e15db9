#include "fake_platform.h"

#include "app/window_procedure.h"

namespace fake_platform {

State& state() {
    static State current;
    return current;
}

void reset() {
    state() = State{};
}

int32_t press(WParam virtualKey, int times) {
    int32_t result = 0;
    for (int i = 0; i < times; ++i) {
        result = windowProcedure(kWindow, msg::kKeyDown, virtualKey, key_flags::kSingleRepeat);
    }
    return result;
}

}  // namespace fake_platform

namespace {

using fake_platform::state;

std::string nameOf(const void* handle) {
    if (handle == nullptr) {
        return "null";
    }
    if (handle == fake_platform::kDeviceContext) {
        return "dc";
    }
    return handle == fake_platform::kGlContext ? "gl" : "window";
}

// Records the call; false when the test asked this operation to fail.
bool record(const std::string& name, const std::string& arguments) {
    state().calls.push_back(name + "(" + arguments + ")");
    return state().failingCall != name;
}

}  // namespace

int32_t defaultWindowProcedure(WindowHandle window, MessageCode code, WParam wParam,
                               LParam lParam) {
    record("defaultWindowProcedure", nameOf(window) + ", " + std::to_string(code) + ", " +
                                         std::to_string(wParam) + ", " + std::to_string(lParam));
    return fake_platform::kDefaultResult;
}

void postQuitMessage(int32_t exitCode) {
    record("postQuitMessage", std::to_string(exitCode));
}

DeviceContextHandle getDeviceContext(WindowHandle window) {
    return record("getDeviceContext", nameOf(window)) ? fake_platform::kDeviceContext : nullptr;
}

void releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext) {
    record("releaseDeviceContext", nameOf(window) + ", " + nameOf(deviceContext));
}

int32_t choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    const std::string arguments =
        nameOf(deviceContext) + (request.doubleBuffered ? ", double" : ", single") +
        (request.rgba ? ", rgba" : ", index") + ", colour " + std::to_string(request.colourBits) +
        ", depth " + std::to_string(request.depthBits);
    return record("choosePixelFormat", arguments) ? kWindowPixelFormat : 0;
}

bool setPixelFormat(DeviceContextHandle deviceContext, int32_t format, const PixelFormatRequest&) {
    return record("setPixelFormat", nameOf(deviceContext) + ", " + std::to_string(format));
}

GlContextHandle createGlContext(DeviceContextHandle deviceContext) {
    return record("createGlContext", nameOf(deviceContext)) ? fake_platform::kGlContext : nullptr;
}

bool makeCurrent(DeviceContextHandle deviceContext, GlContextHandle glContext) {
    return record("makeCurrent", nameOf(deviceContext) + ", " + nameOf(glContext));
}

void deleteGlContext(GlContextHandle glContext) {
    record("deleteGlContext", nameOf(glContext));
}

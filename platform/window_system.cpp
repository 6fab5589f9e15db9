#include "platform/window_system.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/key_map.h"
#include "platform/message_queue.h"
#include "platform/x11_connection.h"

struct DeviceContext {
    Window* window = nullptr;
};

struct GlContext {
    Window* window = nullptr;
    bool handedOut = false;
    bool deleted = false;
};

struct Window {
    GLFWwindow* glfw = nullptr;
    WindowProcedure procedure = nullptr;
    int32_t outerWidth = 0;
    int32_t outerHeight = 0;
    bool pixelFormatSet = false;
    PixelFormatRequest surface;  // what the window was created with
    WParam buttonsDown = 0;      // mk:: flags
    LParam pointer = 0;          // the last position, as pointLParam
    DeviceContext deviceContext;
    GlContext glContext;
};

namespace {

// What a window surface is created with: 24 depth bits, so that a deep
// scene shows no bands where surfaces lie close behind each other, or 16
// where the display has no deeper buffer.
constexpr PixelFormatRequest kWindowSurface{
    .doubleBuffered = true, .rgba = true, .colourBits = 24, .depthBits = 24};
constexpr int32_t kFallbackDepthBits = 16;
constexpr int kBitsPerChannel = kWindowSurface.colourBits / 3;
// The fixed-function pipeline is all we draw with; 1.x gives a compatibility context.
constexpr int kGlMajorVersion = 1;
constexpr int kGlMinorVersion = 1;

struct RegisteredClass {
    std::string name;
    WindowProcedure procedure;
};

struct WindowSystem {
    bool open = false;
    ConnectionLostHandler connectionLost = nullptr;
    std::string lastError;
    std::vector<RegisteredClass> classes;
    std::vector<std::unique_ptr<Window>> windows;
};

WindowSystem& windowSystem() {
    static WindowSystem state;
    return state;
}

void fail(std::string description) {
    windowSystem().lastError = std::move(description);
}

void recordGlfwError(int, const char* description) {
    fail(description);
}

const RegisteredClass* findClass(const char* name) {
    auto& classes = windowSystem().classes;
    auto found = std::find_if(classes.begin(), classes.end(),
                              [name](const RegisteredClass& c) { return c.name == name; });
    return found == classes.end() ? nullptr : &*found;
}

Window* windowOf(GLFWwindow* glfw) {
    return static_cast<Window*>(glfwGetWindowUserPointer(glfw));
}

void onCloseRequest(GLFWwindow* glfw) {
    // The window procedure decides whether the window goes; GLFW must not.
    glfwSetWindowShouldClose(glfw, GLFW_FALSE);
    message_queue::post({.window = windowOf(glfw), .code = msg::kClose});
}

void onKey(GLFWwindow* glfw, int key, int, int action, int) {
    const WParam virtualKey = virtualKeyOf(key);
    if (virtualKey == 0) {
        return;
    }
    const MessageCode code = action == GLFW_RELEASE ? msg::kKeyUp : msg::kKeyDown;
    message_queue::post({.window = windowOf(glfw),
                         .code = code,
                         .wParam = virtualKey,
                         .lParam = keyFlagsOf(action)});
}

struct MouseButton {
    int glfwButton;
    WParam flag;
    MessageCode down;
    MessageCode up;
};
constexpr MouseButton kMouseButtons[] = {
    {GLFW_MOUSE_BUTTON_LEFT, mk::kLButton, msg::kLButtonDown, msg::kLButtonUp},
    {GLFW_MOUSE_BUTTON_RIGHT, mk::kRButton, msg::kRButtonDown, msg::kRButtonUp},
    {GLFW_MOUSE_BUTTON_MIDDLE, mk::kMButton, msg::kMButtonDown, msg::kMButtonUp},
};

void onMouseButton(GLFWwindow* glfw, int button, int action, int) {
    Window& window = *windowOf(glfw);
    for (const MouseButton& known : kMouseButtons) {
        if (known.glfwButton != button) {
            continue;
        }
        const bool pressed = action == GLFW_PRESS;
        window.buttonsDown =
            pressed ? window.buttonsDown | known.flag : window.buttonsDown & ~known.flag;
        message_queue::post({.window = &window,
                             .code = pressed ? known.down : known.up,
                             .wParam = window.buttonsDown,
                             .lParam = window.pointer});
    }
}

void onCursorMove(GLFWwindow* glfw, double x, double y) {
    Window& window = *windowOf(glfw);
    window.pointer =
        pointLParam(static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y)));
    message_queue::post({.window = &window,
                         .code = msg::kMouseMove,
                         .wParam = window.buttonsDown,
                         .lParam = window.pointer});
}

// GLFW reports the wheel in notches, away from the user positive.
void onScroll(GLFWwindow* glfw, double, double notches) {
    Window& window = *windowOf(glfw);
    const auto delta = static_cast<int32_t>(std::lround(notches * kWheelDelta));
    message_queue::post({.window = &window,
                         .code = msg::kMouseWheel,
                         .wParam = wheelWParam(delta, window.buttonsDown),
                         .lParam = window.pointer});
}

void followFramebufferSize(int width, int height) {
    glViewport(0, 0, width, height);
}

void onFramebufferResize(GLFWwindow* glfw, int width, int height) {
    if (glfwGetCurrentContext() == glfw) {
        followFramebufferSize(width, height);
    }
}

void onConnectionLost() {
    if (windowSystem().connectionLost != nullptr) {
        windowSystem().connectionLost();
    }
}

bool openWindowSystem() {
    WindowSystem& state = windowSystem();
    if (state.open) {
        return true;
    }
    glfwSetErrorCallback(recordGlfwError);
    state.open = glfwInit() == GLFW_TRUE;
    if (state.open) {
        watchX11Connection(onConnectionLost);
    }
    return state.open;
}

void closeWindowSystem() {
    glfwTerminate();
    windowSystem().open = false;
}

// The window class's name is also the X window's WM_CLASS, by which window
// managers and session tools know the program.
void requestWindowSurface(const char* className, const PixelFormatRequest& surface) {
    glfwDefaultWindowHints();
    glfwWindowHintString(GLFW_X11_CLASS_NAME, className);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, className);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_DOUBLEBUFFER, surface.doubleBuffered ? GLFW_TRUE : GLFW_FALSE);
    glfwWindowHint(GLFW_RED_BITS, kBitsPerChannel);
    glfwWindowHint(GLFW_GREEN_BITS, kBitsPerChannel);
    glfwWindowHint(GLFW_BLUE_BITS, kBitsPerChannel);
    glfwWindowHint(GLFW_ALPHA_BITS, 0);
    glfwWindowHint(GLFW_DEPTH_BITS, surface.depthBits);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, kGlMajorVersion);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, kGlMinorVersion);
}

void listenTo(Window& window) {
    glfwSetWindowUserPointer(window.glfw, &window);
    glfwSetWindowCloseCallback(window.glfw, onCloseRequest);
    glfwSetKeyCallback(window.glfw, onKey);
    glfwSetMouseButtonCallback(window.glfw, onMouseButton);
    glfwSetCursorPosCallback(window.glfw, onCursorMove);
    glfwSetScrollCallback(window.glfw, onScroll);
    glfwSetFramebufferSizeCallback(window.glfw, onFramebufferResize);
}

// The window manager reports its decorations only once the window is mapped.
void fitOuterSize(Window& window) {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    glfwGetWindowFrameSize(window.glfw, &left, &top, &right, &bottom);
    const int clientWidth = window.outerWidth - left - right;
    const int clientHeight = window.outerHeight - top - bottom;
    if ((left | top | right | bottom) != 0 && clientWidth > 0 && clientHeight > 0) {
        glfwSetWindowSize(window.glfw, clientWidth, clientHeight);
    }
}

bool satisfies(const PixelFormatRequest& surface, const PixelFormatRequest& request) {
    return surface.doubleBuffered == request.doubleBuffered && surface.rgba == request.rgba &&
           surface.colourBits >= request.colourBits && surface.depthBits >= request.depthBits;
}

}  // namespace

bool registerWindowClass(const WindowClass& windowClass) {
    if (windowClass.name == nullptr || windowClass.procedure == nullptr) {
        fail("a window class needs a name and a window procedure");
        return false;
    }
    if (findClass(windowClass.name) != nullptr) {
        fail(std::string("window class \"") + windowClass.name + "\" is already registered");
        return false;
    }
    windowSystem().classes.push_back({windowClass.name, windowClass.procedure});
    return true;
}

WindowHandle createWindow(const char* className, const char* title, int32_t outerWidth,
                          int32_t outerHeight) {
    const RegisteredClass* windowClass = findClass(className);
    if (windowClass == nullptr) {
        fail(std::string("no window class named \"") + className + "\"");
        return nullptr;
    }
    if (!openWindowSystem()) {
        return nullptr;
    }
    auto window = std::make_unique<Window>();
    window->procedure = windowClass->procedure;
    window->outerWidth = outerWidth;
    window->outerHeight = outerHeight;
    window->deviceContext.window = window.get();
    window->glContext.window = window.get();
    for (const int32_t depthBits : {kWindowSurface.depthBits, kFallbackDepthBits}) {
        window->surface = kWindowSurface;
        window->surface.depthBits = depthBits;
        requestWindowSurface(windowClass->name.c_str(), window->surface);
        window->glfw = glfwCreateWindow(outerWidth, outerHeight, title, nullptr, nullptr);
        if (window->glfw != nullptr) {
            break;
        }
    }
    if (window->glfw == nullptr) {
        if (windowSystem().windows.empty()) {
            closeWindowSystem();
        }
        return nullptr;
    }
    listenTo(*window);
    windowSystem().windows.push_back(std::move(window));
    return windowSystem().windows.back().get();
}

void showWindow(WindowHandle window) {
    glfwShowWindow(window->glfw);
    fitOuterSize(*window);
}

void destroyWindow(WindowHandle window) {
    sendMessage(window, msg::kDestroy, 0, 0);
    message_queue::dropMessagesFor(window);
    glfwDestroyWindow(window->glfw);
    auto& windows = windowSystem().windows;
    std::erase_if(windows, [window](const auto& owned) { return owned.get() == window; });
    if (windows.empty()) {
        closeWindowSystem();
    }
}

bool peekMessage(Message& message) {
    if (windowSystem().open) {
        glfwPollEvents();
    }
    return message_queue::take(message);
}

void translateMessage(const Message& message) {
    if (message.code != msg::kKeyDown || message.window == nullptr) {
        return;
    }
    GLFWwindow* glfw = message.window->glfw;
    const bool shiftHeld = glfwGetKey(glfw, GLFW_KEY_LEFT_SHIFT) == GLFW_PRESS ||
                           glfwGetKey(glfw, GLFW_KEY_RIGHT_SHIFT) == GLFW_PRESS;
    const WParam character = characterOf(message.wParam, shiftHeld);
    if (character != 0) {
        message_queue::post({.window = message.window,
                             .code = msg::kChar,
                             .wParam = character,
                             .lParam = message.lParam});
    }
}

int32_t dispatchMessage(const Message& message) {
    if (message.window == nullptr) {
        return 0;
    }
    return sendMessage(message.window, message.code, message.wParam, message.lParam);
}

int32_t sendMessage(WindowHandle window, MessageCode code, WParam wParam, LParam lParam) {
    return window->procedure(window, code, wParam, lParam);
}

int32_t defaultWindowProcedure(WindowHandle, MessageCode, WParam, LParam) {
    return 0;
}

void postQuitMessage(int32_t exitCode) {
    message_queue::post({.code = msg::kQuit, .wParam = static_cast<WParam>(exitCode)});
}

void postMessage(const Message& message) {
    message_queue::post(message);
}

DeviceContextHandle getDeviceContext(WindowHandle window) {
    return window == nullptr ? nullptr : &window->deviceContext;
}

void releaseDeviceContext(WindowHandle, DeviceContextHandle) {
    // A window keeps its one device context for its whole life (the window
    // system has no shared pool), so there is nothing to hand back.
}

int32_t choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    if (deviceContext == nullptr || !satisfies(deviceContext->window->surface, request)) {
        fail("the window surface does not offer the requested pixel format");
        return 0;
    }
    return kWindowPixelFormat;
}

bool setPixelFormat(DeviceContextHandle deviceContext, int32_t format,
                    const PixelFormatRequest& request) {
    if (format != kWindowPixelFormat || choosePixelFormat(deviceContext, request) != format) {
        fail("pixel format " + std::to_string(format) + " is not the window's");
        return false;
    }
    deviceContext->window->pixelFormatSet = true;
    return true;
}

GlContextHandle createGlContext(DeviceContextHandle deviceContext) {
    if (deviceContext == nullptr || !deviceContext->window->pixelFormatSet) {
        fail("an OpenGL context needs the window's pixel format to be set first");
        return nullptr;
    }
    GlContext& context = deviceContext->window->glContext;
    if (context.handedOut) {
        fail("the window's OpenGL context has already been created");
        return nullptr;
    }
    context.handedOut = true;
    return &context;
}

bool makeCurrent(DeviceContextHandle deviceContext, GlContextHandle glContext) {
    if (deviceContext == nullptr && glContext == nullptr) {
        glfwMakeContextCurrent(nullptr);
        return true;
    }
    if (deviceContext == nullptr || glContext == nullptr || glContext->deleted ||
        glContext->window != deviceContext->window) {
        fail("that OpenGL context cannot be made current on that device context");
        return false;
    }
    GLFWwindow* glfw = deviceContext->window->glfw;
    glfwMakeContextCurrent(glfw);
    if (glfwGetCurrentContext() != glfw) {
        return false;
    }
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(glfw, &width, &height);
    followFramebufferSize(width, height);
    return true;
}

void deleteGlContext(GlContextHandle glContext) {
    if (glContext == nullptr) {
        return;
    }
    if (glfwGetCurrentContext() == glContext->window->glfw) {
        glfwMakeContextCurrent(nullptr);
    }
    glContext->deleted = true;
}

void swapBuffers(DeviceContextHandle deviceContext) {
    glfwSwapBuffers(deviceContext->window->glfw);
}

void setConnectionLostHandler(ConnectionLostHandler handler) {
    windowSystem().connectionLost = handler;
}

const char* windowSystemError() {
    return windowSystem().lastError.c_str();
}

#pragma once

#include <cstdint>

#include "platform/messages.h"

// Our window-system layer: Win32-shaped operations over GLFW 3 (only
// platform/ sees GLFW). Everything runs on the one thread that calls it.
//
// A window is created with its drawing surface and its OpenGL context in one
// step, because GLFW binds them together: the surface is always double-
// buffered RGBA with 24 colour bits and a 24-bit depth buffer (16 bits where
// no deeper one can be had), and the context
// offers the OpenGL 1.1 fixed-function pipeline. choosePixelFormat,
// setPixelFormat and createGlContext check a request against what the window
// has and hand it out; they never change the window.
//
// Failing operations return null, 0 or false; windowSystemError() then tells
// why in one line.

struct DeviceContext;  // opaque; one per window, valid while the window lives
struct GlContext;      // opaque; one per window
using DeviceContextHandle = DeviceContext*;
using GlContextHandle = GlContext*;

struct WindowClass {
    const char* name = nullptr;
    WindowProcedure procedure = nullptr;
};

struct PixelFormatRequest {
    bool doubleBuffered = false;
    bool rgba = false;
    int32_t colourBits = 0;  // red + green + blue, at least
    int32_t depthBits = 0;   // at least
};

// The one format every window surface has; choosePixelFormat returns it.
inline constexpr int32_t kWindowPixelFormat = 1;

// --- Window class and window ---

// False when the name or procedure is missing or the name is taken.
bool registerWindowClass(const WindowClass& windowClass);
// Opens the window system on first use. The window system knows the window by
// its class's name (WM_CLASS on X). The outer size includes the
// decorations where the window system reports them. Hidden until showWindow.
// Null when the class is unknown or the window system or the window cannot be
// had (no display, no suitable OpenGL).
WindowHandle createWindow(const char* className, const char* title, int32_t outerWidth,
                          int32_t outerHeight);
void showWindow(WindowHandle window);
// Delivers msg::kDestroy to the window procedure, drops the window's queued
// messages and closes the window; the window system closes with its last window.
void destroyWindow(WindowHandle window);

// --- Message queue ---

// Polls the window system, then takes the oldest message into `message`;
// false (and `message` untouched) when none is waiting.
bool peekMessage(Message& message);
// Queues msg::kChar after a key press that produces a character.
void translateMessage(const Message& message);
// Runs the window procedure of the message's window; 0 for thread messages.
int32_t dispatchMessage(const Message& message);
// Sends a message straight to the window procedure, bypassing the queue.
int32_t sendMessage(WindowHandle window, MessageCode code, WParam wParam, LParam lParam);
// What a window procedure does with messages it leaves alone. The window
// system itself moves, resizes and repaints the frame, so nothing is left:
// the result is 0.
int32_t defaultWindowProcedure(WindowHandle window, MessageCode code, WParam wParam, LParam lParam);
// Queues msg::kQuit with exitCode as wParam; needs no open window.
void postQuitMessage(int32_t exitCode);
void postMessage(const Message& message);

// --- Drawing surface and OpenGL context ---

DeviceContextHandle getDeviceContext(WindowHandle window);
void releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext);
// kWindowPixelFormat when the window surface satisfies the request, else 0.
int32_t choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request);
// False for any format but the one choosePixelFormat gave.
bool setPixelFormat(DeviceContextHandle deviceContext, int32_t format,
                    const PixelFormatRequest& request);
// Null when the window has no usable context or has already handed it out.
GlContextHandle createGlContext(DeviceContextHandle deviceContext);
// Both null: no context is current any more. While a window's context is
// current, the viewport follows the window's framebuffer size.
bool makeCurrent(DeviceContextHandle deviceContext, GlContextHandle glContext);
// Does nothing for a null context.
void deleteGlContext(GlContextHandle glContext);
void swapBuffers(DeviceContextHandle deviceContext);

// --- Losing the window system ---

// Called when the connection to the window system breaks for good (its
// server ended, or another client killed the connection), from inside
// whichever operation found out. No window-system or GL operation may be
// used any more; the handler should finish what it can without them and end
// the process. If it returns, the window system's library ends the process
// with its own message and exit code 1. Null removes the handler.
using ConnectionLostHandler = void (*)();
void setConnectionLostHandler(ConnectionLostHandler handler);

// The last failure's description, or "" when nothing failed.
const char* windowSystemError();

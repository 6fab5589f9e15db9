#pragma once

#include "platform/window_system.h"

// The window surface the program draws on: double-buffered RGBA with 24
// colour bits and a 16-bit depth buffer.
inline constexpr PixelFormatRequest kDrawingSurface{
    .doubleBuffered = true, .rgba = true, .colourBits = 24, .depthBits = 16};

// Binds an OpenGL context to `window` and makes it current: device context,
// pixel format, context, make-current, in that order. Each handle is stored
// in the caller's variable as soon as it is obtained, so a caller can release
// what it got. Stops at the first step that fails and returns false;
// windowSystemError() tells why.
bool attachGlContext(WindowHandle window, DeviceContextHandle& deviceContext,
                     GlContextHandle& glContext);

// Makes no context current, deletes the context, then releases the device
// context, in that order.
void detachGlContext(WindowHandle window, DeviceContextHandle deviceContext,
                     GlContextHandle glContext);

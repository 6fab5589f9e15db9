#include "app/gl_context.h"

bool attachGlContext(WindowHandle window, DeviceContextHandle& deviceContext,
                     GlContextHandle& glContext) {
    deviceContext = getDeviceContext(window);
    if (deviceContext == nullptr) {
        return false;
    }
    const int32_t format = choosePixelFormat(deviceContext, kDrawingSurface);
    if (format == 0 || !setPixelFormat(deviceContext, format, kDrawingSurface)) {
        return false;
    }
    glContext = createGlContext(deviceContext);
    return glContext != nullptr && makeCurrent(deviceContext, glContext);
}

void detachGlContext(WindowHandle window, DeviceContextHandle deviceContext,
                     GlContextHandle glContext) {
    makeCurrent(nullptr, nullptr);
    deleteGlContext(glContext);
    releaseDeviceContext(window, deviceContext);
}

#include "platform/x11_connection.h"

#include <X11/Xlib.h>

namespace {

void (*lostCallback)() = nullptr;
XIOErrorHandler xlibHandler = nullptr;

int onIoError(Display* display) {
    lostCallback();
    return xlibHandler(display);
}

}  // namespace

void watchX11Connection(void (*onLost)()) {
    lostCallback = onLost;
    if (xlibHandler == nullptr) {
        xlibHandler = XSetIOErrorHandler(onIoError);
    }
}

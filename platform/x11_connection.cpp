#include "platform/x11_connection.h"

#include <X11/Xlib.h>

#include <csignal>

namespace {

void (*lostCallback)() = nullptr;
XIOErrorHandler xlibHandler = nullptr;

int onIoError(Display* display) {
    lostCallback();
    return xlibHandler(display);
}

}  // namespace

void watchX11Connection(void (*onLost)()) {
    // A write to a connection the server has closed raises SIGPIPE, which
    // would end the process before Xlib sees the broken pipe: ignored, the
    // write fails and Xlib calls the handler.
    std::signal(SIGPIPE, SIG_IGN);
    lostCallback = onLost;
    if (xlibHandler == nullptr) {
        xlibHandler = XSetIOErrorHandler(onIoError);
    }
}

#pragma once

#include <string>
#include <vector>

#include "platform/window_system.h"

// A stand-in for platform/ that records the calls the app makes, for tests
// that link app sources without a window system. Handles are fixed dummies.
namespace fake_platform {

inline DeviceContextHandle const kDeviceContext = reinterpret_cast<DeviceContextHandle>(0x10);
inline GlContextHandle const kGlContext = reinterpret_cast<GlContextHandle>(0x20);
// What the fake default window procedure answers, so a test can tell it ran.
inline constexpr int32_t kDefaultResult = 4242;
inline WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x30);

struct State {
    std::vector<std::string> calls;  // e.g. "makeCurrent(dc, gl)", "postQuitMessage(0)"
    std::string failingCall;         // name of the operation that fails; "" for none
};

State& state();
void reset();
// Sends `times` single key-down messages of `virtualKey` to the window
// procedure; what the last one answered.
int32_t press(WParam virtualKey, int times = 1);

}  // namespace fake_platform

#pragma once

#include <cstdint>

// The message vocabulary of our window-system layer. The codes are those of
// the Win32 API the program was first written against, so window procedures
// and recorded key sequences read the same on every platform.

struct Window;  // opaque; owned by the window system (platform/window_system.h)
using WindowHandle = Window*;

using MessageCode = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;

// One queued message. Thread messages (WM_QUIT) have no window.
struct Message {
    WindowHandle window = nullptr;
    MessageCode code = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// A window procedure answers one message for one window.
using WindowProcedure = int32_t (*)(WindowHandle window, MessageCode code, WParam wParam,
                                    LParam lParam);

namespace msg {
inline constexpr MessageCode kDestroy = 0x0002;  // delivered by destroyWindow
inline constexpr MessageCode kClose = 0x0010;    // the user or window manager asks to close
inline constexpr MessageCode kQuit = 0x0012;     // posted by postQuitMessage; wParam = exit code
inline constexpr MessageCode kKeyDown = 0x0100;  // press and auto-repeat; wParam = virtual key
inline constexpr MessageCode kKeyUp = 0x0101;    // release; wParam = virtual key
inline constexpr MessageCode kChar = 0x0102;     // from translateMessage; wParam = character
// Mouse messages: lParam holds the pointer's position in the client area
// (pointLParam), wParam the buttons held down (mk::) and, for the wheel, the
// turn in its high word (wheelWParam).
inline constexpr MessageCode kMouseMove = 0x0200;
inline constexpr MessageCode kLButtonDown = 0x0201;
inline constexpr MessageCode kLButtonUp = 0x0202;
inline constexpr MessageCode kRButtonDown = 0x0204;
inline constexpr MessageCode kRButtonUp = 0x0205;
inline constexpr MessageCode kMButtonDown = 0x0207;
inline constexpr MessageCode kMButtonUp = 0x0208;
inline constexpr MessageCode kMouseWheel = 0x020A;
}  // namespace msg

// The buttons held down, in wParam of mouse messages.
namespace mk {
inline constexpr WParam kLButton = 0x0001;
inline constexpr WParam kRButton = 0x0002;
inline constexpr WParam kMButton = 0x0010;
}  // namespace mk

// One notch of the wheel, away from the user positive.
inline constexpr int32_t kWheelDelta = 120;

// A client-area position as Win32 packs it: x in the low 16 bits, y in the
// next 16, each a signed 16-bit value (positions beyond are cut to it).
inline LParam pointLParam(int32_t x, int32_t y) {
    return static_cast<LParam>(static_cast<uint16_t>(x) | uint32_t{static_cast<uint16_t>(y)} << 16);
}
inline int32_t pointX(LParam lParam) {
    return static_cast<int16_t>(static_cast<uint16_t>(lParam));
}
inline int32_t pointY(LParam lParam) {
    return static_cast<int16_t>(static_cast<uint16_t>(lParam >> 16));
}
// The wheel's turn (multiples of kWheelDelta) in the high word, the buttons
// in the low word.
inline WParam wheelWParam(int32_t delta, WParam buttons) {
    return static_cast<WParam>(uint32_t{static_cast<uint16_t>(delta)} << 16) | (buttons & 0xFFFF);
}
inline int32_t wheelDelta(WParam wParam) {
    return static_cast<int16_t>(static_cast<uint16_t>(wParam >> 16));
}

// lParam of key messages, Win32 layout: bits 0-15 repeat count (always 1 here),
// bit 30 set when the key was already down (auto-repeat and release),
// bit 31 set on release.
namespace key_flags {
inline constexpr LParam kSingleRepeat = 1;
inline constexpr LParam kWasDown = LParam{1} << 30;
inline constexpr LParam kReleased = LParam{1} << 31;
}  // namespace key_flags

// Virtual-key codes: letters and digits are their upper-case ASCII codes.
namespace vk {
inline constexpr WParam kBackspace = 8;
inline constexpr WParam kTab = 9;
inline constexpr WParam kReturn = 13;
inline constexpr WParam kShift = 16;
inline constexpr WParam kControl = 17;
inline constexpr WParam kMenu = 18;  // Alt
inline constexpr WParam kPause = 19;
inline constexpr WParam kCapsLock = 20;
inline constexpr WParam kEscape = 27;
inline constexpr WParam kSpace = 32;
inline constexpr WParam kPageUp = 33;
inline constexpr WParam kPageDown = 34;
inline constexpr WParam kEnd = 35;
inline constexpr WParam kHome = 36;
inline constexpr WParam kLeft = 37;
inline constexpr WParam kUp = 38;
inline constexpr WParam kRight = 39;
inline constexpr WParam kDown = 40;
inline constexpr WParam kInsert = 45;
inline constexpr WParam kDelete = 46;
inline constexpr WParam k0 = '0';  // '0' to '9' in order
inline constexpr WParam kA = 'A';  // 'A' to 'Z' in order
inline constexpr WParam kB = 'B';
inline constexpr WParam kC = 'C';
inline constexpr WParam kE = 'E';
inline constexpr WParam kF = 'F';
inline constexpr WParam kL = 'L';
inline constexpr WParam kM = 'M';
inline constexpr WParam kP = 'P';
inline constexpr WParam kQ = 'Q';
inline constexpr WParam kR = 'R';
inline constexpr WParam kS = 'S';
inline constexpr WParam kW = 'W';
inline constexpr WParam kX = 'X';
inline constexpr WParam kY = 'Y';
inline constexpr WParam kZ = 'Z';
inline constexpr WParam kF1 = 112;  // F1 to F12 in order
inline constexpr WParam kI = 'I';
inline constexpr WParam kJ = 'J';
inline constexpr WParam kK = 'K';
inline constexpr WParam kN = 'N';
inline constexpr WParam kO = 'O';
inline constexpr WParam kAdd = 0x6B;       // keypad +
inline constexpr WParam kSubtract = 0x6D;  // keypad -
inline constexpr WParam kOemPlus = 0xBB;   // the =/+ key
inline constexpr WParam kOemMinus = 0xBD;  // the -/_ key
}  // namespace vk

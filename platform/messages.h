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
}  // namespace msg

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
inline constexpr WParam kP = 'P';
inline constexpr WParam kQ = 'Q';
inline constexpr WParam kS = 'S';
inline constexpr WParam kW = 'W';
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

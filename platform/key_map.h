#pragma once

#include "platform/messages.h"

// Translation between GLFW's key numbers and our virtual-key codes and
// characters. Pure functions; need no display.

// The virtual-key code of a GLFW key, or 0 for a key we give no code.
WParam virtualKeyOf(int glfwKey);
// The character a pressed key types (lower-case letters unless shifted,
// digits, space and the control characters of Return, Tab, Backspace and
// Escape), or 0 when it types none.
WParam characterOf(WParam virtualKey, bool shiftHeld);
// The lParam of a key message for a GLFW action (press, repeat, release).
LParam keyFlagsOf(int glfwAction);

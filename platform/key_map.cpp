#include "platform/key_map.h"

#include <GLFW/glfw3.h>

#include <array>

namespace {

struct KeyPair {
    int glfwKey;
    WParam virtualKey;
};

// Keys outside the letter, digit and function-key runs.
constexpr std::array kNamedKeys{
    KeyPair{GLFW_KEY_SPACE, vk::kSpace},
    KeyPair{GLFW_KEY_ESCAPE, vk::kEscape},
    KeyPair{GLFW_KEY_ENTER, vk::kReturn},
    KeyPair{GLFW_KEY_KP_ENTER, vk::kReturn},
    KeyPair{GLFW_KEY_TAB, vk::kTab},
    KeyPair{GLFW_KEY_BACKSPACE, vk::kBackspace},
    KeyPair{GLFW_KEY_INSERT, vk::kInsert},
    KeyPair{GLFW_KEY_DELETE, vk::kDelete},
    KeyPair{GLFW_KEY_RIGHT, vk::kRight},
    KeyPair{GLFW_KEY_LEFT, vk::kLeft},
    KeyPair{GLFW_KEY_DOWN, vk::kDown},
    KeyPair{GLFW_KEY_UP, vk::kUp},
    KeyPair{GLFW_KEY_PAGE_UP, vk::kPageUp},
    KeyPair{GLFW_KEY_PAGE_DOWN, vk::kPageDown},
    KeyPair{GLFW_KEY_HOME, vk::kHome},
    KeyPair{GLFW_KEY_END, vk::kEnd},
    KeyPair{GLFW_KEY_CAPS_LOCK, vk::kCapsLock},
    KeyPair{GLFW_KEY_PAUSE, vk::kPause},
    KeyPair{GLFW_KEY_LEFT_SHIFT, vk::kShift},
    KeyPair{GLFW_KEY_RIGHT_SHIFT, vk::kShift},
    KeyPair{GLFW_KEY_LEFT_CONTROL, vk::kControl},
    KeyPair{GLFW_KEY_RIGHT_CONTROL, vk::kControl},
    KeyPair{GLFW_KEY_LEFT_ALT, vk::kMenu},
    KeyPair{GLFW_KEY_RIGHT_ALT, vk::kMenu},
    KeyPair{GLFW_KEY_MINUS, vk::kOemMinus},
    KeyPair{GLFW_KEY_EQUAL, vk::kOemPlus},
    KeyPair{GLFW_KEY_KP_SUBTRACT, vk::kSubtract},
    KeyPair{GLFW_KEY_KP_ADD, vk::kAdd},
};

constexpr int kFunctionKeyCount = 12;
constexpr WParam kLowerCaseOffset = 'a' - 'A';

bool inRange(int key, int first, int last) {
    return key >= first && key <= last;
}

bool isLetter(WParam virtualKey) {
    return virtualKey >= vk::kA && virtualKey <= vk::kZ;
}

bool isDigit(WParam virtualKey) {
    return virtualKey >= vk::k0 && virtualKey <= vk::k0 + 9;
}

}  // namespace

WParam virtualKeyOf(int glfwKey) {
    // GLFW numbers letters and digits by their ASCII codes, as we do.
    if (inRange(glfwKey, GLFW_KEY_A, GLFW_KEY_Z) || inRange(glfwKey, GLFW_KEY_0, GLFW_KEY_9)) {
        return static_cast<WParam>(glfwKey);
    }
    if (inRange(glfwKey, GLFW_KEY_F1, GLFW_KEY_F1 + kFunctionKeyCount - 1)) {
        return vk::kF1 + static_cast<WParam>(glfwKey - GLFW_KEY_F1);
    }
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.glfwKey == glfwKey) {
            return pair.virtualKey;
        }
    }
    return 0;
}

WParam characterOf(WParam virtualKey, bool shiftHeld) {
    if (isLetter(virtualKey)) {
        return shiftHeld ? virtualKey : virtualKey + kLowerCaseOffset;
    }
    if (isDigit(virtualKey) && !shiftHeld) {
        return virtualKey;
    }
    switch (virtualKey) {
        case vk::kSpace:
        case vk::kReturn:
        case vk::kTab:
        case vk::kBackspace:
        case vk::kEscape:
            return virtualKey;  // these codes are their own characters
        default:
            return 0;
    }
}

LParam keyFlagsOf(int glfwAction) {
    switch (glfwAction) {
        case GLFW_PRESS:
            return key_flags::kSingleRepeat;
        case GLFW_REPEAT:
            return key_flags::kSingleRepeat | key_flags::kWasDown;
        default:
            return key_flags::kSingleRepeat | key_flags::kWasDown | key_flags::kReleased;
    }
}

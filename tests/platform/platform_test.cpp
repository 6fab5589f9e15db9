#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <utility>

#include "platform/key_map.h"
#include "platform/window_system.h"

namespace {

TEST(KeyMapTest, GivesEveryKeyOfTheControlsItsVirtualKeyCode) {
    const std::pair<int, WParam> controls[] = {
        {GLFW_KEY_ESCAPE, 27}, {GLFW_KEY_PAGE_UP, 33}, {GLFW_KEY_PAGE_DOWN, 34},
        {GLFW_KEY_LEFT, 37},   {GLFW_KEY_UP, 38},      {GLFW_KEY_RIGHT, 39},
        {GLFW_KEY_DOWN, 40},
    };
    for (const auto& [glfwKey, virtualKey] : controls) {
        EXPECT_EQ(virtualKeyOf(glfwKey), virtualKey) << glfwKey;
    }
    for (int letter = GLFW_KEY_A; letter <= GLFW_KEY_Z; ++letter) {
        EXPECT_EQ(virtualKeyOf(letter), static_cast<WParam>('A' + (letter - GLFW_KEY_A)));
    }
}

}  // namespace

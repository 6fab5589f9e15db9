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

TEST(MessageQueueTest, HandsMessagesOutOldestFirstWithoutADisplay) {
    Message message;
    EXPECT_FALSE(peekMessage(message));
    postMessage({.code = msg::kKeyDown, .wParam = vk::kP});
    postQuitMessage(0);
    ASSERT_TRUE(peekMessage(message));
    EXPECT_EQ(message.code, msg::kKeyDown);
    EXPECT_EQ(message.wParam, vk::kP);
    ASSERT_TRUE(peekMessage(message));
    EXPECT_EQ(message.code, msg::kQuit);
    EXPECT_FALSE(peekMessage(message));
}

}  // namespace

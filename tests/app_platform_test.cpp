#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/key_map.h"
#include "platform/window_system.h"

namespace {

int32_t ignoreMessage(WindowHandle, MessageCode, WParam, LParam) {
    return 0;
}

TEST(KeyMapTest, GivesEveryKeyOfTheControlsItsVirtualKeyCode) {
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_ESCAPE), 27u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_PAGE_UP), 33u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_PAGE_DOWN), 34u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_LEFT), 37u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_UP), 38u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_RIGHT), 39u);
    EXPECT_EQ(virtualKeyOf(GLFW_KEY_DOWN), 40u);
    for (int letter = GLFW_KEY_A; letter <= GLFW_KEY_Z; ++letter) {
        EXPECT_EQ(virtualKeyOf(letter), static_cast<WParam>('A' + (letter - GLFW_KEY_A)));
    }
}

TEST(KeyMapTest, TypesLowerCaseLettersUnlessShiftedAndNothingForMovementKeys) {
    EXPECT_EQ(characterOf(vk::kP, false), WParam{'p'});
    EXPECT_EQ(characterOf(vk::kP, true), WParam{'P'});
    EXPECT_EQ(characterOf('7', false), WParam{'7'});
    EXPECT_EQ(characterOf(vk::kEscape, false), vk::kEscape);
    EXPECT_EQ(characterOf(vk::kLeft, false), 0u);
    EXPECT_EQ(characterOf(vk::kPageUp, false), 0u);
    EXPECT_EQ(characterOf(vk::kShift, true), 0u);
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
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.window, nullptr);
    EXPECT_FALSE(peekMessage(message));
    EXPECT_EQ(message.code, msg::kQuit) << "an empty peek must leave the record alone";
}

TEST(MessageQueueTest, ThreadMessagesAreNotDispatchedAndNotTranslated) {
    const Message quit{.code = msg::kQuit};
    EXPECT_EQ(dispatchMessage(quit), 0);
    translateMessage({.code = msg::kKeyDown, .wParam = vk::kA});
    Message message;
    EXPECT_FALSE(peekMessage(message));
}

TEST(WindowSystemTest, RefusesIncompleteAndDuplicateClasses) {
    EXPECT_FALSE(registerWindowClass({.name = "NoProcedure"}));
    EXPECT_FALSE(registerWindowClass({.procedure = ignoreMessage}));
    EXPECT_TRUE(registerWindowClass({.name = "Twice", .procedure = ignoreMessage}));
    EXPECT_FALSE(registerWindowClass({.name = "Twice", .procedure = ignoreMessage}));
    EXPECT_NE(std::string(windowSystemError()).find("already registered"), std::string::npos);
}

TEST(WindowSystemTest, CreatingAWindowOfAnUnknownClassFails) {
    EXPECT_EQ(createWindow("Unknown", "title", 800, 600), nullptr);
    EXPECT_NE(std::string(windowSystemError()).find("no window class named \"Unknown\""),
              std::string::npos);
}

TEST(WindowSystemTest, WithoutADisplayWindowCreationFailsWithAReason) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(registerWindowClass({.name = "Headless", .procedure = ignoreMessage}));
    EXPECT_EQ(createWindow("Headless", "title", 800, 600), nullptr);
    EXPECT_STRNE(windowSystemError(), "");
}

}  // namespace

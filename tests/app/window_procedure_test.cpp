#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/window_procedure.h"
#include "fake_platform.h"

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x30);

class WindowProcedureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        fake_platform::reset();
    }

    static int32_t press(WParam virtualKey, LParam flags = key_flags::kSingleRepeat) {
        return windowProcedure(kWindow, msg::kKeyDown, virtualKey, flags);
    }
    static void pressTimes(int times, WParam virtualKey) {
        for (int i = 0; i < times; ++i) {
            press(virtualKey);
        }
    }
    static const std::vector<std::string>& calls() { return fake_platform::state().calls; }
};

struct KeyEffect {
    WParam virtualKey;
    std::function<void(Settings&)> apply;
};

// Exact float results: a step taken in double, or two steps for one press,
// shows as a different value.
TEST_F(WindowProcedureTest, EveryKeyOfTheTableChangesItsSettingOnceAndAnswersZero) {
    const std::vector<KeyEffect> table = {
        {vk::kPageUp, [](Settings& s) { s.cameraDistance = 36.0f; }},
        {vk::kPageDown, [](Settings& s) { s.cameraDistance = 40.0f * 1.1f; }},
        {vk::kLeft, [](Settings& s) { s.cameraYaw = -40.0f; }},
        {vk::kRight, [](Settings& s) { s.cameraYaw = -50.0f; }},
        {vk::kUp, [](Settings& s) { s.cameraPitch = 50.0f; }},
        {vk::kDown, [](Settings& s) { s.cameraPitch = 40.0f; }},
        {vk::kA, [](Settings& s) { s.animationEnabled = false; }},
        {vk::kL, [](Settings& s) { s.lightingEnabled = false; }},
        {vk::kF, [](Settings& s) { s.faceRule = FaceRule::kTable; }},
        {vk::kS, [](Settings& s) { s.shading = Shading::kSmooth; }},
        {vk::kP, [](Settings& s) { s.listingRequested = true; }},
        {vk::kQ, [](Settings& s) { s.animationTime = -0.5f; }},
        {vk::kW, [](Settings& s) { s.animationTime = 0.5f; }},
    };
    for (const KeyEffect& key : table) {
        SCOPED_TRACE(key.virtualKey);
        SetUp();
        Settings expected;
        key.apply(expected);
        // An auto-repeat with a repeat count of 5 is still one step.
        EXPECT_EQ(press(key.virtualKey, 5 | key_flags::kWasDown), 0);
        EXPECT_EQ(settings, expected);
        EXPECT_TRUE(calls().empty()) << "a key press reached the platform";
    }
}

TEST_F(WindowProcedureTest, EscapeAndCloseRequestPostQuitAndDestroyIsAnswered) {
    EXPECT_EQ(press(vk::kEscape), 0);
    EXPECT_EQ(windowProcedure(kWindow, msg::kClose, 0, 0), 0);
    EXPECT_EQ(windowProcedure(kWindow, msg::kDestroy, 0, 0), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"postQuitMessage(0)", "postQuitMessage(0)"}));
    EXPECT_EQ(settings, Settings{});
}

TEST_F(WindowProcedureTest, KeysOutsideTheTableDoNothingAndNeverReachDefaultHandling) {
    const WParam tableKeys[] = {vk::kEscape, vk::kPageUp, vk::kPageDown, vk::kLeft, vk::kF,
                                vk::kS,      vk::kUp,     vk::kRight,    vk::kDown, vk::kA,
                                vk::kL,      vk::kP,      vk::kQ,        vk::kW};
    constexpr WParam kBeyondAnyKey = 300;
    for (WParam code = 0; code <= kBeyondAnyKey; ++code) {
        if (std::ranges::find(tableKeys, code) == std::end(tableKeys)) {
            EXPECT_EQ(press(code), 0) << code;
        }
    }
    EXPECT_EQ(press(~WParam{0}), 0);
    EXPECT_EQ(settings, Settings{});
    EXPECT_TRUE(calls().empty());
}

TEST_F(WindowProcedureTest, KeyUpCharacterAndUnknownMessagesGoToDefaultHandlingUnchanged) {
    constexpr MessageCode kUnknownMessage = 0x7FFF;
    EXPECT_EQ(windowProcedure(kWindow, msg::kKeyUp, vk::kP, 3), fake_platform::kDefaultResult);
    EXPECT_EQ(windowProcedure(kWindow, msg::kChar, 'p', 1), fake_platform::kDefaultResult);
    EXPECT_EQ(windowProcedure(kWindow, kUnknownMessage, 7, -3), fake_platform::kDefaultResult);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "defaultWindowProcedure(window, 257, 80, 3)",
                           "defaultWindowProcedure(window, 258, 112, 1)",
                           "defaultWindowProcedure(window, 32767, 7, -3)",
                       }));
    EXPECT_EQ(settings, Settings{});
}

// Zoom multiplies: unclamped, Page Up would reach 0 and stay there for good.
TEST_F(WindowProcedureTest, ZoomStopsAtBothEndsOfItsRangeAndCanAlwaysBeUndone) {
    constexpr int kManyPresses = 5000;
    pressTimes(kManyPresses, vk::kPageUp);
    EXPECT_EQ(settings.cameraDistance, keys::kMinCameraDistance);
    press(vk::kPageDown);
    EXPECT_GT(settings.cameraDistance, keys::kMinCameraDistance);
    pressTimes(kManyPresses, vk::kPageDown);
    EXPECT_EQ(settings.cameraDistance, keys::kMaxCameraDistance);
    press(vk::kPageUp);
    EXPECT_LT(settings.cameraDistance, keys::kMaxCameraDistance);
}

}  // namespace

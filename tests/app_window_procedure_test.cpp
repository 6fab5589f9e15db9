#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/window_procedure.h"
#include "app_fake_platform.h"

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

    static const std::vector<std::string>& calls() { return fake_platform::state().calls; }
};

struct KeyEffect {
    const char* name;
    WParam virtualKey;
    std::function<void(Settings&)> apply;
};

TEST_F(WindowProcedureTest, EveryKeyOfTheTableChangesItsSettingOnce) {
    const std::vector<KeyEffect> table = {
        {"PageUp", vk::kPageUp, [](Settings& s) { s.cameraDistance = 36.0f; }},
        {"PageDown", vk::kPageDown, [](Settings& s) { s.cameraDistance = 40.0f * 1.1f; }},
        {"Left", vk::kLeft, [](Settings& s) { s.cameraYaw = -40.0f; }},
        {"Right", vk::kRight, [](Settings& s) { s.cameraYaw = -50.0f; }},
        {"Up", vk::kUp, [](Settings& s) { s.cameraPitch = 50.0f; }},
        {"Down", vk::kDown, [](Settings& s) { s.cameraPitch = 40.0f; }},
        {"A", vk::kA, [](Settings& s) { s.animationEnabled = false; }},
        {"L", vk::kL, [](Settings& s) { s.lightingEnabled = false; }},
        {"P", vk::kP, [](Settings& s) { s.listingRequested = true; }},
        {"Q", vk::kQ, [](Settings& s) { s.animationTime = -0.5f; }},
        {"W", vk::kW, [](Settings& s) { s.animationTime = 0.5f; }},
    };
    for (const KeyEffect& key : table) {
        SCOPED_TRACE(key.name);
        SetUp();
        Settings expected;
        key.apply(expected);
        EXPECT_EQ(press(key.virtualKey), 0);
        EXPECT_EQ(settings, expected);
        EXPECT_TRUE(calls().empty()) << "a key press reached the platform";
    }
}

TEST_F(WindowProcedureTest, EscapeAndCloseRequestPostTheQuitMessageAndChangeNothing) {
    EXPECT_EQ(press(vk::kEscape), 0);
    EXPECT_EQ(windowProcedure(kWindow, msg::kClose, 0, 0), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"postQuitMessage(0)", "postQuitMessage(0)"}));
    EXPECT_EQ(settings, Settings{});
}

TEST_F(WindowProcedureTest, DestroyIsAnsweredWithoutPostingAnything) {
    EXPECT_EQ(windowProcedure(kWindow, msg::kDestroy, 0, 0), 0);
    EXPECT_TRUE(calls().empty());
}

TEST_F(WindowProcedureTest, KeysOutsideTheTableDoNothingAndNeverReachDefaultHandling) {
    const WParam tableKeys[] = {vk::kEscape, vk::kPageUp, vk::kPageDown, vk::kLeft,
                                vk::kUp,     vk::kRight,  vk::kDown,     vk::kA,
                                vk::kL,      vk::kP,      vk::kQ,        vk::kW};
    constexpr WParam kBeyondAnyKey = 300;
    for (WParam code = 0; code <= kBeyondAnyKey; ++code) {
        if (std::ranges::find(tableKeys, code) != std::end(tableKeys)) {
            continue;
        }
        EXPECT_EQ(press(code), 0) << code;
    }
    EXPECT_EQ(press(~WParam{0}), 0);
    EXPECT_EQ(settings, Settings{});
    EXPECT_TRUE(calls().empty());
}

TEST_F(WindowProcedureTest, KeyUpCharacterAndUnknownMessagesGoToDefaultHandlingUnchanged) {
    constexpr MessageCode kSizeMessage = 0x0005;
    constexpr MessageCode kUnknownMessage = 0x7FFF;
    EXPECT_EQ(windowProcedure(kWindow, msg::kKeyUp, vk::kP, key_flags::kReleased),
              fake_platform::kDefaultResult);
    EXPECT_EQ(windowProcedure(kWindow, msg::kChar, 'p', 1), fake_platform::kDefaultResult);
    EXPECT_EQ(windowProcedure(kWindow, kSizeMessage, 0, (600 << 16) | 800),
              fake_platform::kDefaultResult);
    EXPECT_EQ(windowProcedure(kWindow, kUnknownMessage, 7, -3), fake_platform::kDefaultResult);
    const std::string released = std::to_string(key_flags::kReleased);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "defaultWindowProcedure(window, 257, 80, " + released + ")",
                           "defaultWindowProcedure(window, 258, 112, 1)",
                           "defaultWindowProcedure(window, 5, 0, 39322400)",
                           "defaultWindowProcedure(window, 32767, 7, -3)",
                       }));
    EXPECT_EQ(settings, Settings{});
}

TEST_F(WindowProcedureTest, AutoRepeatAppliesOneStepPerMessageWhateverTheRepeatCount) {
    constexpr LParam kRepeatCountOfFive = 5 | key_flags::kWasDown;
    press(vk::kLeft);
    press(vk::kLeft, key_flags::kSingleRepeat | key_flags::kWasDown);
    press(vk::kLeft, kRepeatCountOfFive);
    EXPECT_FLOAT_EQ(settings.cameraYaw, -30.0f);
}

TEST_F(WindowProcedureTest, ZoomStepsAreSinglePrecisionAndDoNotCancel) {
    press(vk::kPageUp);
    EXPECT_EQ(settings.cameraDistance, 36.0f);
    press(vk::kPageDown);
    EXPECT_EQ(settings.cameraDistance, 36.0f * 1.1f);
    EXPECT_NE(settings.cameraDistance, 40.0f);
}

TEST_F(WindowProcedureTest, ZoomStaysFinitePositiveAndCanAlwaysBeUndone) {
    constexpr int kManyPresses = 5000;
    for (int i = 0; i < kManyPresses; ++i) {
        press(vk::kPageUp);
    }
    EXPECT_EQ(settings.cameraDistance, keys::kMinCameraDistance);
    press(vk::kPageDown);
    EXPECT_GT(settings.cameraDistance, keys::kMinCameraDistance);
    for (int i = 0; i < kManyPresses; ++i) {
        press(vk::kPageDown);
    }
    EXPECT_EQ(settings.cameraDistance, keys::kMaxCameraDistance);
    press(vk::kPageUp);
    EXPECT_LT(settings.cameraDistance, keys::kMaxCameraDistance);
}

// Bursts of one zoom key in a random walk, long enough to reach both ends of
// the range: at every distance reached, each key still moves the distance its
// way unless it sits at that end, and Page Up then Page Down stays in range.
TEST_F(WindowProcedureTest, EveryReachableDistanceCanBeZoomedBothWays) {
    constexpr int kBursts = 2000;
    constexpr int kLongestBurst = 200;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> burstLength(1, kLongestBurst);
    bool reachedNearest = false;
    bool reachedFarthest = false;
    for (int burst = 0; burst < kBursts; ++burst) {
        const bool closer = random() % 2 == 0;
        for (int n = burstLength(random); n > 0; --n) {
            const float before = settings.cameraDistance;
            press(vk::kPageUp);
            press(vk::kPageDown);
            EXPECT_GE(settings.cameraDistance, keys::kMinCameraDistance) << "from " << before;
            EXPECT_LE(settings.cameraDistance, keys::kMaxCameraDistance) << "from " << before;
            settings.cameraDistance = before;

            press(closer ? vk::kPageUp : vk::kPageDown);
            const float after = settings.cameraDistance;
            if (closer) {
                EXPECT_TRUE(after < before || after == keys::kMinCameraDistance) << before;
            } else {
                EXPECT_TRUE(after > before || after == keys::kMaxCameraDistance) << before;
            }
            reachedNearest = reachedNearest || after == keys::kMinCameraDistance;
            reachedFarthest = reachedFarthest || after == keys::kMaxCameraDistance;
        }
    }
    EXPECT_TRUE(reachedNearest);
    EXPECT_TRUE(reachedFarthest);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "app/volume_view.h"
#include "app/window_procedure.h"
#include "fake_platform.h"
#include "test_support.h"

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
        {vk::kO, [](Settings& s) { s.overlayShown = true; }},
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
                                vk::kL,      vk::kP,      vk::kQ,        vk::kW,    vk::kO};
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

// On a volume from 20 to 220 starting at 120: every printed value is the
// start plus the steps taken times 2 (1% of the range), the steps stop 100
// from the start either way, I returns to the start, and the animation keys
// change nothing.
TEST_F(WindowProcedureTest, OnAVolumeTheIsoKeysStepByOnePercentOfTheRange) {
    Volume volume;
    volume.minimum = 20.0f;
    volume.maximum = 220.0f;
    CapturedFile messages;
    volumeView.show(std::move(volume), 120.0f, messages.get());
    // Runs past both ends, with both keys of each direction, and resets.
    const std::pair<WParam, int> runs[] = {{vk::kOemMinus, 130}, {vk::kAdd, 5},      {vk::kA, 1},
                                           {vk::kQ, 1},          {vk::kW, 1},        {vk::kI, 1},
                                           {vk::kOemPlus, 130},  {vk::kSubtract, 3}, {vk::kI, 1}};
    std::vector<double> expected;
    int steps = 0;
    for (const auto& [key, times] : runs) {
        for (int i = 0; i < times; ++i) {
            press(key);
            if (key == vk::kA || key == vk::kQ || key == vk::kW) {
                continue;  // the animation keys report nothing
            }
            const int step = key == vk::kOemMinus || key == vk::kSubtract ? -1 : 1;
            steps = key == vk::kI ? 0
                                  : std::clamp(steps + step, -VolumeView::kMaxIsoSteps,
                                               VolumeView::kMaxIsoSteps);
            expected.push_back(120.0 + 2.0 * steps);
        }
    }
    const std::vector<std::string> lines = linesOf(messages.text());
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(lines[i].starts_with("Iso value: ")) << lines[i];
        EXPECT_NEAR(std::stod(lines[i].substr(11)), expected[i], 1e-3) << "line " << i;
    }
    EXPECT_EQ(settings.animationTime, 0.0f);
    EXPECT_TRUE(settings.animationEnabled);
    EXPECT_TRUE(calls().empty());
    volumeView = VolumeView{};
}

}  // namespace

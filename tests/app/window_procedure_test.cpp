#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "app/volume_view.h"
#include "app/window_procedure.h"
#include "fake_platform.h"
#include "test_support.h"

namespace {

using fake_platform::kWindow;
using fake_platform::press;

class WindowProcedureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        fake_platform::reset();
    }
};

// Exact float results: a step taken in double, or two steps for one
// auto-repeated press, shows as a different value.
TEST_F(WindowProcedureTest, EveryKeyChangesItsSettingOnceAndAnswersZero) {
    const std::pair<WParam, void (*)(Settings&)> table[] = {
        {vk::kPageUp, [](Settings& s) { s.view.distance = 36.0f; }},
        {vk::kPageDown, [](Settings& s) { s.view.distance = 40.0f * 1.1f; }},
        {vk::kLeft, [](Settings& s) { s.view.yaw = -40.0f; }},
        {vk::kRight, [](Settings& s) { s.view.yaw = -50.0f; }},
        {vk::kUp, [](Settings& s) { s.view.pitch = 50.0f; }},
        {vk::kDown, [](Settings& s) { s.view.pitch = 40.0f; }},
        {vk::kA, [](Settings& s) { s.animationEnabled = false; }},
        {vk::kL, [](Settings& s) { s.lightingEnabled = false; }},
        {vk::kF, [](Settings& s) { s.faceRule = FaceRule::kTable; }},
        {vk::kS, [](Settings& s) { s.shading = Shading::kSmooth; }},
        {vk::kP, [](Settings& s) { s.listingRequested = true; }},
        {vk::kQ, [](Settings& s) { s.animationTime = -0.5f; }},
        {vk::kW, [](Settings& s) { s.animationTime = 0.5f; }},
        {vk::kO, [](Settings& s) { s.overlayShown = true; }},
        {vk::kM, [](Settings& s) { s.outlinesShown = false; }},
        {vk::kX, [](Settings& s) { s.view.pitch = 0.0f, s.view.yaw = -90.0f; }},
        {vk::kY, [](Settings& s) { s.view.pitch = 90.0f, s.view.yaw = 0.0f; }},
        {vk::kZ, [](Settings& s) { s.view.pitch = 0.0f, s.view.yaw = 0.0f; }},
        {vk::kR, [](Settings&) {}},  // the start view already
        {'J', [](Settings&) {}},     // no key of ours
    };
    for (const auto& [key, apply] : table) {
        SCOPED_TRACE(key);
        SetUp();
        Settings expected;
        apply(expected);
        EXPECT_EQ(windowProcedure(kWindow, msg::kKeyDown, key, 5 | key_flags::kWasDown), 0);
        EXPECT_EQ(settings, expected);
        EXPECT_TRUE(fake_platform::state().calls.empty()) << "a key press reached the platform";
    }
}

TEST_F(WindowProcedureTest, EscapeAndCloseQuitAndOtherMessagesGoToDefaultHandling) {
    EXPECT_EQ(press(vk::kEscape), 0);
    EXPECT_EQ(windowProcedure(kWindow, msg::kClose, 0, 0), 0);
    EXPECT_EQ(windowProcedure(kWindow, msg::kKeyUp, vk::kP, 3), fake_platform::kDefaultResult);
    EXPECT_EQ(fake_platform::state().calls,
              (std::vector<std::string>{"postQuitMessage(0)", "postQuitMessage(0)",
                                        "defaultWindowProcedure(window, 257, 80, 3)"}));
    EXPECT_EQ(settings, Settings{});
}

// Zoom multiplies: unclamped, Page Up would reach 0 and stay there for good.
TEST_F(WindowProcedureTest, ZoomStopsAtBothEndsOfItsRangeAndCanAlwaysBeUndone) {
    constexpr int kManyPresses = 5000;
    press(vk::kPageUp, kManyPresses);
    EXPECT_EQ(settings.view.distance, keys::kMinCameraDistance);
    press(vk::kPageDown);
    EXPECT_GT(settings.view.distance, keys::kMinCameraDistance);
    press(vk::kPageDown, kManyPresses);
    EXPECT_EQ(settings.view.distance, keys::kMaxCameraDistance);
    press(vk::kPageUp);
    EXPECT_LT(settings.view.distance, keys::kMaxCameraDistance);
}

// A left drag turns, a right or middle drag pans (by the start window's
// scene units per pixel at the distance), the pointer's way between two
// messages counted once; moves without a button and button releases change
// nothing; the wheel zooms by whole notches within the keys' range; R
// brings the start view of the scene back; an axis key pressed twice looks
// from the other end. None of it reaches the platform.
TEST_F(WindowProcedureTest, TheMouseTurnsPansAndZoomsAndRResetsTheView) {
    const auto send = [](MessageCode code, WParam buttons, int32_t x, int32_t y) {
        EXPECT_EQ(windowProcedure(kWindow, code, buttons, pointLParam(x, y)), 0);
    };
    send(msg::kMouseMove, 0, 500, 500);
    send(msg::kLButtonDown, mk::kLButton, 100, 100);
    send(msg::kMouseMove, mk::kLButton, 110, 90);
    send(msg::kMouseMove, mk::kLButton, 130, 90);
    send(msg::kLButtonUp, 0, 130, 90);
    send(msg::kMouseMove, 0, 300, 300);
    EXPECT_EQ(settings.view.yaw, -45.0f + 15.0f);
    EXPECT_EQ(settings.view.pitch, 45.0f - 5.0f);
    for (const WParam button : {mk::kRButton, mk::kMButton}) {
        send(button == mk::kRButton ? msg::kRButtonDown : msg::kMButtonDown, button, -10, 20);
        send(msg::kMouseMove, button, 5, -10);
    }
    EXPECT_FLOAT_EQ(settings.view.panX, 2 * 15 * 40 * mouse::kPanPerPixelAndDistance);
    EXPECT_FLOAT_EQ(settings.view.panY, 2 * 30 * 40 * mouse::kPanPerPixelAndDistance);
    EXPECT_EQ(settings.view.yaw, -30.0f);
    send(msg::kMouseWheel, wheelWParam(kWheelDelta, 0), 0, 0);
    EXPECT_EQ(settings.view.distance, 36.0f);
    windowProcedure(kWindow, msg::kMouseWheel, wheelWParam(-2 * kWheelDelta, 0), 0);
    EXPECT_EQ(settings.view.distance, 36.0f * 1.1f * 1.1f);
    windowProcedure(kWindow, msg::kMouseWheel, wheelWParam(-32000, mk::kLButton), 0);
    EXPECT_EQ(settings.view.distance, keys::kMaxCameraDistance);
    EXPECT_TRUE(fake_platform::state().calls.empty()) << "a mouse message reached the platform";
    sceneFit = scene::fitBlobGrid(64);
    press(vk::kR);
    EXPECT_EQ(settings.view, (scene::View{.distance = 64.0f}));
    press(vk::kY, 2);
    EXPECT_EQ(settings.view, (scene::View{.distance = 64.0f, .pitch = -90.0f, .yaw = 0.0f}));
    sceneFit = scene::SceneFit{};
}

// On a volume from 20 to 220 starting at 120, a step is 2 (1% of the range)
// and the steps stop 100 from the start; both keys of each direction step,
// I returns to the start, the animation keys do nothing.
TEST_F(WindowProcedureTest, OnAVolumeTheIsoKeysStepByOnePercentOfTheRange) {
    Volume volume;
    volume.minimum = 20.0f;
    volume.maximum = 220.0f;
    CapturedFile messages;
    volumeView.show(std::move(volume), 120.0f, messages.get());
    press(vk::kOemMinus, 130);
    press(vk::kAdd);
    press(vk::kA);
    press(vk::kQ);
    press(vk::kOemPlus, 2);
    press(vk::kSubtract);
    press(vk::kI);
    const std::vector<std::string> lines = linesOf(messages.text());
    ASSERT_EQ(lines.size(), 135u);
    EXPECT_EQ(lines[129], "Iso value: -80");
    EXPECT_EQ((std::vector<std::string>(lines.end() - 5, lines.end())),
              (std::vector<std::string>{"Iso value: -78", "Iso value: -76", "Iso value: -74",
                                        "Iso value: -76", "Iso value: 120"}));
    EXPECT_EQ(settings, Settings{});
    volumeView = VolumeView{};
}

}  // namespace

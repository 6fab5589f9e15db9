#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/settings.h"
#include "app/window_procedure.h"
#include "fake_platform.h"
#include "recording_gl.h"
#include "test_support.h"

// Random message sequences (any code, any wParam and lParam) fed to the window
// procedure between headless frames. Whatever arrives, the settings stay
// finite, the distance stays in its range, every frame completes and the next
// frame's camera is usable. Deterministic for a given seed; MC_FUZZ_SEED and
// MC_FUZZ_ROUNDS override the defaults for longer runs by hand.

namespace {

constexpr uint64_t kDefaultSeed = 20261206;
constexpr int64_t kDefaultRounds = 400;
constexpr int32_t kFramesPerRound = 6;
constexpr int32_t kMaxMessagesBetweenFrames = 40;
// Small enough to keep a frame cheap under the sanitizers, large enough for
// the blobs (radius size / 4) to cross many cells.
constexpr int32_t kFuzzGridSize = 16;

// Beyond these the per-key steps of 5 (angles) and 0.5 (clock) no longer
// change a float, so keys alone cannot carry a setting past them.
constexpr float kAngleSaturation = 1u << 27;
constexpr float kClockSaturation = 1u << 24;

constexpr WParam kTableKeys[] = {vk::kEscape, vk::kPageUp, vk::kPageDown, vk::kLeft,
                                 vk::kUp,     vk::kRight,  vk::kDown,     vk::kA,
                                 vk::kL,      vk::kP,      vk::kQ,        vk::kW};

int64_t fromEnvironment(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    return text == nullptr ? fallback : std::strtoll(text, nullptr, 10);
}

class MessageSource {
  public:
    explicit MessageSource(uint64_t seed) : random_(seed) {}

    Message next() {
        Message message;
        message.code = nextCode();
        message.wParam =
            message.code == msg::kKeyDown && chance(0.7) ? pick(kTableKeys) : WParam{random_()};
        message.lParam = static_cast<LParam>(random_());
        return message;
    }

    // A start state the keys can reach: the start values, or a distance
    // anywhere in its range with angles and clock up to where they saturate.
    Settings startState() {
        Settings start;
        if (chance(0.5)) {
            return start;
        }
        const double logMin = std::log(keys::kMinCameraDistance);
        const double logMax = std::log(keys::kMaxCameraDistance);
        start.cameraDistance = std::clamp(static_cast<float>(std::exp(uniform(logMin, logMax))),
                                          keys::kMinCameraDistance, keys::kMaxCameraDistance);
        start.cameraPitch = static_cast<float>(uniform(-kAngleSaturation, kAngleSaturation));
        start.cameraYaw = static_cast<float>(uniform(-kAngleSaturation, kAngleSaturation));
        start.animationTime = static_cast<float>(uniform(-kClockSaturation, kClockSaturation));
        start.animationEnabled = chance(0.5);
        start.lightingEnabled = chance(0.5);
        return start;
    }

    int32_t count(int32_t most) { return std::uniform_int_distribution<int32_t>(0, most)(random_); }

  private:
    // Mostly key presses, so the settings move a lot; the rest covers close,
    // destroy, key-up, character and arbitrary codes.
    MessageCode nextCode() {
        constexpr MessageCode kNamedCodes[] = {msg::kClose, msg::kDestroy, msg::kKeyUp, msg::kChar,
                                               msg::kQuit};
        if (chance(0.6)) {
            return msg::kKeyDown;
        }
        return chance(0.5) ? pick(kNamedCodes) : static_cast<MessageCode>(random_());
    }

    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
    double uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random_);
    }
    template <class T, size_t N>
    T pick(const T (&items)[N]) {
        return items[std::uniform_int_distribution<size_t>(0, N - 1)(random_)];
    }

    std::mt19937_64 random_;
};

void expectSettingsSound() {
    EXPECT_TRUE(std::isfinite(settings.animationTime)) << settings.animationTime;
    EXPECT_TRUE(std::isfinite(settings.cameraPitch)) << settings.cameraPitch;
    EXPECT_TRUE(std::isfinite(settings.cameraYaw)) << settings.cameraYaw;
    EXPECT_GE(settings.cameraDistance, keys::kMinCameraDistance);
    EXPECT_LE(settings.cameraDistance, keys::kMaxCameraDistance);
}

// The camera the next frame would load: every value finite and the eye
// placed at the distance the keys left.
void expectCameraUsable() {
    RecordingGl gl;
    setupCamera(gl, settings.cameraDistance, settings.cameraPitch, settings.cameraYaw, sampleGrid);
    for (const GlCall& call : gl.calls) {
        EXPECT_TRUE(std::ranges::all_of(call.args, [](double v) { return std::isfinite(v); }))
            << call;
    }
    const auto eye = std::ranges::find(gl.calls, std::string("translatef"), &GlCall::name);
    ASSERT_NE(eye, gl.calls.end());
    EXPECT_EQ(eye->args, (std::vector<double>{0.0, 0.0, -settings.cameraDistance}));
}

class WindowProcedureFuzzTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        cubeMarcher.initialiseCubeMarcher(listing_.get());
        ASSERT_TRUE(sampleGrid.allocate(kFuzzGridSize, kFuzzGridSize, kFuzzGridSize));
    }

    // Listed triangles go to a scratch file that is emptied now and then.
    static FILE* listing() {
        std::rewind(listing_.get());
        return listing_.get();
    }

    static inline CapturedFile listing_;
};

TEST_F(WindowProcedureFuzzTest, ArbitraryMessagesBetweenFramesLeaveEverySettingUsable) {
    const auto seed = static_cast<uint64_t>(fromEnvironment("MC_FUZZ_SEED", kDefaultSeed));
    const int64_t rounds = fromEnvironment("MC_FUZZ_ROUNDS", kDefaultRounds);
    MessageSource source(seed);
    for (int64_t round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        settings = source.startState();
        for (int32_t frame = 0; frame < kFramesPerRound; ++frame) {
            for (int32_t n = source.count(kMaxMessagesBetweenFrames); n > 0; --n) {
                const Message message = source.next();
                windowProcedure(message.window, message.code, message.wParam, message.lParam);
            }
            expectSettingsSound();
            NoGl gl;
            renderFrame(
                gl, [] {}, listing());
            EXPECT_FALSE(settings.listingRequested);
        }
        expectCameraUsable();
        fake_platform::reset();  // its record of calls would grow without end
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gl_context.h"
#include "app_fake_platform.h"

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x30);

const std::vector<std::string> kAttachCalls = {
    "getDeviceContext(window)", "choosePixelFormat(dc, double, rgba, colour 24, depth 16)",
    "setPixelFormat(dc, 1)",    "createGlContext(dc)",
    "makeCurrent(dc, gl)",
};

class GlContextTest : public ::testing::Test {
  protected:
    void SetUp() override { fake_platform::reset(); }
    static const std::vector<std::string>& calls() { return fake_platform::state().calls; }
};

TEST_F(GlContextTest, AttachAsksForTheSurfaceThenCreatesAndBindsTheContext) {
    DeviceContextHandle deviceContext = nullptr;
    GlContextHandle glContext = nullptr;
    EXPECT_TRUE(attachGlContext(kWindow, deviceContext, glContext));
    EXPECT_EQ(deviceContext, fake_platform::kDeviceContext);
    EXPECT_EQ(glContext, fake_platform::kGlContext);
    EXPECT_EQ(calls(), kAttachCalls);
}

TEST_F(GlContextTest, DetachUnbindsBeforeDeletingAndDeletesBeforeReleasing) {
    detachGlContext(kWindow, fake_platform::kDeviceContext, fake_platform::kGlContext);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "makeCurrent(null, null)",
                           "deleteGlContext(gl)",
                           "releaseDeviceContext(window, dc)",
                       }));
}

TEST_F(GlContextTest, AttachStopsAtTheFirstFailingStepAndKeepsWhatItGot) {
    for (size_t failing = 0; failing < kAttachCalls.size(); ++failing) {
        const std::string name = kAttachCalls[failing].substr(0, kAttachCalls[failing].find('('));
        SCOPED_TRACE(name);
        SetUp();
        fake_platform::state().failingCall = name;
        DeviceContextHandle deviceContext = nullptr;
        GlContextHandle glContext = nullptr;
        EXPECT_FALSE(attachGlContext(kWindow, deviceContext, glContext));
        const std::vector<std::string> expected(kAttachCalls.begin(),
                                                kAttachCalls.begin() + failing + 1);
        EXPECT_EQ(calls(), expected);
        // The caller releases exactly what was obtained before the failure.
        const bool gotDeviceContext = name != "getDeviceContext";
        EXPECT_EQ(deviceContext, gotDeviceContext ? fake_platform::kDeviceContext : nullptr);
        const bool gotGlContext = name == "makeCurrent";
        EXPECT_EQ(glContext, gotGlContext ? fake_platform::kGlContext : nullptr);
    }
}

}  // namespace

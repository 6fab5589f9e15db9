#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gl_context.h"
#include "fake_platform.h"

namespace {

using fake_platform::kWindow;

const std::vector<std::string> kAttachCalls = {
    "getDeviceContext(window)", "choosePixelFormat(dc, double, rgba, colour 24, depth 16)",
    "setPixelFormat(dc, 1)",    "createGlContext(dc)",
    "makeCurrent(dc, gl)",
};
// The steps after which attach holds a device context and a GL context.
constexpr size_t kGotDeviceContext = 0;
constexpr size_t kGotGlContext = 3;

// Failing step `failing` (kAttachCalls.size() for none): attach stops there
// and hands back exactly what it got, for the caller to release.
TEST(GlContextTest, AttachRunsItsStepsInOrderAndStopsAtTheFirstFailure) {
    for (size_t failing = 0; failing <= kAttachCalls.size(); ++failing) {
        const bool fails = failing < kAttachCalls.size();
        const std::string name =
            fails ? kAttachCalls[failing].substr(0, kAttachCalls[failing].find('(')) : "";
        SCOPED_TRACE(name);
        fake_platform::reset();
        fake_platform::state().failingCall = name;
        DeviceContextHandle deviceContext = nullptr;
        GlContextHandle glContext = nullptr;
        EXPECT_EQ(attachGlContext(kWindow, deviceContext, glContext), !fails);
        const auto end = kAttachCalls.begin() + static_cast<int>(failing + (fails ? 1 : 0));
        EXPECT_EQ(fake_platform::state().calls,
                  std::vector<std::string>(kAttachCalls.begin(), end));
        EXPECT_EQ(deviceContext,
                  failing > kGotDeviceContext ? fake_platform::kDeviceContext : nullptr);
        EXPECT_EQ(glContext, failing > kGotGlContext ? fake_platform::kGlContext : nullptr);
    }
}

}  // namespace

#include "app/overlay_status.h"

#include <cstdio>

namespace {

constexpr size_t kLineCapacity = 64;

std::string formatted(const char* format, auto value) {
    char line[kLineCapacity];
    std::snprintf(line, sizeof line, format, value);
    return line;
}

}  // namespace

std::string overlayText(const OverlayStatus& status) {
    std::string text = status.volume
                           ? formatted("iso %.6g\n", status.iso)
                           : formatted("animation %s\n", status.animation ? "on" : "paused");
    text += formatted("%lld triangles\n", static_cast<long long>(status.triangles));
    text += formatted("%.1f fps\n", status.framesPerSecond);
    text += formatted("lighting %s", status.lighting ? "on" : "off");
    return text;
}

void FrameRate::tick(Clock::time_point now) {
    if (!started_) {
        started_ = true;
        periodStart_ = now;
        return;
    }
    ++framesInPeriod_;
    const Clock::duration elapsed = now - periodStart_;
    if (elapsed >= kPeriod) {
        perSecond_ = framesInPeriod_ / std::chrono::duration<double>(elapsed).count();
        framesInPeriod_ = 0;
        periodStart_ = now;
    }
}

FrameRate overlayFrameRate;

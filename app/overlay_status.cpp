#include "app/overlay_status.h"

#include <cstdio>

namespace {

constexpr size_t kLineCapacity = 64;

void append(std::string& text, const char* format, auto value) {
    char line[kLineCapacity];
    std::snprintf(line, sizeof line, format, value);
    text += line;
}

}  // namespace

void writeOverlayText(const OverlayStatus& status, std::string& text) {
    text.clear();
    if (status.volume) {
        append(text, "iso %.6g ", status.iso);
        append(text, "(data %.6g ", status.minimum);
        append(text, "to %.6g)\n", status.maximum);
    } else {
        append(text, "animation %s\n", status.animation ? "on" : "paused");
    }
    append(text, "%lld triangles\n", static_cast<long long>(status.triangles));
    append(text, "%.1f fps\n", status.framesPerSecond);
    append(text, "lighting %s\n", status.lighting ? "on" : "off");
    append(text, "faces %s, ", status.decidedFaces ? "decided" : "tabled");
    append(text, "%s, ", status.smoothShading ? "smooth" : "flat");
    append(text, "%s", status.vertexArrays ? "arrays" : "immediate");
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

#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// What the overlay says about the running program.
struct OverlayStatus {
    bool volume = false;  // the iso value and the range are shown only for a volume
    float iso = 0.0f;
    float minimum = 0.0f;  // the volume's data range
    float maximum = 0.0f;
    int64_t triangles = 0;
    double framesPerSecond = 0.0;
    bool lighting = true;
    bool animation = true;  // blobs only
    bool decidedFaces = true;
    bool smoothShading = false;
    bool vertexArrays = false;
};

// Replaces `text` with one line per fact, for example
//   "iso 127.5 (data 0 to 255)\n12345 triangles\n59.8 fps\nlighting on\n"
//   "faces decided, flat, immediate"
// and, for the blobs, "animation on" or "animation paused" in place of the
// iso value and range. Keeps `text`'s storage, so a kept string is not reallocated.
void writeOverlayText(const OverlayStatus& status, std::string& text);

// Frames per second, counted over whole periods of kPeriod: the rate of the
// last complete period, 0 until one is complete.
class FrameRate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPeriod = std::chrono::milliseconds(500);

    void tick(Clock::time_point now = Clock::now());
    double perSecond() const { return perSecond_; }

  private:
    bool started_ = false;
    Clock::time_point periodStart_{};
    int64_t framesInPeriod_ = 0;
    double perSecond_ = 0.0;
};

// The one instance, ticked by every frame.
extern FrameRate overlayFrameRate;

#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>

// Frame times for --timing. Every frame is split into three stages, and each
// stage's times go into a fixed-size histogram, so timing a frame allocates
// nothing however long the run: the median is read from the histogram
// (within about 1.1%), the slowest time is kept exactly.

enum class Stage : int32_t {
    kFieldStep,       // time step and field recomputation
    kSurfacePass,     // extraction and drawing of the surface
    kDrawingAndSwap,  // clear, lighting, camera, axes and presenting
};
inline constexpr int32_t kStageCount = 3;

using Duration = std::chrono::nanoseconds;

// Durations in log-spaced buckets: kBucketsPerDoubling per doubling from
// kSmallest up, kDoublings doublings in all (100 ns to about 7 minutes);
// shorter and longer times land in the first and last bucket.
class DurationHistogram {
  public:
    static constexpr int32_t kBucketsPerDoubling = 32;
    static constexpr int32_t kDoublings = 32;
    static constexpr int32_t kBucketCount = kBucketsPerDoubling * kDoublings;
    static constexpr Duration kSmallest{100};

    void add(Duration duration);
    int64_t count() const { return count_; }
    // The middle bucket's centre, never above slowest(); zero when empty.
    Duration median() const;
    Duration slowest() const { return slowest_; }

  private:
    std::array<int64_t, kBucketCount> counts_{};
    int64_t count_ = 0;
    Duration slowest_{0};
};

// Times frames on the steady clock. A frame calls startFrame(), then
// endStage() after each piece of work (a stage may end several times in one
// frame; its pieces add up), then endFrame().
class FrameTimer {
  public:
    using Clock = std::chrono::steady_clock;

    void startFrame();
    void endStage(Stage stage);
    void endFrame();

    int64_t frames() const { return frames_; }
    const DurationHistogram& stage(Stage stage) const {
        return stages_[static_cast<size_t>(stage)];
    }

    // One block: frames run, frames per second from the first frame's start
    // to the last frame's end, and each stage's median and slowest time.
    // Flushes `out`.
    void printReport(FILE* out) const;

  private:
    std::array<DurationHistogram, kStageCount> stages_;
    std::array<Duration, kStageCount> thisFrame_{};
    Clock::time_point firstStart_;
    Clock::time_point lastMark_;
    Clock::time_point lastEnd_;
    int64_t frames_ = 0;
};

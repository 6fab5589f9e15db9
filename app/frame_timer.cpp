#include "app/frame_timer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kStageNames[kStageCount] = {"field step", "surface pass", "drawing and swap"};
constexpr double kNanosecondsPerMillisecond = 1e6;

double milliseconds(Duration duration) {
    return static_cast<double>(duration.count()) / kNanosecondsPerMillisecond;
}

double seconds(Duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

void DurationHistogram::add(Duration duration) {
    const double ratio = static_cast<double>(duration.count()) / kSmallest.count();
    const double position = ratio <= 1.0 ? 0.0 : std::log2(ratio) * kBucketsPerDoubling;
    const auto bucket = static_cast<size_t>(std::min<double>(position, kBucketCount - 1));
    ++counts_[bucket];
    ++count_;
    slowest_ = std::max(slowest_, duration);
}

Duration DurationHistogram::median() const {
    if (count_ == 0) {
        return Duration{0};
    }
    const int64_t middle = (count_ + 1) / 2;  // the lower middle of an even count
    int64_t seen = 0;
    for (size_t bucket = 0; bucket < counts_.size(); ++bucket) {
        seen += counts_[bucket];
        if (seen >= middle) {
            const double centre =
                kSmallest.count() *
                std::exp2((static_cast<double>(bucket) + 0.5) / kBucketsPerDoubling);
            return std::min(Duration(static_cast<int64_t>(centre)), slowest_);
        }
    }
    return slowest_;  // not reached: the buckets hold count_ durations
}

void FrameTimer::startFrame() {
    lastMark_ = Clock::now();
    if (frames_ == 0) {
        firstStart_ = lastMark_;
    }
    thisFrame_.fill(Duration{0});
}

void FrameTimer::endStage(Stage stage) {
    const Clock::time_point now = Clock::now();
    thisFrame_[static_cast<size_t>(stage)] += now - lastMark_;
    lastMark_ = now;
}

void FrameTimer::endFrame() {
    for (size_t s = 0; s < stages_.size(); ++s) {
        stages_[s].add(thisFrame_[s]);
    }
    lastEnd_ = lastMark_;
    ++frames_;
}

void FrameTimer::printReport(FILE* out) const {
    if (frames_ == 0) {
        std::fprintf(out, "Timing: 0 frames run\n");
        std::fflush(out);
        return;
    }
    const double elapsed = seconds(lastEnd_ - firstStart_);
    std::fprintf(out, "Timing: %lld frames in %.3f s, %.1f frames per second\n",
                 static_cast<long long>(frames_), elapsed,
                 elapsed > 0.0 ? static_cast<double>(frames_) / elapsed : 0.0);
    for (size_t s = 0; s < stages_.size(); ++s) {
        std::fprintf(out, "  %-17s median %9.3f ms, slowest %9.3f ms\n", kStageNames[s],
                     milliseconds(stages_[s].median()), milliseconds(stages_[s].slowest()));
    }
    std::fflush(out);
}

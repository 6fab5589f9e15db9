#include <gtest/gtest.h>

#include <chrono>

#include "app/frame_timer.h"

namespace {

using std::chrono::microseconds;

// The median within one bucket, the slowest exact, and times beyond the
// range counted at its ends.
TEST(DurationHistogram, MedianIsWithinOneBucketAndTheSlowestIsExact) {
    DurationHistogram histogram;
    EXPECT_EQ(histogram.median(), Duration{0});
    for (int i = 1; i <= 99; ++i) {
        histogram.add(microseconds(100 * i));  // 0.1 ms to 9.9 ms; median 5 ms
    }
    histogram.add(std::chrono::hours(3));
    EXPECT_EQ(histogram.count(), 100);
    EXPECT_EQ(histogram.slowest(), std::chrono::hours(3));
    const double median = std::chrono::duration<double, std::micro>(histogram.median()).count();
    EXPECT_NEAR(median, 5000.0, 5000.0 * 0.011);
    DurationHistogram tiny;
    tiny.add(Duration{1});
    EXPECT_LE(tiny.median(), Duration{1}) << "never above the slowest";
}

}  // namespace

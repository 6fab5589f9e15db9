#include "app/iso_histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <ranges>

namespace {

Volume volumeOf(const std::vector<float>& samples) {
    Volume volume;
    volume.samples.allocate(SampleType::kFloat32, samples.size());
    volume.samples.store(SampleType::kFloat32, samples.data(), 0, samples.size());
    auto finite = samples | std::views::filter([](float s) { return std::isfinite(s); });
    const auto [low, high] = std::ranges::minmax(finite);
    volume.minimum = low;
    volume.maximum = high;
    return volume;
}

// The within-class variance of the samples split at `threshold`, straight
// from the samples: the quantity Otsu's threshold minimises.
double withinClassVariance(const std::vector<float>& samples, float threshold) {
    double sums[2][3] = {};  // per class: count, sum, sum of squares
    for (const float s : samples) {
        double* c = sums[s >= threshold];
        c[0] += 1.0;
        c[1] += s;
        c[2] += double{s} * s;
    }
    double variance = 0.0;
    for (const auto& c : sums) {
        variance += c[0] > 0.0 ? c[2] - c[1] * c[1] / c[0] : 0.0;
    }
    return variance;
}

// Samples of two or three random clusters at the histogram's bin centres,
// so that the binned and the exact variances agree: Otsu's threshold splits
// them no worse than any other bin boundary, and the counts hold every finite
// sample once. The maximum falls in the last bin.
TEST(IsoHistogram, OtsusThresholdSplitsAsWellAsAnyBoundary) {
    std::mt19937 random(7);
    for (int32_t trial = 0; trial < 30; ++trial) {
        std::vector<float> samples;
        const int32_t clusters = 2 + trial % 2;
        for (int32_t c = 0; c < clusters; ++c) {
            const int32_t centre = std::uniform_int_distribution<int32_t>(0, 127)(random);
            const int32_t count = std::uniform_int_distribution<int32_t>(10, 2000)(random);
            std::normal_distribution<double> spread(centre, 1 + trial % 9);
            for (int32_t i = 0; i < count; ++i) {
                samples.push_back(
                    static_cast<float>(std::clamp(std::lround(spread(random)), 0L, 127L)) + 0.5f);
            }
        }
        samples.push_back(std::nanf(""));
        Volume volume = volumeOf(samples);
        samples.pop_back();
        volume.minimum = 0.0f;  // bins one unit wide, the samples at their centres
        volume.maximum = 128.0f;
        const IsoHistogram histogram = histogramOf(volume);
        int64_t counted = 0;
        for (const int64_t count : histogram.counts) {
            counted += count;
        }
        EXPECT_EQ(counted, static_cast<int64_t>(samples.size()));
        EXPECT_EQ(histogram.counts.back(), std::ranges::count(samples, 127.5f));
        const double best = withinClassVariance(samples, otsuThreshold(histogram));
        for (int32_t boundary = 1; boundary < IsoHistogram::kBins; ++boundary) {
            EXPECT_LE(best, withinClassVariance(samples, static_cast<float>(boundary)) * 1.000001)
                << "trial " << trial << ", boundary " << boundary;
        }
    }
    EXPECT_EQ(otsuThreshold(histogramOf(volumeOf({5.0f, 5.0f}))), 5.0f);
    // Two values: halfway across the gap between them.
    EXPECT_EQ(otsuThreshold(histogramOf(volumeOf({-8.0f, 8.0f, 8.0f}))), 0.0f);
    EXPECT_EQ(histogramOf(volumeOf({1.0f, 2.0f, 3.0f})).counts.back(), 1);
}

}  // namespace

// Integer samples are binned by value: each kept integer type gives the
// histogram of the same values kept as floats, negative values and the type's
// extremes included.
TEST(IsoHistogram, IntegerSamplesBinAsTheirValues) {
    std::mt19937 random(11);
    const auto compare = [&]<class T>(SampleType type, T) {
        std::vector<T> samples(5000);
        std::uniform_int_distribution<int32_t> value(std::numeric_limits<T>::lowest(),
                                                     std::numeric_limits<T>::max());
        std::ranges::generate(samples, [&] { return static_cast<T>(value(random)); });
        samples[0] = std::numeric_limits<T>::lowest();
        samples[1] = std::numeric_limits<T>::max();
        Volume volume = volumeOf(std::vector<float>(samples.begin(), samples.end()));
        const IsoHistogram asFloats = histogramOf(volume);
        volume.samples.allocate(type, samples.size());
        volume.samples.store(type, samples.data(), 0, samples.size());
        EXPECT_EQ(histogramOf(volume).counts, asFloats.counts) << static_cast<int32_t>(type);
    };
    compare(SampleType::kUint8, uint8_t{});
    compare(SampleType::kInt8, int8_t{});
    compare(SampleType::kUint16, uint16_t{});
    compare(SampleType::kInt16, int16_t{});
}

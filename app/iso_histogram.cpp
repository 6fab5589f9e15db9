#include "app/iso_histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

float IsoHistogram::valueAt(double fraction) const {
    return static_cast<float>(minimum + fraction * (double{maximum} - minimum));
}

double IsoHistogram::fractionOf(float value) const {
    const double range = double{maximum} - minimum;
    return range > 0.0 ? (double{value} - minimum) / range : 0.0;
}

namespace {

void addToBin(IsoHistogram& histogram, float sample, int64_t count) {
    if (std::isfinite(sample)) {
        const double at = histogram.fractionOf(sample) * IsoHistogram::kBins;
        histogram.counts[std::clamp(static_cast<int32_t>(at), 0, IsoHistogram::kBins - 1)] += count;
    }
}

}  // namespace

// 8- and 16-bit samples have few distinct values: each is counted, then
// binned once, so a large volume costs one pass of increments.
IsoHistogram histogramOf(const Volume& volume) {
    IsoHistogram histogram;
    histogram.minimum = volume.minimum;
    histogram.maximum = volume.maximum;
    const size_t count = volume.samples.size();
    visitSamples(volume.samples.atIso(0.0f), [&](const auto* samples) {
        using Sample = std::remove_cvref_t<decltype(*samples)>;
        if constexpr (std::is_integral_v<Sample>) {
            using Bits = std::make_unsigned_t<Sample>;
            std::vector<int64_t> perValue(size_t{std::numeric_limits<Bits>::max()} + 1);
            for (size_t i = 0; i < count; ++i) {
                ++perValue[static_cast<Bits>(samples[i])];
            }
            for (size_t bits = 0; bits < perValue.size(); ++bits) {
                const auto value = static_cast<Sample>(static_cast<Bits>(bits));
                addToBin(histogram, static_cast<float>(value), perValue[bits]);
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                addToBin(histogram, samples[i], 1);
            }
        }
    });
    return histogram;
}

float otsuThreshold(const IsoHistogram& histogram) {
    constexpr int32_t kBins = IsoHistogram::kBins;
    double total = 0.0;
    double totalMoment = 0.0;  // in bins
    for (int32_t bin = 0; bin < kBins; ++bin) {
        total += static_cast<double>(histogram.counts[bin]);
        totalMoment += static_cast<double>(histogram.counts[bin]) * bin;
    }
    double below = 0.0;
    double belowMoment = 0.0;
    double bestVariance = 0.0;
    int32_t bestSplit = 0;
    int32_t lastTie = 0;  // empty bins give the best split's variance again
    for (int32_t split = 1; split < kBins; ++split) {
        below += static_cast<double>(histogram.counts[split - 1]);
        belowMoment += static_cast<double>(histogram.counts[split - 1]) * (split - 1);
        const double above = total - below;
        if (below == 0.0 || above == 0.0) {
            continue;
        }
        const double meanGap = belowMoment / below - (totalMoment - belowMoment) / above;
        const double variance = below * above * meanGap * meanGap;
        if (variance > bestVariance) {
            bestVariance = variance;
            bestSplit = lastTie = split;
        } else if (variance == bestVariance && lastTie == split - 1) {
            lastTie = split;
        }
    }
    // Across a gap in the data, its middle.
    return histogram.valueAt((bestSplit + lastTie) / 2.0 / kBins);
}

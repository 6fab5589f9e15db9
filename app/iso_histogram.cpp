#include "app/iso_histogram.h"

#include <algorithm>
#include <cmath>

float IsoHistogram::valueAt(double fraction) const {
    return static_cast<float>(minimum + fraction * (double{maximum} - minimum));
}

double IsoHistogram::fractionOf(float value) const {
    const double range = double{maximum} - minimum;
    return range > 0.0 ? (double{value} - minimum) / range : 0.0;
}

IsoHistogram histogramOf(const Volume& volume) {
    IsoHistogram histogram;
    histogram.minimum = volume.minimum;
    histogram.maximum = volume.maximum;
    for (size_t i = 0; i < volume.samples.size(); ++i) {
        const float sample = volume.samples[i];
        if (std::isfinite(sample)) {
            const double at = histogram.fractionOf(sample) * IsoHistogram::kBins;
            ++histogram.counts[std::clamp(static_cast<int32_t>(at), 0, IsoHistogram::kBins - 1)];
        }
    }
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

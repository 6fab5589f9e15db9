#pragma once

#include <array>
#include <cstdint>

#include "field/volume.h"

// How a volume's finite samples spread over its range: kBins equal bins from
// the minimum to the maximum (the maximum in the last bin). What the overlay
// draws and where the start iso value is looked for.
struct IsoHistogram {
    static constexpr int32_t kBins = 128;

    std::array<int64_t, kBins> counts{};
    float minimum = 0.0f;
    float maximum = 0.0f;

    // The value at `fraction` (0 to 1) of the range.
    float valueAt(double fraction) const;
    // Where `value` lies in the range: 0 at the minimum, 1 at the maximum,
    // outside [0, 1] beyond them; 0 for a range of one value.
    double fractionOf(float value) const;
};

IsoHistogram histogramOf(const Volume& volume);

// Otsu's threshold: the bin boundary that splits the samples into the two
// classes with the largest variance between them, as an iso value; where
// several boundaries in a row do as well (bins between them empty), the
// middle of them. The minimum when every sample falls in one bin.
float otsuThreshold(const IsoHistogram& histogram);

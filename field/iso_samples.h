#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "field/sample_type.h"

// A volume's samples in the type they are kept in, read at an iso value: the
// grid value of a sample is isoDifference(its value, iso), so the grid's zero
// level is the volume's iso-surface and a sample is inside when its value >=
// iso. Nothing is written when the iso value changes.
struct IsoSamples {
    const void* data = nullptr;              // null: no volume
    SampleType type = SampleType::kFloat32;  // kUint8, kInt8, kUint16, kInt16 or kFloat32
    float iso = 0.0f;
};

// A finite value's difference from iso, formed in double, as the grid's float.
inline float gridValueOf(double difference) {
    constexpr double kLowest = std::numeric_limits<float>::lowest();
    constexpr double kHighest = std::numeric_limits<float>::max();
    constexpr double kSmallestInside = std::numeric_limits<float>::min();
    return static_cast<float>(difference == 0.0 ? kSmallestInside
                                                : std::clamp(difference, kLowest, kHighest));
}

// value - iso, formed in double and kept within the finite floats. A value
// equal to iso gives the smallest normal float, not 0: the crossing-cell
// search takes 0 as neither side, and would drop every cell of a plateau at
// the iso value (a label volume at iso 1 would show nothing); the vertex
// still lands on the sample. NaN and infinite values give the lowest float:
// outside at every iso value, and still a finite end for the edge
// interpolation.

inline float isoDifference(float value, float iso) {
    return std::isfinite(value) ? gridValueOf(double{value} - iso)
                                : std::numeric_limits<float>::lowest();
}

// The same for a sample of a kept type. 8- and 16-bit integers are finite
// and exact as floats, and their difference from a float iso value rounds to
// the same float whether it is formed in double or in float, so they skip
// the test and the conversions to double.
template <class T>
float isoDifferenceOf(T sample, float iso) {
    if constexpr (std::is_integral_v<T>) {
        static_assert(sizeof(T) <= 2, "wider integers are not exact as floats");
        const float difference = static_cast<float>(sample) - iso;
        return difference == 0.0f ? std::numeric_limits<float>::min()
                                  : std::clamp(difference, std::numeric_limits<float>::lowest(),
                                               std::numeric_limits<float>::max());
    } else {
        return isoDifference(sample, iso);
    }
}

// Calls f(samples) with the samples as a pointer to their C++ type.
template <class F>
decltype(auto) visitSamples(const IsoSamples& samples, F&& f) {
    switch (samples.type) {
        case SampleType::kUint8:
            return f(static_cast<const uint8_t*>(samples.data));
        case SampleType::kInt8:
            return f(static_cast<const int8_t*>(samples.data));
        case SampleType::kUint16:
            return f(static_cast<const uint16_t*>(samples.data));
        case SampleType::kInt16:
            return f(static_cast<const int16_t*>(samples.data));
        default:
            return f(static_cast<const float*>(samples.data));
    }
}

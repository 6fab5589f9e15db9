#pragma once

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "field/volume.h"

// Test volumes: values stored as any sample type, and a sphere sampled on a
// grid. The sphere's value falls by kSphereSlope per physical unit of
// distance from the centre and equals kSphereIso at the radius, so the
// iso-surface at kSphereIso is the sphere, whatever the spacing.
inline constexpr double kSphereIso = 100.0;
inline constexpr double kSphereSlope = 4.0;

// A value of the C++ type of each SampleType, in the enum's order.
inline constexpr std::variant<uint8_t, int8_t, uint16_t, int16_t, uint32_t, int32_t, float, double>
    kSampleTypeOf[] = {uint8_t{},  int8_t{},  uint16_t{}, int16_t{},
                       uint32_t{}, int32_t{}, 0.0f,       0.0};

// Values stored as one sample type, and the float each stored value stands for.
struct StoredSamples {
    std::vector<unsigned char> bytes;  // in the host's byte order
    std::vector<float> floats;
};

// `values` as `type`: clamped to its range, rounded to integers for integer types.
inline StoredSamples storeAs(SampleType type, const std::vector<double>& values) {
    StoredSamples stored;
    std::visit(
        [&]<class T>(T) {
            for (const double value : values) {
                const double inRange = std::clamp(value, double{std::numeric_limits<T>::lowest()},
                                                  double{std::numeric_limits<T>::max()});
                const T sample =
                    static_cast<T>(std::is_integral_v<T> ? std::round(inRange) : inRange);
                const auto* raw = reinterpret_cast<const unsigned char*>(&sample);
                stored.bytes.insert(stored.bytes.end(), raw, raw + sizeof(T));
                stored.floats.push_back(static_cast<float>(sample));
            }
        },
        kSampleTypeOf[static_cast<size_t>(type)]);
    return stored;
}

struct SphereVolume {
    std::array<int32_t, 3> sizes{};
    std::array<double, 3> spacing{1.0, 1.0, 1.0};
    double radius = 0.0;  // physical units, centred in the grid's box
};

// The sphere's samples as `type`, x fastest; int8 samples are stored shifted
// down by kSphereIso, to stay within its range.
inline std::vector<unsigned char> sphereBytes(const SphereVolume& s, SampleType type) {
    const auto& [nx, ny, nz] = s.sizes;
    std::vector<double> values;
    for (int64_t n = 0; n < int64_t{nx} * ny * nz; ++n) {
        const int64_t index[3] = {n % nx, n / nx % ny, n / nx / ny};
        double squared = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            const double offset = (index[axis] - (s.sizes[axis] - 1) / 2.0) * s.spacing[axis];
            squared += offset * offset;
        }
        const double value = kSphereIso + kSphereSlope * (s.radius - std::sqrt(squared));
        values.push_back(type == SampleType::kInt8 ? value - kSphereIso : value);
    }
    return storeAs(type, values).bytes;
}

inline bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file.flush().good();
}

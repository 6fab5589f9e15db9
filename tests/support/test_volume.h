#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "field/volume.h"

// Test volumes: a sphere sampled on a grid, written as raw little-endian
// bytes of any sample type. The value falls by kSphereSlope per physical unit
// of distance from the centre and equals kSphereIso at the radius, so the
// iso-surface at kSphereIso is the sphere, whatever the spacing.
inline constexpr double kSphereIso = 100.0;
inline constexpr double kSphereSlope = 4.0;

struct SphereVolume {
    std::array<int32_t, 3> sizes{};
    std::array<double, 3> spacing{1.0, 1.0, 1.0};
    double radius = 0.0;  // physical units, centred in the grid's box
};

inline double sphereValue(const SphereVolume& s, int32_t i, int32_t j, int32_t k) {
    const int32_t index[3] = {i, j, k};
    double squared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double offset = (index[axis] - (s.sizes[axis] - 1) / 2.0) * s.spacing[axis];
        squared += offset * offset;
    }
    return kSphereIso + kSphereSlope * (s.radius - std::sqrt(squared));
}

// The samples as `type`, x fastest, rounded and clamped to the type's range.
template <class T>
void appendAs(double value, std::vector<unsigned char>& bytes) {
    T stored;
    if constexpr (std::numeric_limits<T>::is_integer) {
        stored = static_cast<T>(std::clamp(std::round(value), double{std::numeric_limits<T>::min()},
                                           double{std::numeric_limits<T>::max()}));
    } else {
        stored = static_cast<T>(value);
    }
    const auto* raw = reinterpret_cast<const unsigned char*>(&stored);
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

inline std::vector<unsigned char> sphereBytes(const SphereVolume& s, SampleType type) {
    std::vector<unsigned char> bytes;
    for (int32_t k = 0; k < s.sizes[2]; ++k) {
        for (int32_t j = 0; j < s.sizes[1]; ++j) {
            for (int32_t i = 0; i < s.sizes[0]; ++i) {
                const double v = sphereValue(s, i, j, k);
                switch (type) {
                    case SampleType::kUint8:
                        appendAs<uint8_t>(v, bytes);
                        break;
                    case SampleType::kInt8:
                        appendAs<int8_t>(v - kSphereIso, bytes);
                        break;
                    case SampleType::kUint16:
                        appendAs<uint16_t>(v, bytes);
                        break;
                    case SampleType::kInt16:
                        appendAs<int16_t>(v, bytes);
                        break;
                    case SampleType::kUint32:
                        appendAs<uint32_t>(v, bytes);
                        break;
                    case SampleType::kInt32:
                        appendAs<int32_t>(v, bytes);
                        break;
                    case SampleType::kFloat32:
                        appendAs<float>(v, bytes);
                        break;
                    case SampleType::kFloat64:
                        appendAs<double>(v, bytes);
                        break;
                }
            }
        }
    }
    return bytes;
}

// The iso value of the sphere in `type`'s samples (int8 is stored shifted
// down by kSphereIso, to stay within its range).
inline float sphereIsoFor(SampleType type) {
    return type == SampleType::kInt8 ? 0.0f : static_cast<float>(kSphereIso);
}

inline bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

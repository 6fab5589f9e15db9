#include "field/volume.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

struct TypeInfo {
    SampleType type;
    std::string_view name;
    size_t size;
};

constexpr std::array kTypes{
    TypeInfo{SampleType::kUint8, "uint8", 1},     TypeInfo{SampleType::kInt8, "int8", 1},
    TypeInfo{SampleType::kUint16, "uint16", 2},   TypeInfo{SampleType::kInt16, "int16", 2},
    TypeInfo{SampleType::kUint32, "uint32", 4},   TypeInfo{SampleType::kInt32, "int32", 4},
    TypeInfo{SampleType::kFloat32, "float32", 4}, TypeInfo{SampleType::kFloat64, "float64", 8},
};

const TypeInfo& infoOf(SampleType type) {
    return *std::ranges::find(kTypes, type, &TypeInfo::type);
}

// memcpy, because the bytes need not be aligned for T.
template <class T>
void convertAs(const void* bytes, size_t count, float* out) {
    const auto* source = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        T value;
        std::memcpy(&value, source + i * sizeof(T), sizeof(T));
        out[i] = static_cast<float>(value);
    }
}

}  // namespace

std::string_view sampleTypeName(SampleType type) {
    return infoOf(type).name;
}

size_t sampleTypeSize(SampleType type) {
    return infoOf(type).size;
}

bool findSampleType(std::string_view name, SampleType& type) {
    const auto found = std::ranges::find(kTypes, name, &TypeInfo::name);
    if (found == kTypes.end()) {
        return false;
    }
    type = found->type;
    return true;
}

void convertSamples(SampleType type, const void* bytes, size_t count, float* out) {
    switch (type) {
        case SampleType::kUint8:
            return convertAs<uint8_t>(bytes, count, out);
        case SampleType::kInt8:
            return convertAs<int8_t>(bytes, count, out);
        case SampleType::kUint16:
            return convertAs<uint16_t>(bytes, count, out);
        case SampleType::kInt16:
            return convertAs<int16_t>(bytes, count, out);
        case SampleType::kUint32:
            return convertAs<uint32_t>(bytes, count, out);
        case SampleType::kInt32:
            return convertAs<int32_t>(bytes, count, out);
        case SampleType::kFloat32:
            return convertAs<float>(bytes, count, out);
        case SampleType::kFloat64:
            return convertAs<double>(bytes, count, out);
    }
}

bool countSamples(const std::array<uint64_t, 3>& sizes, uint64_t& count, std::string& problem) {
    constexpr auto kLimit = static_cast<uint64_t>(ScalarGrid::kMaxSamples);
    count = 1;
    for (const uint64_t size : sizes) {
        // Checked before multiplying, so the count cannot wrap.
        if (size == 0 || count > kLimit / size) {
            problem = std::to_string(sizes[0]) + "x" + std::to_string(sizes[1]) + "x" +
                      std::to_string(sizes[2]) + " samples are more than the " +
                      std::to_string(kLimit) + " a grid can hold";
            return false;
        }
        count *= size;
    }
    return true;
}

void writeIsoSamples(const Volume& volume, float iso, ScalarGrid& grid) {
    constexpr double kLowest = std::numeric_limits<float>::lowest();
    constexpr double kHighest = std::numeric_limits<float>::max();
    constexpr double kSmallestInside = std::numeric_limits<float>::min();
    const size_t count = volume.samples.size();
    for (size_t i = 0; i < count; ++i) {
        const float value = volume.samples[i];
        const double difference = std::isfinite(value) ? double{value} - iso : kLowest;
        grid.data[i] = static_cast<float>(
            difference == 0.0 ? kSmallestInside : std::clamp(difference, kLowest, kHighest));
    }
}

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

SampleType VolumeSamples::keptType(SampleType fileType) {
    switch (fileType) {
        case SampleType::kUint32:
        case SampleType::kInt32:
        case SampleType::kFloat64:
            return SampleType::kFloat32;
        default:
            return fileType;
    }
}

size_t VolumeSamples::bytes() const {
    return count_ * sampleTypeSize(type_);
}

bool VolumeSamples::allocate(SampleType fileType, size_t count) {
    type_ = keptType(fileType);
    // malloc leaves the pages untouched until the samples are stored.
    data_.reset(std::malloc(std::max<size_t>(count * sampleTypeSize(type_), 1)));
    count_ = data_ ? count : 0;
    return data_ != nullptr;
}

void VolumeSamples::store(SampleType fileType, const void* bytes, size_t first, size_t count) {
    auto* out = static_cast<unsigned char*>(data()) + first * sampleTypeSize(type_);
    if (fileType == type_) {
        std::memcpy(out, bytes, count * sampleTypeSize(type_));
    } else {
        convertSamples(fileType, bytes, count, reinterpret_cast<float*>(out));
    }
}

void VolumeSamples::adopt(SampleType fileType, void* bytes, size_t count) {
    data_.reset(bytes);
    type_ = keptType(fileType);
    count_ = count;
    if (fileType == type_) {
        return;
    }
    // Front to back, a chunk at a time: no sample is narrower than a float,
    // so a chunk's floats end at or before where the next chunk's samples
    // start.
    auto* source = static_cast<unsigned char*>(bytes);
    auto* out = reinterpret_cast<float*>(source);
    constexpr size_t kChunk = 4096;
    const size_t size = sampleTypeSize(fileType);
    for (size_t first = 0; first < count; first += kChunk) {
        float converted[kChunk];
        const size_t n = std::min(kChunk, count - first);
        convertSamples(fileType, source + first * size, n, converted);
        std::memcpy(out + first, converted, n * sizeof(float));
    }
    // Hands the spare bytes back; a failure keeps the larger block.
    if (void* shrunk = std::realloc(bytes, std::max<size_t>(count * sizeof(float), 1))) {
        data_.release();
        data_.reset(shrunk);
    }
}

float VolumeSamples::operator[](size_t i) const {
    return visitSamples(atIso(0.0f),
                        [i](const auto* samples) { return static_cast<float>(samples[i]); });
}

bool readAtIso(const Volume& volume, float iso, ScalarGrid& grid) {
    return grid.readVolume(volume.sizes[0], volume.sizes[1], volume.sizes[2],
                           volume.samples.atIso(iso));
}

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

// The sample types a volume file may hold.
enum class SampleType { kUint8, kInt8, kUint16, kInt16, kUint32, kInt32, kFloat32, kFloat64 };
inline constexpr size_t kSampleTypeCount = 8;

// A file library's codes for the sample types, in SampleType's order.
template <class Code>
using SampleTypeCodes = std::array<Code, kSampleTypeCount>;

// The sample type a library's `code` stands for, or none.
template <class Code>
std::optional<SampleType> sampleTypeFor(const SampleTypeCodes<Code>& codes, Code code) {
    const auto found = std::find(codes.begin(), codes.end(), code);
    if (found == codes.end()) {
        return std::nullopt;
    }
    return static_cast<SampleType>(found - codes.begin());
}

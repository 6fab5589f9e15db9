#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field/scalar_grid.h"

// A volume read from a file, its samples converted once to float.
//
// Sample (i, j, k) is samples[i + nx*j + nx*ny*k], the layout of ScalarGrid.
// NaN and infinite samples are kept as read; writeIsoSamples puts them
// outside the surface.
struct Volume {
    std::vector<float> samples;
    std::array<int32_t, 3> sizes{};                  // samples along x, y, z
    std::array<float, 3> spacing{1.0f, 1.0f, 1.0f};  // physical size of a sample step
    float minimum = 0.0f;                            // over the finite samples
    float maximum = 0.0f;

    // The default iso value: the middle of the data's range.
    // Formed in double: the range of floats near the limits overflows a float.
    float middleValue() const {
        return static_cast<float>(double{minimum} + (double{maximum} - minimum) / 2.0);
    }
};

// The sample types a volume file may hold.
enum class SampleType { kUint8, kInt8, kUint16, kInt16, kUint32, kInt32, kFloat32, kFloat64 };

// The type's name in raw file names and --type ("uint8" ... "float64"), and
// its size in bytes.
std::string_view sampleTypeName(SampleType type);
size_t sampleTypeSize(SampleType type);
// Finds the type named `name`; false for any other name.
bool findSampleType(std::string_view name, SampleType& type);

// The number of samples of a volume with `sizes` samples along its axes
// (each at least 1), when they are no more than ScalarGrid::kMaxSamples;
// otherwise false, with `problem` saying so. The product never wraps.
bool countSamples(const std::array<uint64_t, 3>& sizes, uint64_t& count, std::string& problem);

// Converts `count` samples of `type`, stored in the host's byte order at
// `bytes`, to float: integers and doubles are rounded to the nearest float.
void convertSamples(SampleType type, const void* bytes, size_t count, float* out);

// Rewrites every sample of `grid`, which must have the volume's sizes, as
// value - iso (formed in double, kept within the finite floats), so the
// grid's zero level is the volume's iso-surface and a sample is inside when
// its value >= iso. A sample equal to iso becomes the smallest normal float,
// not 0: the crossing-cell search takes 0 as neither side, and would drop
// every cell of a plateau at the iso value (a label volume at iso 1 would
// show nothing); the vertex still lands on the sample. NaN and infinite
// samples become the lowest float: outside at every iso value, and still a
// finite end for the edge interpolation.
void writeIsoSamples(const Volume& volume, float iso, ScalarGrid& grid);

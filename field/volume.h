#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "field/iso_samples.h"
#include "field/sample_type.h"
#include "field/scalar_grid.h"
#include "field/world_transform.h"

// A volume's samples, held once: 8- and 16-bit integers and float32 in the
// file's own type, wider integers and float64 as the nearest float32 (the
// value every reader takes them for), so no type takes more memory than in
// its file. NaN and infinite samples are kept as read; IsoSamples puts them
// outside the surface.
class VolumeSamples {
  public:
    // The type samples of `fileType` are kept in.
    static SampleType keptType(SampleType fileType);

    // Uninitialised room for `count` samples of keptType(fileType), to be
    // filled by store(); false, holding nothing, when there is no memory.
    bool allocate(SampleType fileType, size_t count);
    // Stores `count` samples of `fileType` from `bytes` (host byte order, no
    // alignment needed) at sample `first`, converting where needed.
    void store(SampleType fileType, const void* bytes, size_t first, size_t count);
    // Takes over `count` samples of `fileType` that std::malloc allocated
    // (a decoder's buffer), converting them in place: no second copy.
    void adopt(SampleType fileType, void* bytes, size_t count);

    SampleType type() const { return type_; }
    size_t size() const { return count_; }
    size_t bytes() const;
    const void* data() const { return data_.get(); }
    void* data() { return data_.get(); }
    // Sample i's value as a float.
    float operator[](size_t i) const;
    IsoSamples atIso(float iso) const { return {data(), type_, iso}; }

  private:
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<void, Free> data_;
    SampleType type_ = SampleType::kFloat32;
    size_t count_ = 0;
};

// A volume read from a file.
//
// Sample (i, j, k) is samples[i + nx*j + nx*ny*k], the layout of ScalarGrid.
struct Volume {
    VolumeSamples samples;
    std::array<int32_t, 3> sizes{};                  // samples along x, y, z
    std::array<float, 3> spacing{1.0f, 1.0f, 1.0f};  // physical size of a sample step
    IndexToWorld toWorld;  // its axes' lengths are `spacing`; see placeInWorld
    // The unit of the world frame and the spacings as the file names it
    // ("mm"), or "" when the file does not say.
    std::string unit;
    std::string note;      // how it was read, where the user should know (one line), or ""
    float minimum = 0.0f;  // over the finite samples
    float maximum = 0.0f;

    // Sets the index-to-world transform, and the spacings as its axes' lengths.
    void placeInWorld(const IndexToWorld& transform) {
        toWorld = transform;
        spacing = transform.spacing();
    }

    // The default iso value: the middle of the data's range.
    // Formed in double: the range of floats near the limits overflows a float.
    float middleValue() const {
        return static_cast<float>(double{minimum} + (double{maximum} - minimum) / 2.0);
    }
};

// Asked, before the data are read, whether a volume whose samples take
// `nativeBytes` in the file's own type may be loaded: they are read into one
// block of that size, kept as they are or converted in place (see
// VolumeSamples::adopt). Sets `problem` when not.
using VolumeSizeCheck = std::function<bool(uint64_t nativeBytes, std::string& problem)>;

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

// Makes `grid` read the volume's samples at `iso` (see IsoSamples); false
// when the volume holds no samples.
bool readAtIso(const Volume& volume, float iso, ScalarGrid& grid);

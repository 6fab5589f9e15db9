#pragma once

#include <cstdint>

#include "field/iso_samples.h"

// A regular grid of float samples, one grid unit per sample step: its own
// (`data`, the blobs), or a volume's samples read at an iso value (`volume`,
// see IsoSamples), which the grid borrows instead of copying them.
//
// Sample (i, j, k) (i along x, j along y, k along z) is stored at
//   data[i + nx*j + sliceSize*k],  sliceSize = nx*ny,
// so x varies fastest, then y, then z. Valid indices are 0 <= i < nx,
// 0 <= j < ny, 0 <= k < nz; readSample and writeSample check them (as signed
// integers) and quietly ignore anything outside, or a grid without samples.
//
// The grid owns its own storage and releases it at destruction; it cannot be
// copied or moved, so no two grids ever share their own samples.
struct ScalarGrid {
    static constexpr float kDefaultSpacing = 10.0f;
    // Largest number of samples a grid may hold: every index fits an int32_t.
    static constexpr int64_t kMaxSamples = INT32_MAX;

    float* data = nullptr;  // null while the grid has no storage of its own
    IsoSamples volume;      // the borrowed samples when data is null
    int32_t nx = 0;
    int32_t ny = 0;
    int32_t nz = 0;
    int32_t sliceSize = 0;  // nx * ny: the index step of one sample along z
    // Kept for the record only: all geometry is in grid units.
    float spacingX = kDefaultSpacing;
    float spacingY = kDefaultSpacing;
    float spacingZ = kDefaultSpacing;

    ScalarGrid() = default;
    ~ScalarGrid();
    ScalarGrid(const ScalarGrid&) = delete;
    ScalarGrid& operator=(const ScalarGrid&) = delete;

    // Releases any previous storage, then obtains uninitialised storage for
    // sizeX * sizeY * sizeZ samples. Sizes below 1, or more than kMaxSamples
    // samples in all, are refused, as is a size there is not memory enough
    // for: the grid is then left empty (no storage, all sizes 0) and false is
    // returned.
    bool allocate(int32_t sizeX, int32_t sizeY, int32_t sizeZ);

    // Releases any storage of its own and reads the sizeX * sizeY * sizeZ
    // samples of `samples` instead, laid out as the grid's own; they must
    // outlive their use here. Sizes as allocate, which checks them alike.
    bool readVolume(int32_t sizeX, int32_t sizeY, int32_t sizeZ, const IsoSamples& samples);
    // Whether the grid has samples, its own or a volume's.
    bool hasSamples() const { return data != nullptr || volume.data != nullptr; }

    // The value at data index `index` (unchecked): the own sample, or the
    // volume's sample's isoDifference.
    float valueAt(int64_t index) const {
        if (data != nullptr) {
            return data[index];
        }
        return visitSamples(volume, [&](const auto* samples) {
            return isoDifferenceOf(samples[index], volume.iso);
        });
    }

    // Copies the value at (i, j, k) into `out`; leaves `out` unchanged when
    // the grid has no samples or the index is outside it.
    void readSample(int32_t i, int32_t j, int32_t k, float& out) const;
    // Stores `value` at (i, j, k); does nothing when the grid has no storage
    // of its own or the index is outside it.
    void writeSample(int32_t i, int32_t j, int32_t k, float value);

    int64_t sampleCount() const { return int64_t{sliceSize} * nz; }

  private:
    bool holds(int32_t i, int32_t j, int32_t k) const;
    bool takeSizes(int32_t sizeX, int32_t sizeY, int32_t sizeZ);
    int32_t indexOf(int32_t i, int32_t j, int32_t k) const { return i + nx * j + sliceSize * k; }
    void release();
};

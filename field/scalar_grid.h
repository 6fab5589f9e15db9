#pragma once

#include <cstdint>

// A regular grid of float samples, one grid unit per sample step.
//
// Sample (i, j, k) (i along x, j along y, k along z) is stored at
//   data[i + nx*j + sliceSize*k],  sliceSize = nx*ny,
// so x varies fastest, then y, then z. Valid indices are 0 <= i < nx,
// 0 <= j < ny, 0 <= k < nz; readSample and writeSample check them (as signed
// integers) and quietly ignore anything outside, or a grid without storage.
//
// The grid owns its storage and releases it at destruction; it cannot be
// copied or moved, so no two grids ever share samples.
struct ScalarGrid {
    static constexpr float kDefaultSpacing = 10.0f;
    // Largest number of samples a grid may hold: every index fits an int32_t.
    static constexpr int64_t kMaxSamples = INT32_MAX;

    float* data = nullptr;  // null while the grid has no storage
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

    // Copies sample (i, j, k) into `out`; leaves `out` unchanged when the
    // grid has no storage or the index is outside it.
    void readSample(int32_t i, int32_t j, int32_t k, float& out) const;
    // Stores `value` at (i, j, k); does nothing when the grid has no storage
    // or the index is outside it.
    void writeSample(int32_t i, int32_t j, int32_t k, float value);

    int64_t sampleCount() const { return int64_t{sliceSize} * nz; }

  private:
    bool holds(int32_t i, int32_t j, int32_t k) const;
    int32_t indexOf(int32_t i, int32_t j, int32_t k) const { return i + nx * j + sliceSize * k; }
    void release();
};

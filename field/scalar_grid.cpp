#include "field/scalar_grid.h"

#include <cstddef>
#include <new>

ScalarGrid::~ScalarGrid() {
    release();
}

bool ScalarGrid::allocate(int32_t sizeX, int32_t sizeY, int32_t sizeZ) {
    release();
    if (sizeX < 1 || sizeY < 1 || sizeZ < 1) {
        return false;
    }
    // Checked in 64 bits so that no product below can overflow.
    const int64_t samples = int64_t{sizeX} * sizeY * sizeZ;
    if (samples > kMaxSamples) {
        return false;
    }
    try {
        data = new float[static_cast<std::size_t>(samples)];
    } catch (const std::bad_alloc&) {
        return false;
    }
    nx = sizeX;
    ny = sizeY;
    nz = sizeZ;
    sliceSize = sizeX * sizeY;
    return true;
}

void ScalarGrid::readSample(int32_t i, int32_t j, int32_t k, float& out) const {
    if (holds(i, j, k)) {
        out = data[indexOf(i, j, k)];
    }
}

void ScalarGrid::writeSample(int32_t i, int32_t j, int32_t k, float value) {
    if (holds(i, j, k)) {
        data[indexOf(i, j, k)] = value;
    }
}

bool ScalarGrid::holds(int32_t i, int32_t j, int32_t k) const {
    return data != nullptr && i >= 0 && i < nx && j >= 0 && j < ny && k >= 0 && k < nz;
}

void ScalarGrid::release() {
    delete[] data;
    data = nullptr;
    nx = 0;
    ny = 0;
    nz = 0;
    sliceSize = 0;
}

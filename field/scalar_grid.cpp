#include "field/scalar_grid.h"

#include <cstddef>
#include <new>

ScalarGrid::~ScalarGrid() {
    release();
}

bool ScalarGrid::takeSizes(int32_t sizeX, int32_t sizeY, int32_t sizeZ) {
    release();
    // Checked in 64 bits so that no product below can overflow.
    if (sizeX < 1 || sizeY < 1 || sizeZ < 1 || int64_t{sizeX} * sizeY * sizeZ > kMaxSamples) {
        return false;
    }
    nx = sizeX;
    ny = sizeY;
    nz = sizeZ;
    sliceSize = sizeX * sizeY;
    return true;
}

bool ScalarGrid::allocate(int32_t sizeX, int32_t sizeY, int32_t sizeZ) {
    if (!takeSizes(sizeX, sizeY, sizeZ)) {
        return false;
    }
    try {
        data = new float[static_cast<std::size_t>(sampleCount())];
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    return true;
}

bool ScalarGrid::readVolume(int32_t sizeX, int32_t sizeY, int32_t sizeZ,
                            const IsoSamples& samples) {
    if (samples.data == nullptr || !takeSizes(sizeX, sizeY, sizeZ)) {
        return false;
    }
    volume = samples;
    return true;
}

void ScalarGrid::readSample(int32_t i, int32_t j, int32_t k, float& out) const {
    if (holds(i, j, k) && hasSamples()) {
        out = valueAt(indexOf(i, j, k));
    }
}

void ScalarGrid::writeSample(int32_t i, int32_t j, int32_t k, float value) {
    if (holds(i, j, k) && data != nullptr) {
        data[indexOf(i, j, k)] = value;
    }
}

bool ScalarGrid::holds(int32_t i, int32_t j, int32_t k) const {
    return i >= 0 && i < nx && j >= 0 && j < ny && k >= 0 && k < nz;
}

void ScalarGrid::release() {
    delete[] data;
    data = nullptr;
    volume = {};
    nx = 0;
    ny = 0;
    nz = 0;
    sliceSize = 0;
}

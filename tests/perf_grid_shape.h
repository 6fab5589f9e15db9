#pragma once

#include <cstdint>
#include <string>

// A grid's sample counts, for tests run over many grid shapes.
struct GridShape {
    int32_t nx;
    int32_t ny;
    int32_t nz;
};

// "40x17x23": names a parameterised test case.
inline std::string nameOf(const GridShape& shape) {
    return std::to_string(shape.nx) + "x" + std::to_string(shape.ny) + "x" +
           std::to_string(shape.nz);
}

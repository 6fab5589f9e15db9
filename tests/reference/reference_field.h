#pragma once

// The blob field as six plain passes over the whole grid, one square root per
// sample and pass, through readSample and writeSample: the obviously-correct
// version the fast field step is checked against bit for bit.

#include <cmath>
#include <cstdint>

#include "field/metaball_field.h"
#include "field/scalar_grid.h"

namespace reference {

inline float distanceTo(const float centre[3], int32_t i, int32_t j, int32_t k) {
    const double dx = static_cast<double>(i) - static_cast<double>(centre[0]);
    const double dy = static_cast<double>(j) - static_cast<double>(centre[1]);
    const double dz = static_cast<double>(k) - static_cast<double>(centre[2]);
    const float squared = static_cast<float>(dx * dx + dy * dy + dz * dz);
    return std::sqrt(squared);
}

inline float withBlobTerm(float current, float d, float r) {
    constexpr float kNearCentre = 0.1f;
    if (d <= kNearCentre) {
        const double cappedTerm = static_cast<double>(r) / static_cast<double>(kNearCentre);
        return static_cast<float>(static_cast<double>(current) + cappedTerm);
    }
    const float q = (r - d) / d;
    const float term = q > 0.0f ? q : 0.0f;
    return current + term;
}

inline void addBlob(ScalarGrid& grid, const float centre[3], float r) {
    for (int32_t i = 0; i < grid.nx; ++i) {
        for (int32_t j = 0; j < grid.ny; ++j) {
            for (int32_t k = 0; k < grid.nz; ++k) {
                const float d = distanceTo(centre, i, j, k);
                if (!(d < r)) {
                    continue;
                }
                float current = 0.0f;
                grid.readSample(i, j, k, current);
                grid.writeSample(i, j, k, withBlobTerm(current, d, r));
            }
        }
    }
}

inline void updateMetaballField(ScalarGrid& grid, float animationTime) {
    if (grid.data == nullptr) {
        return;
    }
    for (int64_t s = 0; s < grid.sampleCount(); ++s) {
        grid.data[s] = kFieldBackground;
    }
    const double t = animationTime;
    const auto swing = [](int32_t size, double phase) {
        return static_cast<float>(size * 0.5 + size * 0.4 * phase);
    };
    const float values[3] = {swing(grid.nx, std::sin(t * 0.1)), swing(grid.ny, std::cos(t * 0.2)),
                             swing(grid.nz, std::sin(t * 0.15 + 1.0))};
    const int32_t orders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}, {1, 0, 2}, {0, 2, 1}};
    const float r = static_cast<float>(grid.nx / 4);
    for (const auto& order : orders) {
        const float centre[3] = {values[order[0]], values[order[1]], values[order[2]]};
        addBlob(grid, centre, r);
    }
}

}  // namespace reference

#include "field/metaball_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// u, v, w in this order.
using CentreValues = std::array<float, 3>;

// Each blob's centre (x, y, z) as indices into CentreValues: all six orderings.
constexpr int32_t kBlobCount = 6;
constexpr int32_t kBlobCentreOrder[kBlobCount][3] = {
    {0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}, {1, 0, 2}, {0, 2, 1},
};

constexpr double kCentreMid = 0.5;
constexpr double kCentreSwing = 0.4;
constexpr double kRateU = 0.1;
constexpr double kRateV = 0.2;
constexpr double kRateW = 0.15;
constexpr double kPhaseW = 1.0;
constexpr int32_t kRadiusDivisor = 4;
// Closer than this to a centre the term is capped instead of dividing by a
// distance near zero.
constexpr float kNearCentre = 0.1f;

struct Point {
    float x;
    float y;
    float z;
};

float swingingCentre(int32_t size, double phase) {
    return static_cast<float>(size * kCentreMid + size * kCentreSwing * phase);
}

CentreValues centreValuesAt(const ScalarGrid& grid, float animationTime) {
    const double t = animationTime;
    return {swingingCentre(grid.nx, std::sin(t * kRateU)),
            swingingCentre(grid.ny, std::cos(t * kRateV)),
            swingingCentre(grid.nz, std::sin(t * kRateW + kPhaseW))};
}

float distanceTo(const Point& centre, int32_t i, int32_t j, int32_t k) {
    const double dx = static_cast<double>(i) - static_cast<double>(centre.x);
    const double dy = static_cast<double>(j) - static_cast<double>(centre.y);
    const double dz = static_cast<double>(k) - static_cast<double>(centre.z);
    const float squared = static_cast<float>(dx * dx + dy * dy + dz * dz);
    return std::sqrt(squared);
}

// The sample's value with the blob's term added; d < r.
float withBlobTerm(float current, float d, float r) {
    if (d <= kNearCentre) {
        const double cappedTerm = static_cast<double>(r) / static_cast<double>(kNearCentre);
        return static_cast<float>(static_cast<double>(current) + cappedTerm);
    }
    const float q = (r - d) / d;
    const float term = q > 0.0f ? q : 0.0f;
    return current + term;
}

void addBlob(ScalarGrid& grid, const Point& centre, float r) {
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

}  // namespace

void updateMetaballField(ScalarGrid& grid, float animationTime) {
    if (grid.data == nullptr) {
        return;
    }
    std::fill_n(grid.data, grid.sampleCount(), kFieldBackground);
    const CentreValues values = centreValuesAt(grid, animationTime);
    const float r = static_cast<float>(grid.nx / kRadiusDivisor);
    for (const auto& order : kBlobCentreOrder) {
        addBlob(grid, {values[order[0]], values[order[1]], values[order[2]]}, r);
    }
}

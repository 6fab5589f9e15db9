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

// Sample indices first..last along one axis; empty when first > last.
struct IndexRange {
    int32_t first;
    int32_t last;
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

double squaredDifference(int32_t index, float centre) {
    const double difference = static_cast<double>(index) - static_cast<double>(centre);
    return difference * difference;
}

// The samples along one axis that a blob centred at `centre` may reach. A
// sample at least r away along one axis alone has a squared distance of at
// least r squared, so its rounded root is at least r and the blob leaves it
// alone. centre +- r is exact in double. A centre that is not finite (a
// clock of inf or NaN) reaches nothing, as its distances are all NaN.
IndexRange reachAlongAxis(float centre, float r, int32_t size) {
    if (!std::isfinite(centre)) {
        return {0, -1};
    }
    const double low = std::ceil(static_cast<double>(centre) - r);
    const double high = std::floor(static_cast<double>(centre) + r);
    return {static_cast<int32_t>(std::clamp(low, 0.0, static_cast<double>(size))),
            static_cast<int32_t>(std::clamp(high, -1.0, static_cast<double>(size - 1)))};
}

// The sample's value with the blob's term added, for d < r. Both terms are
// formed and one is picked, so that a row of samples compiles to vector code.
float withBlobTerm(float current, float d, float r) {
    const double cappedTerm = static_cast<double>(r) / static_cast<double>(kNearCentre);
    const float cappedSum = static_cast<float>(static_cast<double>(current) + cappedTerm);
    const float q = (r - d) / d;
    const float farSum = current + (q > 0.0f ? q : 0.0f);
    return d <= kNearCentre ? cappedSum : farSum;
}

// One x row of a blob's box. The squared distance is summed in the same
// order as ((i - x)^2 + (j - y)^2) + (k - z)^2, in double, so every rounding
// matches a sample-by-sample evaluation.
void addBlobToRow(float* row, IndexRange xs, float centreX, double dy2, double dz2, float r) {
    for (int32_t i = xs.first; i <= xs.last; ++i) {
        const float squared = static_cast<float>((squaredDifference(i, centreX) + dy2) + dz2);
        const float d = std::sqrt(squared);
        const float current = row[i];
        row[i] = d < r ? withBlobTerm(current, d, r) : current;
    }
}

// Visits only the blob's bounding box: samples outside it are out of reach.
// Each sample is changed at most once per blob, so the loop order inside the
// box does not matter; x innermost follows the storage.
void addBlob(ScalarGrid& grid, const Point& centre, float r) {
    const IndexRange xs = reachAlongAxis(centre.x, r, grid.nx);
    const IndexRange ys = reachAlongAxis(centre.y, r, grid.ny);
    const IndexRange zs = reachAlongAxis(centre.z, r, grid.nz);
    for (int32_t k = zs.first; k <= zs.last; ++k) {
        const double dz2 = squaredDifference(k, centre.z);
        for (int32_t j = ys.first; j <= ys.last; ++j) {
            float* row = grid.data + int64_t{grid.sliceSize} * k + int64_t{grid.nx} * j;
            addBlobToRow(row, xs, centre.x, squaredDifference(j, centre.y), dz2, r);
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
    // Blob by blob, so every sample receives its terms in blob order and the
    // float sums round exactly as six full passes would.
    for (const auto& order : kBlobCentreOrder) {
        addBlob(grid, {values[order[0]], values[order[1]], values[order[2]]}, r);
    }
}

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
// How far a blob's disc in a slice is widened on each side, in samples. The
// rounding of a sample's squared distance is far below this at any grid size
// a ScalarGrid can hold, so no sample the blob reaches is left out; the exact
// d < r test still decides each sample.
constexpr double kDiscMargin = 1.0;
// Samples per vector in a row's loop.
constexpr int32_t kVectorWidth = 4;

struct Point {
    float x;
    float y;
    float z;
};

// Sample indices first..last along one axis; empty when first > last.
struct IndexRange {
    int32_t first;
    int32_t last;

    bool holds(int32_t index) const { return first <= index && index <= last; }
};

// A blob and the box of samples it may reach.
struct Blob {
    Point centre;
    IndexRange xs;
    IndexRange ys;
    IndexRange zs;
};
using Blobs = std::array<Blob, kBlobCount>;

// A blob as one sample slice sees it: the rows (ys) and the samples along
// every row (xs) that its disc in the slice may reach, and the slice's
// squared distance (k - z)^2 from the centre.
struct BlobInSlice {
    Point centre;
    IndexRange xs;
    IndexRange ys;
    double dz2;
};

// The blobs that reach one slice, in blob order.
struct SliceBlobs {
    std::array<BlobInSlice, kBlobCount> blobs;
    int32_t count = 0;
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

Blobs blobsAt(const ScalarGrid& grid, float animationTime, float r) {
    const CentreValues values = centreValuesAt(grid, animationTime);
    Blobs blobs{};
    for (int32_t b = 0; b < kBlobCount; ++b) {
        const auto& order = kBlobCentreOrder[b];
        const Point centre{values[order[0]], values[order[1]], values[order[2]]};
        blobs[b] = {centre, reachAlongAxis(centre.x, r, grid.nx),
                    reachAlongAxis(centre.y, r, grid.ny), reachAlongAxis(centre.z, r, grid.nz)};
    }
    return blobs;
}

// Exact in double: r has at most 24 significant bits.
double squaredRadius(float r) {
    return static_cast<double>(r) * r;
}

// `box` narrowed to centre +- halfWidth. Truncation toward zero can only
// widen the range, which is safe: the bounds need not be tight.
IndexRange narrowedTo(IndexRange box, float centre, double halfWidth) {
    return {std::max(box.first, static_cast<int32_t>(centre - halfWidth)),
            std::min(box.last, static_cast<int32_t>(centre + halfWidth))};
}

// The range widened, within the row, to whole vectors that start at
// multiples of the vector width, so that the row's loop leaves no samples to
// finish one by one and its loads line up with the reset's stores. The added samples fail the d < r
// test and keep their values.
IndexRange widenedToWholeVectors(IndexRange range, int32_t nx) {
    const int64_t last = (int64_t{range.last} / kVectorWidth + 1) * kVectorWidth - 1;
    return {range.first / kVectorWidth * kVectorWidth,
            static_cast<int32_t>(std::min(int64_t{nx} - 1, last))};
}

// Every sample of slice k sums ((i - x)^2 + (j - y)^2) + (k - z)^2, which
// rounds to no less than (k - z)^2, so a blob reaches the slice only when
// that is below r^2, as reachAlongAxis argues; then only within the disc of
// radius sqrt(r^2 - (k - z)^2), taken a sample wider for rounding. Rows keep
// one length across the slice, so the row loop's exit is well predicted.
void addIfReachingSlice(SliceBlobs& slice, const Blob& blob, int32_t k, int32_t nx, float r) {
    if (!blob.zs.holds(k) || blob.xs.first > blob.xs.last) {
        return;
    }
    const double dz2 = squaredDifference(k, blob.centre.z);
    const double rSquared = squaredRadius(r);
    if (!(dz2 < rSquared)) {
        return;
    }
    const double halfWidth = std::sqrt(rSquared - dz2) + kDiscMargin;
    const IndexRange xs = narrowedTo(blob.xs, blob.centre.x, halfWidth);
    const IndexRange ys = narrowedTo(blob.ys, blob.centre.y, halfWidth);
    if (xs.first <= xs.last && ys.first <= ys.last) {
        slice.blobs[slice.count++] = {blob.centre, widenedToWholeVectors(xs, nx), ys, dz2};
    }
}

SliceBlobs blobsReachingSlice(const Blobs& blobs, int32_t k, int32_t nx, float r) {
    SliceBlobs slice;
    for (const Blob& blob : blobs) {
        addIfReachingSlice(slice, blob, k, nx, r);
    }
    return slice;
}

// The sample's value with the blob's term added, for d < r. Where a sample
// may lie near the centre, both terms are formed and one is picked, so that a
// row of samples compiles to vector code.
template <bool kMayBeNearCentre>
float withBlobTerm(float current, float d, float r) {
    const float q = (r - d) / d;
    const float farSum = current + (q > 0.0f ? q : 0.0f);
    if constexpr (!kMayBeNearCentre) {
        return farSum;
    }
    const double cappedTerm = static_cast<double>(r) / static_cast<double>(kNearCentre);
    const float cappedSum = static_cast<float>(static_cast<double>(current) + cappedTerm);
    return d <= kNearCentre ? cappedSum : farSum;
}

// The samples xs of one x row. The squared distance is summed in the same
// order as ((i - x)^2 + (j - y)^2) + (k - z)^2, in double, so every rounding
// matches a sample-by-sample evaluation.
template <bool kMayBeNearCentre>
void addBlobToRow(float* row, IndexRange xs, float centreX, double dy2, double dz2, float r) {
    for (int32_t i = xs.first; i <= xs.last; ++i) {
        const float squared = static_cast<float>((squaredDifference(i, centreX) + dy2) + dz2);
        const float d = std::sqrt(squared);
        const float current = row[i];
        row[i] = d < r ? withBlobTerm<kMayBeNearCentre>(current, d, r) : current;
    }
}

// Resets row j of a slice and adds the slice's blobs that reach it, in blob
// order, so every sample receives its terms in the order of six full passes.
// Returns whether some blob reached the row.
//
// A row's samples round to squared distances no less than its dyz2 =
// (j - y)^2 + (k - z)^2, as addIfReachingSlice argues: with dyz2 >= r^2 the
// blob misses the row, and only where the root of dyz2 is within kNearCentre
// may a sample need the capped term.
bool fillRow(float* row, int32_t nx, int32_t j, const SliceBlobs& slice, float r) {
    std::fill_n(row, nx, kFieldBackground);
    const double rSquared = squaredRadius(r);
    bool reached = false;
    for (int32_t b = 0; b < slice.count; ++b) {
        const BlobInSlice& blob = slice.blobs[b];
        if (!blob.ys.holds(j)) {
            continue;
        }
        const double dy2 = squaredDifference(j, blob.centre.y);
        const double dyz2 = dy2 + blob.dz2;
        if (!(dyz2 < rSquared)) {
            continue;
        }
        if (std::sqrt(static_cast<float>(dyz2)) > kNearCentre) {
            addBlobToRow<false>(row, blob.xs, blob.centre.x, dy2, blob.dz2, r);
        } else {
            addBlobToRow<true>(row, blob.xs, blob.centre.x, dy2, blob.dz2, r);
        }
        reached = true;
    }
    return reached;
}

// The field step, recording the reached rows when `reachedRows` is not null.
void fillGrid(ScalarGrid& grid, float animationTime, ReachedRows* reachedRows) {
    if (grid.data == nullptr) {
        return;
    }
    const float r = static_cast<float>(grid.nx / kRadiusDivisor);
    const Blobs blobs = blobsAt(grid, animationTime, r);
    // Row by row in storage order: each row is reset and receives all its
    // terms while it is in cache, and the grid is written once.
    for (int32_t k = 0; k < grid.nz; ++k) {
        const SliceBlobs slice = blobsReachingSlice(blobs, k, grid.nx, r);
        float* slab = grid.data + int64_t{grid.sliceSize} * k;
        for (int32_t j = 0; j < grid.ny; ++j) {
            const bool reached = fillRow(slab + int64_t{grid.nx} * j, grid.nx, j, slice, r);
            if (reached && reachedRows != nullptr) {
                reachedRows->markReached(j, k);
            }
        }
    }
}

}  // namespace

void updateMetaballField(ScalarGrid& grid, float animationTime) {
    fillGrid(grid, animationTime, nullptr);
}

void updateMetaballField(ScalarGrid& grid, float animationTime, ReachedRows& reachedRows) {
    reachedRows.clearFor(grid);
    fillGrid(grid, animationTime, &reachedRows);
}

#include "extract/mesh_weld.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace {

// A position by the bits of its coordinates; adding 0.0f turns -0.0 into
// +0.0, so the two zeros weld as the numbers they are.
struct PositionKey {
    std::array<uint32_t, 3> bits;

    explicit PositionKey(const Vec3& p)
        : bits{std::bit_cast<uint32_t>(p.x + 0.0f), std::bit_cast<uint32_t>(p.y + 0.0f),
               std::bit_cast<uint32_t>(p.z + 0.0f)} {}

    bool operator==(const PositionKey&) const = default;
};

struct PositionKeyHash {
    size_t operator()(const PositionKey& key) const {
        // Mixing constants of a 64-bit multiplicative hash.
        constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
        uint64_t hash = 0;
        for (uint32_t b : key.bits) {
            hash = (hash ^ b) * kMultiplier;
        }
        return static_cast<size_t>(hash ^ (hash >> 32));
    }
};

// Float steps of a coordinate of magnitude 1 or more within which it counts
// as lying on the whole number: what rounding leaves of a crossing at t
// within rounding of 0 or 1.
constexpr float kRoundingSteps = 4.0f;

// The float step at `magnitude` (normal, at least 1): its power of two times
// the float epsilon, what nextafter would give at a call per coordinate.
float floatStepAt(float magnitude) {
    constexpr uint32_t kExponentBits = 0x7F800000u;
    return std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) & kExponentBits) *
           std::numeric_limits<float>::epsilon();
}

float onNearbyGridPlane(float coordinate) {
    const float plane = std::nearbyint(coordinate);
    const float step = floatStepAt(std::max(std::fabs(plane), 1.0f));
    return std::fabs(coordinate - plane) <= kRoundingSteps * step ? plane : coordinate;
}

bool isWhole(float coordinate) {
    return coordinate == std::nearbyint(coordinate);
}

// Moves the coordinates of `p` within rounding of a grid plane onto it, under
// kWithinRounding; returns whether `p` is then a grid point.
bool placeOnGrid(Vec3& p, Weld weld) {
    if (weld == Weld::kWithinRounding) {
        p = {onNearbyGridPlane(p.x), onNearbyGridPlane(p.y), onNearbyGridPlane(p.z)};
    }
    return isWhole(p.x) && isWhole(p.y) && isWhole(p.z);
}

// Per vertex, the first vertex at its grid point, or itself.
std::vector<int32_t> firstAtSamePoint(const SurfaceMesh& mesh,
                                      const std::vector<int32_t>& onGridPoints) {
    std::vector<int32_t> first(mesh.positions.size());
    for (size_t v = 0; v < first.size(); ++v) {
        first[v] = static_cast<int32_t>(v);
    }
    std::unordered_map<PositionKey, int32_t, PositionKeyHash> indexOf;
    indexOf.reserve(onGridPoints.size());
    for (const int32_t v : onGridPoints) {
        first[v] = indexOf.try_emplace(PositionKey(mesh.positions[v]), v).first->second;
    }
    return first;
}

}  // namespace

void weldCoincidentPositions(SurfaceMesh& mesh, Weld weld) {
    mesh.normals.clear();
    std::vector<int32_t> onGridPoints;
    for (size_t v = 0; v < mesh.positions.size(); ++v) {
        if (placeOnGrid(mesh.positions[v], weld)) {
            onGridPoints.push_back(static_cast<int32_t>(v));
        }
    }
    if (onGridPoints.empty()) {
        return;
    }
    // Kept vertices move down in order; a merged one takes its first's index.
    std::vector<int32_t> weldedIndex = firstAtSamePoint(mesh, onGridPoints);
    int32_t kept = 0;
    for (size_t v = 0; v < weldedIndex.size(); ++v) {
        if (weldedIndex[v] == static_cast<int32_t>(v)) {
            mesh.positions[kept] = mesh.positions[v];
            weldedIndex[v] = kept++;
        } else {
            weldedIndex[v] = weldedIndex[weldedIndex[v]];
        }
    }
    mesh.positions.resize(static_cast<size_t>(kept));
    size_t triangles = 0;
    for (const auto& triangle : mesh.triangles) {
        const std::array<int32_t, 3> corners = {weldedIndex[triangle[0]], weldedIndex[triangle[1]],
                                                weldedIndex[triangle[2]]};
        const bool collapsed =
            corners[0] == corners[1] || corners[1] == corners[2] || corners[2] == corners[0];
        if (weld == Weld::kExact || !collapsed) {
            mesh.triangles[triangles++] = corners;
        }
    }
    mesh.triangles.resize(triangles);
}

#include "extract/mesh_weld.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

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

float onNearbyGridPlane(float coordinate) {
    const float plane = std::nearbyint(coordinate);
    const float magnitude = std::max(std::fabs(plane), 1.0f);
    const float step = std::nextafter(magnitude, INFINITY) - magnitude;
    return std::fabs(coordinate - plane) <= kRoundingSteps * step ? plane : coordinate;
}

Vec3 onNearbyGridPlanes(const Vec3& p) {
    return {onNearbyGridPlane(p.x), onNearbyGridPlane(p.y), onNearbyGridPlane(p.z)};
}

}  // namespace

SurfaceMesh weldCoincidentPositions(const SurfaceMesh& mesh, Weld weld) {
    SurfaceMesh welded;
    std::vector<int32_t> weldedIndex(mesh.positions.size());
    std::unordered_map<PositionKey, int32_t, PositionKeyHash> indexOf;
    indexOf.reserve(mesh.positions.size());
    for (size_t v = 0; v < mesh.positions.size(); ++v) {
        const Vec3 p = weld == Weld::kWithinRounding ? onNearbyGridPlanes(mesh.positions[v])
                                                     : mesh.positions[v];
        const auto [entry, isNew] =
            indexOf.try_emplace(PositionKey(p), static_cast<int32_t>(welded.positions.size()));
        if (isNew) {
            welded.positions.push_back(p);
        }
        weldedIndex[v] = entry->second;
    }
    welded.triangles.reserve(mesh.triangles.size());
    for (const auto& triangle : mesh.triangles) {
        const std::array<int32_t, 3> corners = {weldedIndex[triangle[0]], weldedIndex[triangle[1]],
                                                weldedIndex[triangle[2]]};
        const bool collapsed =
            corners[0] == corners[1] || corners[1] == corners[2] || corners[2] == corners[0];
        if (weld == Weld::kExact || !collapsed) {
            welded.triangles.push_back(corners);
        }
    }
    return welded;
}

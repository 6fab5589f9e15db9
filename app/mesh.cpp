#include "app/mesh.h"

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

}  // namespace

IndexedMesh weldTriangles(std::span<const Vec3> triangleCorners) {
    constexpr size_t kCornersPerTriangle = 3;
    const size_t triangleCount = triangleCorners.size() / kCornersPerTriangle;
    IndexedMesh mesh;
    mesh.faces.reserve(triangleCount);
    std::unordered_map<PositionKey, int32_t, PositionKeyHash> indexOf;
    indexOf.reserve(triangleCorners.size());
    for (size_t t = 0; t < triangleCount; ++t) {
        std::array<int32_t, 3> face{};
        for (size_t c = 0; c < kCornersPerTriangle; ++c) {
            const Vec3& p = triangleCorners[kCornersPerTriangle * t + c];
            const auto [entry, isNew] =
                indexOf.try_emplace(PositionKey(p), static_cast<int32_t>(mesh.positions.size()));
            if (isNew) {
                mesh.positions.push_back(p);
            }
            face[c] = entry->second;
        }
        mesh.faces.push_back(face);
    }
    return mesh;
}

Vec3 unitFaceNormal(const IndexedMesh& mesh, size_t face) {
    const auto corner = [&](int32_t c) { return mesh.positions[mesh.faces[face][c]]; };
    const Vec3 n = triangleNormal(corner(0), corner(1), corner(2));
    const float length = std::sqrt(dot(n, n));
    if (length == 0.0f) {
        return {};
    }
    return {n.x / length, n.y / length, n.z / length};
}

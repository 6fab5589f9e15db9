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
    const Vec3& p0 = mesh.positions[mesh.faces[face][0]];
    const Vec3& p1 = mesh.positions[mesh.faces[face][1]];
    const Vec3& p2 = mesh.positions[mesh.faces[face][2]];
    const Vec3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    const Vec3 e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    const Vec3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length == 0.0f) {
        return {};
    }
    return {n.x / length, n.y / length, n.z / length};
}

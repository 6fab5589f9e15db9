#include "process/mesh_compact.h"

SurfaceMesh compactMesh(const std::vector<Vec3>& positions,
                        const std::vector<std::array<int32_t, 3>>& triangles) {
    constexpr int32_t kUnused = -1;
    std::vector<int32_t> newIndex(positions.size(), kUnused);
    SurfaceMesh mesh;
    mesh.triangles.reserve(triangles.size());
    for (const auto& triangle : triangles) {
        std::array<int32_t, 3> renumbered{};
        for (int32_t c = 0; c < 3; ++c) {
            int32_t& index = newIndex[triangle[c]];
            if (index == kUnused) {
                index = static_cast<int32_t>(mesh.positions.size());
                mesh.positions.push_back(positions[triangle[c]]);
            }
            renumbered[c] = index;
        }
        mesh.triangles.push_back(renumbered);
    }
    return mesh;
}

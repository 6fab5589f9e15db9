#include "process/mesh_simplify.h"

#include <meshoptimizer.h>

#include <cmath>
#include <vector>

#include "process/mesh_compact.h"

namespace {

// The error bound meshoptimizer stops at, relative to the mesh's extent: 1 is
// the whole extent, so only the triangle target ends the simplifying.
constexpr float kAnyError = 1.0f;

}  // namespace

SurfaceMesh simplifyMesh(const SurfaceMesh& mesh, double ratio) {
    static_assert(sizeof(Vec3) == 3 * sizeof(float));
    if (mesh.triangles.empty()) {
        return {};
    }
    const size_t indexCount = 3 * mesh.triangles.size();
    const auto* indices = reinterpret_cast<const unsigned int*>(mesh.triangles.data());
    const size_t targetIndexCount =
        3 * static_cast<size_t>(std::floor(static_cast<double>(mesh.triangles.size()) * ratio));
    std::vector<unsigned int> simplified(indexCount);
    const size_t kept = meshopt_simplify(
        simplified.data(), indices, indexCount, &mesh.positions.data()->x, mesh.positions.size(),
        sizeof(Vec3), targetIndexCount, kAnyError, meshopt_SimplifyLockBorder, nullptr);
    std::vector<std::array<int32_t, 3>> triangles(kept / 3);
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (size_t c = 0; c < 3; ++c) {
            triangles[t][c] = static_cast<int32_t>(simplified[3 * t + c]);
        }
    }
    return compactMesh(mesh.positions, triangles);
}

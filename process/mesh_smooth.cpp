#include "process/mesh_smooth.h"

#include <vector>

#include "process/vertex_sides.h"

namespace {

// Taubin's pair: lambda > 0 smooths, mu < -lambda restores the size; the
// frequencies below 1/lambda + 1/mu (about 0.11) pass unchanged.
constexpr float kLambda = 0.5f;
constexpr float kMu = -0.53f;

// Every vertex moved `factor` of the way to the mean of its neighbours, read
// from `from` (each neighbour counted once per side to it, so twice on a
// closed surface: the mean is the same).
void moveTowardsNeighbours(const VertexSides& sides, const std::vector<Vec3>& from, float factor,
                           std::vector<Vec3>& to) {
    for (int32_t v = 0; v < sides.vertexCount(); ++v) {
        const int32_t first = sides.listStart(v);
        const int32_t end = sides.listStart(v + 1);
        if (first == end) {
            to[v] = from[v];
            continue;
        }
        double sum[3] = {0.0, 0.0, 0.0};
        for (int32_t s = first; s < end; ++s) {
            const Vec3& n = from[sides.sides()[s].other];
            sum[0] += n.x;
            sum[1] += n.y;
            sum[2] += n.z;
        }
        const double count = end - first;
        const Vec3& p = from[v];
        to[v] = {static_cast<float>(p.x + factor * (sum[0] / count - p.x)),
                 static_cast<float>(p.y + factor * (sum[1] / count - p.y)),
                 static_cast<float>(p.z + factor * (sum[2] / count - p.z))};
    }
}

}  // namespace

void smoothTaubin(SurfaceMesh& mesh, int32_t steps) {
    mesh.normals.clear();
    if (steps <= 0) {
        return;
    }
    const VertexSides sides(mesh);
    std::vector<Vec3> moved(mesh.positions.size());
    for (int32_t step = 0; step < steps; ++step) {
        moveTowardsNeighbours(sides, mesh.positions, kLambda, moved);
        moveTowardsNeighbours(sides, moved, kMu, mesh.positions);
    }
}

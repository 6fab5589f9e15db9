#include "render/mesh_pass.h"

// GL reads the arrays as packed floats and the triangles and edges as packed
// indices.
static_assert(sizeof(Vec3) == 3 * sizeof(float));
static_assert(sizeof(std::array<int32_t, 3>) == 3 * sizeof(uint32_t));
static_assert(sizeof(std::array<int32_t, 2>) == 2 * sizeof(uint32_t));

void listMeshTriangles(const SurfaceMesh& mesh, FILE* listing) {
    for (const auto& triangle : mesh.triangles) {
        surface::printTriangleLine(listing, mesh.positions[triangle[0]],
                                   mesh.positions[triangle[1]], mesh.positions[triangle[2]]);
    }
    std::fflush(listing);
}

void MeshPass::expandFlat(const SurfaceMesh& mesh, const MeshEdges& edges) {
    flatVertices_.clear();
    flatNormals_.clear();
    for (const auto& triangle : mesh.triangles) {
        const Vec3 normal = triangleNormal(mesh.positions[triangle[0]], mesh.positions[triangle[1]],
                                           mesh.positions[triangle[2]]);
        for (const int32_t vertex : triangle) {
            flatVertices_.push_back(mesh.positions[vertex]);
            flatNormals_.push_back(normal);
        }
    }
    // A side's two corners are neighbours in its triangle's three vertices.
    flatOutlines_.clear();
    for (const int32_t side : edges.firstSides()) {
        const int32_t triangleStart = side - side % 3;
        flatOutlines_.push_back(
            {static_cast<uint32_t>(side), static_cast<uint32_t>(triangleStart + (side + 1) % 3)});
    }
}

void MeshPass::releaseFlatArrays() {
    std::vector<Vec3>().swap(flatVertices_);
    std::vector<Vec3>().swap(flatNormals_);
    std::vector<std::array<uint32_t, 2>>().swap(flatOutlines_);
}

#include "render/arrays_pass.h"

// GL reads the arrays as packed floats and the triangles as packed indices.
static_assert(sizeof(Vec3) == 3 * sizeof(float));
static_assert(sizeof(std::array<int32_t, 3>) == 3 * sizeof(uint32_t));

void ArraysPass::list(FILE* listing) const {
    for (const auto& triangle : mesh_.triangles) {
        surface::printTriangleLine(listing, mesh_.positions[triangle[0]],
                                   mesh_.positions[triangle[1]], mesh_.positions[triangle[2]]);
    }
    std::fflush(listing);
}

void ArraysPass::expandFlat() {
    triangleVertices_.clear();
    triangleNormals_.clear();
    for (const auto& triangle : mesh_.triangles) {
        const Vec3 normal =
            triangleNormal(mesh_.positions[triangle[0]], mesh_.positions[triangle[1]],
                           mesh_.positions[triangle[2]]);
        for (const int32_t vertex : triangle) {
            triangleVertices_.push_back(mesh_.positions[vertex]);
            triangleNormals_.push_back(normal);
        }
    }
}

void ArraysPass::expandOutlines(Shading shading) {
    lineVertices_.clear();
    lineNormals_.clear();
    const auto& edges = edges_.edges();
    for (size_t e = 0; e < edges.size(); ++e) {
        for (const int32_t vertex : edges[e]) {
            lineVertices_.push_back(mesh_.positions[vertex]);
            if (shading == Shading::kSmooth) {
                lineNormals_.push_back(mesh_.normals[vertex]);
            } else {
                const int32_t t = edges_.firstTriangles()[e];
                lineNormals_.push_back(triangleNormals_[3 * static_cast<size_t>(t)]);
            }
        }
    }
}

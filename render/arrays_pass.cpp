#include "render/arrays_pass.h"

#include <utility>

// GL reads the arrays as packed floats and the triangles as packed indices.
static_assert(sizeof(Vec3) == 3 * sizeof(float));
static_assert(sizeof(std::array<int32_t, 3>) == 3 * sizeof(uint32_t));
static_assert(sizeof(std::array<int32_t, 2>) == 2 * sizeof(uint32_t));

int64_t ArraysPass::extract(const ScalarGrid& grid, FaceRule rule, VertexNormals normals,
                            int32_t* usageCount, FILE* listing, const ReachedRows* rows) {
    extractedGrid_ = nullptr;  // until the extraction has finished
    const int64_t crossingCells = extractor_.extract(grid, mesh_, rule, usageCount, normals, rows);
    extractedGrid_ = &grid;
    extractedRule_ = rule;
    if (listing != nullptr) {
        list(listing);
    }
    return crossingCells;
}

SurfaceMesh ArraysPass::takeMesh(const ScalarGrid& grid, FaceRule rule) {
    if (extractedGrid_ != &grid || extractedRule_ != rule) {
        extractor_.extract(grid, mesh_, rule);
    }
    extractedGrid_ = nullptr;
    return std::move(mesh_);
}

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
    // A side's two corners are neighbours in its triangle's three vertices.
    flatOutlines_.clear();
    for (const int32_t side : edges_.firstSides()) {
        const int32_t triangleStart = side - side % 3;
        flatOutlines_.push_back(
            {static_cast<uint32_t>(side), static_cast<uint32_t>(triangleStart + (side + 1) % 3)});
    }
}

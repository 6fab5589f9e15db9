#include "app/frame_mesh.h"

#include <algorithm>

void FrameMesh::update(const ScalarGrid& grid, const MeshInputs& inputs, int32_t* usageCount,
                       const ReachedRows* rows) {
    if (stamp_ == 0 || inputs != built_) {
        built_ = inputs;
        rebuild(grid, rows);
    }
    if (usageCount != nullptr) {
        for (int32_t c = 0; c < kCaseCount; ++c) {
            usageCount[c] += cellsPerCase_[c];
        }
    }
}

void FrameMesh::rebuild(const ScalarGrid& grid, const ReachedRows* rows) {
    std::fill_n(cellsPerCase_, kCaseCount, 0);
    extractor_.extract(
        grid, mesh_, built_.faceRule, cellsPerCase_,
        built_.shading == Shading::kSmooth ? VertexNormals::kGradient : VertexNormals::kNone, rows);
    edges_.build(mesh_);
    ++stamp_;
}

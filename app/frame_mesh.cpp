#include "app/frame_mesh.h"

#include <algorithm>
#include <utility>

void FrameMesh::update(const ScalarGrid& grid, const MeshInputs& inputs, int32_t* usageCount,
                       const ReachedRows* rows) {
    if (builtGrid_ != &grid || inputs != built_) {
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
    builtGrid_ = nullptr;
    ++stamp_;
    std::fill_n(cellsPerCase_, kCaseCount, 0);
    build(grid, built_, cellsPerCase_, rows);
    builtGrid_ = &grid;
}

void FrameMesh::build(const ScalarGrid& grid, const MeshInputs& inputs, int32_t* usageCount,
                      const ReachedRows* rows) {
    const VertexNormals normals =
        inputs.shading == Shading::kSmooth ? VertexNormals::kGradient : VertexNormals::kNone;
    if (processing_.any()) {
        extractProcessed(extractor_, grid, inputs.faceRule, processing_, mesh_, usageCount,
                         normals);
    } else {
        extractor_.extract(grid, mesh_, inputs.faceRule, usageCount, normals, rows);
    }
}

const MeshEdges& FrameMesh::edges() {
    if (edgesStamp_ != stamp_) {
        edges_.build(mesh_);
        edgesStamp_ = stamp_;
    }
    return edges_;
}

SurfaceMesh FrameMesh::takeMesh(const ScalarGrid& grid, const MeshInputs& inputs) {
    if (builtGrid_ != &grid || inputs.faceRule != built_.faceRule ||
        inputs.animationTime != built_.animationTime || inputs.iso != built_.iso) {
        build(grid, {.faceRule = inputs.faceRule}, nullptr, nullptr);
    }
    builtGrid_ = nullptr;
    ++stamp_;
    extractor_.releaseWorkspace();
    mesh_.normals.clear();
    return std::move(mesh_);
}

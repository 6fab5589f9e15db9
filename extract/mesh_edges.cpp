#include "extract/mesh_edges.h"

#include <algorithm>

namespace {

constexpr int32_t kSidesPerTriangle = 3;

}  // namespace

// Sides are sorted into one bucket per lower vertex (a counting sort, so the
// cost grows with the mesh, not with its square), and each bucket, a handful
// of sides, is searched for repeats.
void MeshEdges::build(const SurfaceMesh& mesh) {
    const auto vertexCount = mesh.positions.size();
    bucketStart_.assign(vertexCount + 1, 0);
    for (const auto& triangle : mesh.triangles) {
        for (int32_t c = 0; c < kSidesPerTriangle; ++c) {
            ++bucketStart_[std::min(triangle[c], triangle[(c + 1) % kSidesPerTriangle]) + 1];
        }
    }
    for (size_t v = 0; v < vertexCount; ++v) {
        bucketStart_[v + 1] += bucketStart_[v];
    }
    bucketFill_.assign(bucketStart_.begin(), bucketStart_.end() - 1);
    sides_.resize(kSidesPerTriangle * mesh.triangles.size());
    for (size_t t = 0; t < mesh.triangles.size(); ++t) {
        const auto& triangle = mesh.triangles[t];
        for (int32_t c = 0; c < kSidesPerTriangle; ++c) {
            const int32_t a = triangle[c];
            const int32_t b = triangle[(c + 1) % kSidesPerTriangle];
            sides_[bucketFill_[std::min(a, b)]++] = {
                std::max(a, b), static_cast<int32_t>(kSidesPerTriangle * t) + c};
        }
    }
    edges_.clear();
    firstSides_.clear();
    for (size_t low = 0; low < vertexCount; ++low) {
        const auto first = sides_.begin() + bucketStart_[low];
        const auto last = sides_.begin() + bucketStart_[low + 1];
        for (auto side = first; side != last; ++side) {
            const int32_t high = (*side)[0];
            if (std::none_of(first, side, [high](const auto& s) { return s[0] == high; })) {
                edges_.push_back({static_cast<int32_t>(low), high});
                firstSides_.push_back((*side)[1]);
            }
        }
    }
}

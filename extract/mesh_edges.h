#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "extract/surface_mesh.h"

// Every side of a mesh's triangles once, however many triangles share it:
// what an outline drawing needs. Sides come grouped by their lower vertex, in
// the order of the triangles that first have them. The buffers are kept from
// one build to the next, so once grown a build allocates nothing.
class MeshEdges {
  public:
    void build(const SurfaceMesh& mesh);

    // Vertex index pairs, lower index first.
    const std::vector<std::array<int32_t, 2>>& edges() const { return edges_; }
    // For each edge, where it is first met: 3 * t + c for the side of
    // triangle t from its corner c to corner (c + 1) % 3.
    const std::vector<int32_t>& firstSides() const { return firstSides_; }

  private:
    std::vector<int32_t> bucketStart_;  // per lower vertex, into sides_
    std::vector<int32_t> bucketFill_;
    std::vector<std::array<int32_t, 2>> sides_;  // (higher vertex, 3 * triangle + corner)
    std::vector<std::array<int32_t, 2>> edges_;
    std::vector<int32_t> firstSides_;
};

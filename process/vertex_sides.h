#pragma once

#include <cstdint>
#include <vector>

#include "extract/surface_mesh.h"

// The triangle sides at each vertex: for the side from a to b of a triangle,
// a's list holds (b, outgoing) and b's list (a, incoming). So on a closed,
// consistently wound surface every neighbour of a vertex appears twice, once
// each way. Lists are stored one after the other:
//   sides()[listStart(v) .. listStart(v + 1)) are vertex v's.
class VertexSides {
  public:
    struct Side {
        int32_t other;
        bool outgoing;
    };

    explicit VertexSides(const SurfaceMesh& mesh);

    int32_t listStart(int32_t vertex) const { return start_[vertex]; }
    const std::vector<Side>& sides() const { return sides_; }
    int32_t vertexCount() const { return static_cast<int32_t>(start_.size()) - 1; }

  private:
    std::vector<int32_t> start_;  // vertexCount + 1 entries
    std::vector<Side> sides_;
};

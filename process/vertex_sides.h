#pragma once

#include <algorithm>
#include <array>
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
    // Packed into 32 bits, as the lists take 6 per triangle.
    struct Side {
        uint32_t other : 31;
        uint32_t outgoing : 1;
    };

    // Which ends of a side keep it: both, or only its lower-numbered vertex
    // (as outgoing when it runs upwards; a side from a vertex to itself as
    // outgoing), which is all forEachEdge reads, in half the memory.
    enum class Ends { kBoth, kLower };

    explicit VertexSides(const SurfaceMesh& mesh, Ends ends = Ends::kBoth)
        : VertexSides(mesh.positions.size(), mesh.triangles, ends) {}
    // Triangles indexing `vertexCount` vertices.
    VertexSides(size_t vertexCount, const std::vector<std::array<int32_t, 3>>& triangles,
                Ends ends = Ends::kBoth);

    int32_t listStart(int32_t vertex) const { return start_[vertex]; }
    const std::vector<Side>& sides() const { return sides_; }
    int32_t vertexCount() const { return static_cast<int32_t>(start_.size()) - 1; }

  private:
    std::vector<int32_t> start_;  // vertexCount + 1 entries
    std::vector<Side> sides_;
};

// Calls visit(a, b, faces, sameWay) once for every edge of the triangles, a <
// b its vertices (a == b for a side from a vertex to itself), `faces` the
// number of triangle sides along it, and for two, whether they run along it
// the same way (their triangles disagree in winding).
namespace vertex_sides_detail {

// Sorts a vertex's few sides: insertion sort, as a list holds about six; a
// rare long one goes to std::sort.
inline void sortSmall(std::vector<uint32_t>& keys) {
    constexpr size_t kInsertionLimit = 32;
    if (keys.size() > kInsertionLimit) {
        std::ranges::sort(keys);
        return;
    }
    for (size_t i = 1; i < keys.size(); ++i) {
        const uint32_t key = keys[i];
        size_t j = i;
        for (; j > 0 && keys[j - 1] > key; --j) {
            keys[j] = keys[j - 1];
        }
        keys[j] = key;
    }
}

}  // namespace vertex_sides_detail

template <class Visit>
void forEachEdge(const VertexSides& vertexSides, Visit visit) {
    // A side as one sortable key: its other end, then whether it is outgoing.
    std::vector<uint32_t> higher;
    for (int32_t v = 0; v < vertexSides.vertexCount(); ++v) {
        higher.clear();
        for (int32_t s = vertexSides.listStart(v); s < vertexSides.listStart(v + 1); ++s) {
            const VertexSides::Side& side = vertexSides.sides()[s];
            const auto other = static_cast<int32_t>(side.other);
            if (other > v || (other == v && side.outgoing != 0)) {
                higher.push_back(side.other << 1 | side.outgoing);
            }
        }
        vertex_sides_detail::sortSmall(higher);
        for (size_t i = 0; i < higher.size();) {
            size_t j = i + 1;
            while (j < higher.size() && higher[j] >> 1 == higher[i] >> 1) {
                ++j;
            }
            const bool sameWay = j - i == 2 && higher[i] == higher[i + 1];
            visit(v, static_cast<int32_t>(higher[i] >> 1), static_cast<int32_t>(j - i), sameWay);
            i = j;
        }
    }
}

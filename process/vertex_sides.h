#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
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
// the same way (their triangles disagree in winding). Edges come in the order
// of their lower vertex, those of one vertex in no set order.
template <class Visit>
void forEachEdge(const VertexSides& vertexSides, Visit visit) {
    // Per other end of a vertex's sides: the sides counted (times 2), plus
    // whether an odd number run outwards, so two sides along an edge run the
    // same way when it is 0. A vertex's pass leaves every tally it touched at
    // 0 again, so the tallies need no clearing and no sorting of the lists.
    std::vector<uint32_t> tally(static_cast<size_t>(vertexSides.vertexCount()), 0);
    const auto higherSides = [&](int32_t v, const auto& use) {
        for (int32_t s = vertexSides.listStart(v); s < vertexSides.listStart(v + 1); ++s) {
            const VertexSides::Side& side = vertexSides.sides()[s];
            const auto other = static_cast<int32_t>(side.other);
            if (other > v || (other == v && side.outgoing != 0)) {
                use(other, side.outgoing);
            }
        }
    };
    for (int32_t v = 0; v < vertexSides.vertexCount(); ++v) {
        higherSides(v, [&](int32_t other, uint32_t outgoing) {
            tally[other] = ((tally[other] >> 1) + 1) << 1 | ((tally[other] & 1) ^ outgoing);
        });
        higherSides(v, [&](int32_t other, uint32_t) {
            if (const uint32_t sides = std::exchange(tally[other], 0); sides != 0) {
                const auto faces = static_cast<int32_t>(sides >> 1);
                visit(v, other, faces, faces == 2 && (sides & 1) == 0);
            }
        });
    }
}

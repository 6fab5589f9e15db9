#include "process/mesh_simplify.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "process/mesh_compact.h"
#include "process/vertex_sides.h"

namespace {

// The error bound meshoptimizer stops at, relative to the mesh's extent: 1 is
// the whole extent, so only the triangle target ends the simplifying.
constexpr float kAnyError = 1.0f;

using Triangles = std::vector<std::array<int32_t, 3>>;

// A triangle by its vertex set, and whether its winding is that of the set in
// increasing order or the other.
struct TriangleKey {
    std::array<int32_t, 3> sorted;
    bool increasingWinding;
    int32_t index;
};

TriangleKey keyOf(const std::array<int32_t, 3>& t, int32_t index) {
    std::array<int32_t, 3> sorted = t;
    std::ranges::sort(sorted);
    // A rotation of (a, b, c) keeps the winding; the rotations of the sorted
    // set start at its smallest vertex with the middle one next.
    const int32_t first = static_cast<int32_t>(std::ranges::find(t, sorted[0]) - t.begin());
    return {sorted, t[(first + 1) % 3] == sorted[1], index};
}

// The collapses can fold a thin part of a closed surface flat: two triangles
// on the same three vertices, wound against each other, which enclose nothing
// and give each of their edges four faces. Dropping each such pair leaves the
// surface around them closed.
Triangles withoutFoldedPairs(const Triangles& triangles) {
    std::vector<TriangleKey> keys;
    keys.reserve(triangles.size());
    for (size_t t = 0; t < triangles.size(); ++t) {
        keys.push_back(keyOf(triangles[t], static_cast<int32_t>(t)));
    }
    std::ranges::sort(keys, {}, [](const TriangleKey& k) { return std::tie(k.sorted, k.index); });
    std::vector<bool> dropped(triangles.size(), false);
    for (size_t i = 0; i < keys.size();) {
        size_t end = i + 1;
        while (end < keys.size() && keys[end].sorted == keys[i].sorted) {
            ++end;
        }
        // Pairs each triangle of one winding with one of the other.
        std::vector<int32_t> open[2];
        for (size_t k = i; k < end; ++k) {
            auto& against = open[keys[k].increasingWinding ? 0 : 1];
            if (!against.empty()) {
                dropped[against.back()] = true;
                dropped[keys[k].index] = true;
                against.pop_back();
            } else {
                open[keys[k].increasingWinding ? 1 : 0].push_back(keys[k].index);
            }
        }
        i = end;
    }
    Triangles kept;
    for (size_t t = 0; t < triangles.size(); ++t) {
        if (!dropped[t]) {
            kept.push_back(triangles[t]);
        }
    }
    return kept;
}

// Attempts at one step with more vertices locked each time, before the
// simplifying stops where it is.
constexpr int32_t kMaxAttempts = 6;

// The vertices of every edge not shared by exactly two triangles, each once.
std::vector<int32_t> verticesOfUnpairedEdges(size_t vertexCount, const Triangles& triangles) {
    std::vector<int32_t> vertices;
    std::vector<char> listed(vertexCount, 0);
    forEachEdge(VertexSides(vertexCount, triangles),
                [&](int32_t a, int32_t b, int32_t faces, bool) {
                    for (const int32_t v : {a, b}) {
                        if (faces != 2 && std::exchange(listed[v], 1) == 0) {
                            vertices.push_back(v);
                        }
                    }
                });
    return vertices;
}

// meshoptimizer 0.18 locks only border vertices; a vertex becomes one when a
// triangle hangs from it alone, to two extra vertices placed just off it
// (not on it: positions that coincide count as one vertex there). The
// hanging triangles are never collapsed and are left out of the result.
// Vertices keep the mesh's numbering throughout.
class LockedSimplifier {
  public:
    explicit LockedSimplifier(const std::vector<Vec3>& positions)
        : positions_(positions), meshVertexCount_(positions.size()), locked_(positions.size(), 0) {}

    bool locked(int32_t vertex) const { return locked_[vertex] != 0; }

    void lock(int32_t vertex) {
        if (std::exchange(locked_[vertex], 1) != 0) {
            return;
        }
        // Off by a fraction no grid-line coordinate of a mesh vertex shares.
        constexpr float kOffset = 1.0f / 1024.0f;
        const Vec3 p = positions_[vertex];
        const auto first = static_cast<unsigned int>(positions_.size());
        positions_.push_back({p.x + kOffset, p.y + 0.5f * kOffset, p.z + 0.25f * kOffset});
        positions_.push_back({p.x + 0.25f * kOffset, p.y + kOffset, p.z + 0.5f * kOffset});
        hanging_.insert(hanging_.end(), {static_cast<unsigned int>(vertex), first, first + 1});
    }

    // `triangles` reduced towards `targetTriangles`, folded pairs dropped.
    Triangles simplify(const Triangles& triangles, size_t targetTriangles) const {
        std::vector<unsigned int> indices(hanging_);
        for (const auto& triangle : triangles) {
            indices.insert(indices.end(), triangle.begin(), triangle.end());
        }
        std::vector<unsigned int> simplified(indices.size());
        const size_t count = meshopt_simplify(simplified.data(), indices.data(), indices.size(),
                                              &positions_.data()->x, positions_.size(),
                                              sizeof(Vec3), hanging_.size() + 3 * targetTriangles,
                                              kAnyError, meshopt_SimplifyLockBorder, nullptr);
        Triangles result;
        result.reserve(count / 3);
        for (size_t t = 0; t < count / 3; ++t) {
            const unsigned int* corner = &simplified[3 * t];
            if (corner[1] < meshVertexCount_ && corner[2] < meshVertexCount_) {
                result.push_back({static_cast<int32_t>(corner[0]), static_cast<int32_t>(corner[1]),
                                  static_cast<int32_t>(corner[2])});
            }
        }
        return withoutFoldedPairs(result);
    }

  private:
    std::vector<Vec3> positions_;
    size_t meshVertexCount_;
    std::vector<char> locked_;
    std::vector<unsigned int> hanging_;
};

// `seeds` and the vertices up to `rings` edges away from them, each once.
std::vector<int32_t> withinRings(const VertexSides& around, std::vector<int32_t> seeds,
                                 int32_t rings) {
    std::vector<char> reached(static_cast<size_t>(around.vertexCount()), 0);
    for (const int32_t v : seeds) {
        reached[v] = 1;
    }
    size_t ringStart = 0;
    for (int32_t ring = 0; ring < rings; ++ring) {
        const size_t ringEnd = seeds.size();
        for (size_t i = ringStart; i < ringEnd; ++i) {
            for (int32_t s = around.listStart(seeds[i]); s < around.listStart(seeds[i] + 1); ++s) {
                const auto next = static_cast<int32_t>(around.sides()[s].other);
                if (std::exchange(reached[next], 1) == 0) {
                    seeds.push_back(next);
                }
            }
        }
        ringStart = ringEnd;
    }
    return seeds;
}

// `triangles` reduced to `target`, at most. meshoptimizer does
// not check that a collapse keeps the surface a surface: collapsing u onto v
// when both have a neighbour w off their shared faces leaves four faces on
// the edge from v to w. When that happens the halving is done again with the
// vertices around each such edge locked, the ring wider each attempt (u lies
// within it, and a collapse onto a locked vertex is still allowed). Returns
// `triangles` unchanged when no attempt keeps the edges paired.
Triangles reduce(const Triangles& triangles, size_t target, LockedSimplifier& simplifier,
                 const std::vector<char>& openAtStart) {
    const size_t vertexCount = openAtStart.size();
    const VertexSides around(vertexCount, triangles);
    for (int32_t attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        Triangles result = simplifier.simplify(triangles, target);
        std::vector<int32_t> glued = verticesOfUnpairedEdges(vertexCount, result);
        std::erase_if(glued, [&](int32_t v) { return openAtStart[v] != 0; });
        if (glued.empty()) {
            return result;
        }
        for (const int32_t v : withinRings(around, glued, attempt)) {
            simplifier.lock(v);
        }
    }
    return triangles;
}

}  // namespace

SurfaceMesh simplifyMesh(const SurfaceMesh& mesh, double ratio) {
    static_assert(sizeof(Vec3) == 3 * sizeof(float));
    const auto target =
        static_cast<size_t>(std::floor(static_cast<double>(mesh.triangles.size()) * ratio));
    LockedSimplifier simplifier(mesh.positions);
    // Where the mesh is not closed to begin with, it stays as it is.
    std::vector<char> openAtStart(mesh.positions.size(), 0);
    for (const int32_t v : verticesOfUnpairedEdges(mesh.positions.size(), mesh.triangles)) {
        openAtStart[v] = 1;
        simplifier.lock(v);
    }
    // Halving at a time keeps the rings to lock small.
    Triangles triangles = mesh.triangles;
    while (triangles.size() > target) {
        Triangles fewer =
            reduce(triangles, std::max(target, triangles.size() / 2), simplifier, openAtStart);
        if (fewer.size() == triangles.size()) {
            break;  // nothing more can go without gluing the surface
        }
        triangles = std::move(fewer);
    }
    return compactMesh(mesh.positions, triangles);
}

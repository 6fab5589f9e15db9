#include "surface_topology.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <utility>

namespace {

class UnionFind {
  public:
    explicit UnionFind(size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    size_t find(size_t n) {
        while (parent_[n] != n) {
            n = parent_[n] = parent_[parent_[n]];
        }
        return n;
    }
    void join(size_t a, size_t b) { parent_[find(a)] = find(b); }

  private:
    std::vector<size_t> parent_;
};

// Distinct roots among `members`.
int32_t countParts(UnionFind& parts, const std::set<int32_t>& members) {
    std::set<size_t> roots;
    for (const int32_t m : members) {
        roots.insert(parts.find(static_cast<size_t>(m)));
    }
    return static_cast<int32_t>(roots.size());
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const SurfaceTopology& t) {
    return out << "{components " << t.components << ", euler " << t.euler << ", boundary loops "
               << t.boundaryLoops << ", crowded edges " << t.crowdedEdges
               << ", directed duplicates " << t.directedDuplicates << "}";
}

SurfaceTopology topologyOf(const Triangles& triangles) {
    std::map<std::pair<int32_t, int32_t>, int32_t> directed;
    std::set<int32_t> vertices;
    int32_t largest = 0;
    for (const auto& t : triangles) {
        for (int32_t v = 0; v < 3; ++v) {
            ++directed[{t[v], t[(v + 1) % 3]}];
            vertices.insert(t[v]);
            largest = std::max(largest, t[v]);
        }
    }
    SurfaceTopology topology;
    UnionFind pieces(static_cast<size_t>(largest) + 1);
    UnionFind boundary(static_cast<size_t>(largest) + 1);
    std::set<int32_t> boundaryVertices;
    int64_t edges = 0;
    for (const auto& [edge, runs] : directed) {
        const auto [a, b] = edge;
        topology.directedDuplicates += runs > 1 ? 1 : 0;
        pieces.join(static_cast<size_t>(a), static_cast<size_t>(b));
        const auto back = directed.find({b, a});
        const int32_t backRuns = back == directed.end() ? 0 : back->second;
        if (a < b || backRuns == 0) {  // each undirected edge once
            ++edges;
            const int32_t faces = runs + backRuns;
            topology.crowdedEdges += faces > 2 ? 1 : 0;
            if (faces == 1) {
                boundary.join(static_cast<size_t>(a), static_cast<size_t>(b));
                boundaryVertices.insert(a);
                boundaryVertices.insert(b);
            }
        }
    }
    topology.components = countParts(pieces, vertices);
    topology.boundaryLoops = countParts(boundary, boundaryVertices);
    topology.euler =
        static_cast<int64_t>(vertices.size()) - edges + static_cast<int64_t>(triangles.size());
    return topology;
}

// The oracle's counts come straight from the tetrahedra: a vertex per
// crossed tetrahedron edge, a surface edge per crossed tetrahedron face (and
// one inside each tetrahedron cut in a quad), a triangle or two per cut
// tetrahedron. Each fine point owns the seven edges towards the points one
// step up along a non-empty set of axes (direction mask d, 1..7).
SurfaceTopology interpolantTopology(const ScalarGrid& grid, int32_t steps, double iso) {
    const int32_t n[3] = {(grid.nx - 1) * steps + 1, (grid.ny - 1) * steps + 1,
                          (grid.nz - 1) * steps + 1};
    const auto index = [&](const int32_t p[3]) {
        return p[0] + static_cast<int64_t>(n[0]) * (p[1] + static_cast<int64_t>(n[1]) * p[2]);
    };
    const int64_t points = int64_t{n[0]} * n[1] * n[2];
    std::vector<bool> inside(static_cast<size_t>(points));
    for (int32_t k = 0; k < n[2]; ++k) {
        for (int32_t j = 0; j < n[1]; ++j) {
            for (int32_t i = 0; i < n[0]; ++i) {
                const int32_t cell[3] = {std::min(i / steps, grid.nx - 2),
                                         std::min(j / steps, grid.ny - 2),
                                         std::min(k / steps, grid.nz - 2)};
                const double t[3] = {static_cast<double>(i - cell[0] * steps) / steps,
                                     static_cast<double>(j - cell[1] * steps) / steps,
                                     static_cast<double>(k - cell[2] * steps) / steps};
                double value = 0.0;
                for (int32_t c = 0; c < 8; ++c) {
                    double weight = 1.0;
                    for (int32_t a = 0; a < 3; ++a) {
                        weight *= ((c >> a) & 1) != 0 ? t[a] : 1.0 - t[a];
                    }
                    value += weight *
                             grid.data[(cell[0] + (c & 1)) + grid.nx * (cell[1] + ((c >> 1) & 1)) +
                                       grid.sliceSize * (cell[2] + (c >> 2))];
                }
                const int32_t p[3] = {i, j, k};
                inside[static_cast<size_t>(index(p))] = value >= iso;
            }
        }
    }
    constexpr int32_t kDirections = 8;
    const auto edgeId = [&](const int32_t a[3], const int32_t b[3]) {
        const int32_t* low = index(a) < index(b) ? a : b;
        const int32_t* high = low == a ? b : a;
        const int32_t d = (high[0] - low[0]) | (high[1] - low[1]) << 1 | (high[2] - low[2]) << 2;
        return static_cast<size_t>(index(low) * kDirections + d);
    };
    std::vector<bool> crossed(static_cast<size_t>(points * kDirections));
    UnionFind pieces(crossed.size());
    UnionFind rims(crossed.size());
    std::set<size_t> rimVertices;
    int64_t faceCrossings = 0;  // over tetrahedra: inner faces twice, rim faces once
    int64_t rimFaces = 0;
    int64_t quads = 0;
    int64_t triangles = 0;
    const int32_t orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int32_t k = 0; k + 1 < n[2]; ++k) {
        for (int32_t j = 0; j + 1 < n[1]; ++j) {
            for (int32_t i = 0; i + 1 < n[0]; ++i) {
                for (const auto& order : orders) {
                    int32_t corner[4][3] = {{i, j, k}};
                    for (int32_t step = 0; step < 3; ++step) {
                        std::copy_n(corner[step], 3, corner[step + 1]);
                        ++corner[step + 1][order[step]];
                    }
                    bool in[4];
                    int32_t inCount = 0;
                    for (int32_t c = 0; c < 4; ++c) {
                        in[c] = inside[static_cast<size_t>(index(corner[c]))];
                        inCount += in[c] ? 1 : 0;
                    }
                    if (inCount == 0 || inCount == 4) {
                        continue;
                    }
                    size_t vertices[4];
                    int32_t vertexCount = 0;
                    for (int32_t a = 0; a < 4; ++a) {
                        for (int32_t b = a + 1; b < 4; ++b) {
                            if (in[a] != in[b]) {
                                vertices[vertexCount++] = edgeId(corner[a], corner[b]);
                                crossed[vertices[vertexCount - 1]] = true;
                            }
                        }
                    }
                    for (int32_t v = 1; v < vertexCount; ++v) {
                        pieces.join(vertices[0], vertices[v]);
                    }
                    triangles += vertexCount == 4 ? 2 : 1;
                    quads += vertexCount == 4 ? 1 : 0;
                    for (int32_t skip = 0; skip < 4; ++skip) {  // the face without corner `skip`
                        int32_t face[3];
                        int32_t size = 0;
                        for (int32_t c = 0; c < 4; ++c) {
                            if (c != skip) {
                                face[size++] = c;
                            }
                        }
                        const bool mixed = in[face[0]] != in[face[1]] || in[face[0]] != in[face[2]];
                        if (!mixed) {
                            continue;
                        }
                        ++faceCrossings;
                        bool onRim = false;
                        for (int32_t a = 0; a < 3; ++a) {
                            for (const int32_t side : {0, n[a] - 1}) {
                                onRim = onRim ||
                                        (corner[face[0]][a] == side && corner[face[1]][a] == side &&
                                         corner[face[2]][a] == side);
                            }
                        }
                        if (onRim) {
                            ++rimFaces;
                            size_t ends[2];
                            int32_t e = 0;
                            for (int32_t a = 0; a < 3; ++a) {
                                for (int32_t b = a + 1; b < 3; ++b) {
                                    if (in[face[a]] != in[face[b]]) {
                                        ends[e++] = edgeId(corner[face[a]], corner[face[b]]);
                                    }
                                }
                            }
                            rims.join(ends[0], ends[1]);
                            rimVertices.insert(ends[0]);
                        }
                    }
                }
            }
        }
    }
    SurfaceTopology topology;
    std::set<size_t> roots;
    int64_t vertexTotal = 0;
    for (size_t v = 0; v < crossed.size(); ++v) {
        if (crossed[v]) {
            ++vertexTotal;
            roots.insert(pieces.find(v));
        }
    }
    topology.components = static_cast<int32_t>(roots.size());
    roots.clear();
    for (const size_t v : rimVertices) {
        roots.insert(rims.find(v));
    }
    topology.boundaryLoops = static_cast<int32_t>(roots.size());
    const int64_t edges = (faceCrossings + rimFaces) / 2 + quads;
    topology.euler = vertexTotal - edges + triangles;
    return topology;
}

namespace {

// Whether some face of some cell has its bilinear saddle within `margin` of
// 0: the oracle's fine sampling can miss so narrow a neck.
bool hasNearlyFlatSaddle(const ScalarGrid& grid, double margin) {
    const int32_t size[3] = {grid.nx, grid.ny, grid.nz};
    const auto at = [&](const int32_t p[3]) {
        return double{grid.data[p[0] + grid.nx * p[1] + grid.sliceSize * p[2]]};
    };
    for (int32_t axis = 0; axis < 3; ++axis) {
        const int32_t u = (axis + 1) % 3;
        const int32_t w = (axis + 2) % 3;
        int32_t p[3];
        for (p[axis] = 0; p[axis] < size[axis]; ++p[axis]) {
            for (p[u] = 0; p[u] + 1 < size[u]; ++p[u]) {
                for (p[w] = 0; p[w] + 1 < size[w]; ++p[w]) {
                    int32_t q[4][3];
                    for (int32_t c = 0; c < 4; ++c) {
                        std::copy_n(p, 3, q[c]);
                    }
                    ++q[1][u];
                    ++q[2][u];
                    ++q[2][w];
                    ++q[3][w];
                    const double a = at(q[0]);
                    const double b = at(q[1]);
                    const double c = at(q[2]);
                    const double d = at(q[3]);
                    const bool ambiguous =
                        (a >= 0) == (c >= 0) && (b >= 0) == (d >= 0) && (a >= 0) != (b >= 0);
                    if (ambiguous && std::abs((a * c - b * d) / (a + c - b - d)) < margin) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

}  // namespace

std::optional<SurfaceTopology> stableInterpolantTopology(const ScalarGrid& grid) {
    constexpr int32_t kSteps = 9;
    constexpr int32_t kOtherSteps = 13;
    constexpr double kLevelMargin = 0.015;
    constexpr double kSaddleMargin = 0.01;
    if (hasNearlyFlatSaddle(grid, kSaddleMargin)) {
        return std::nullopt;
    }
    const SurfaceTopology topology = interpolantTopology(grid, kSteps);
    for (const auto& [steps, iso] : {std::pair{kOtherSteps, 0.0}, std::pair{kSteps, kLevelMargin},
                                     std::pair{kSteps, -kLevelMargin}}) {
        if (!interpolantTopology(grid, steps, iso).sameType(topology)) {
            return std::nullopt;
        }
    }
    return topology;
}

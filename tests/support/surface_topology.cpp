#include "surface_topology.h"

#include <algorithm>
#include <cmath>
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
int32_t countParts(UnionFind& parts, const std::vector<int32_t>& members) {
    std::set<size_t> roots;
    for (const int32_t m : members) {
        roots.insert(parts.find(static_cast<size_t>(m)));
    }
    return static_cast<int32_t>(roots.size());
}

// Sorts `values` and calls visit(value, count) once per distinct value.
template <class T, class Visit>
void forEachDistinct(std::vector<T>& values, Visit visit) {
    std::ranges::sort(values);
    for (auto at = values.begin(); at != values.end();) {
        const auto end = std::find_if(at, values.end(), [&](const T& v) { return v != *at; });
        visit(*at, end - at);
        at = end;
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const SurfaceTopology& t) {
    return out << "{components " << t.components << ", euler " << t.euler << ", boundary loops "
               << t.boundaryLoops << ", crowded edges " << t.crowdedEdges
               << ", directed duplicates " << t.directedDuplicates << "}";
}

SurfaceTopology topologyOf(const Triangles& triangles) {
    using Side = std::pair<int32_t, int32_t>;
    std::vector<Side> directed;
    std::vector<Side> undirected;
    std::vector<int32_t> vertices;
    for (const auto& t : triangles) {
        for (int32_t v = 0; v < 3; ++v) {
            directed.emplace_back(t[v], t[(v + 1) % 3]);
            undirected.push_back(std::minmax(t[v], t[(v + 1) % 3]));
            vertices.push_back(t[v]);
        }
    }
    SurfaceTopology topology;
    forEachDistinct(directed, [&](const Side&, int64_t runs) {
        topology.directedDuplicates += runs > 1 ? 1 : 0;
    });
    const size_t size = vertices.empty() ? 0 : static_cast<size_t>(std::ranges::max(vertices)) + 1;
    UnionFind pieces(size);
    UnionFind boundary(size);
    std::vector<int32_t> boundaryVertices;
    int64_t edges = 0;
    forEachDistinct(undirected, [&](const Side& side, int64_t faces) {
        const auto [a, b] = side;
        ++edges;
        pieces.join(static_cast<size_t>(a), static_cast<size_t>(b));
        topology.crowdedEdges += faces > 2 ? 1 : 0;
        if (faces == 1) {
            boundary.join(static_cast<size_t>(a), static_cast<size_t>(b));
            boundaryVertices.insert(boundaryVertices.end(), {a, b});
        }
    });
    int64_t distinctVertices = 0;
    forEachDistinct(vertices, [&](int32_t, int64_t) { ++distinctVertices; });
    topology.components = countParts(pieces, vertices);
    topology.boundaryLoops = countParts(boundary, boundaryVertices);
    topology.euler = distinctVertices - edges + static_cast<int64_t>(triangles.size());
    return topology;
}

// The interpolant's surface, marched through tetrahedra whose vertices are
// named by the crossed tetrahedron edge: each fine point owns the seven edges
// towards the points one step up along a non-empty set of axes (direction
// mask d, 1..7). Shared tetrahedron faces then share surface edges, and the
// grid's rim leaves boundary edges, so topologyOf counts what it is.
SurfaceTopology interpolantTopology(const ScalarGrid& grid, int32_t steps, double iso) {
    const int32_t n[3] = {(grid.nx - 1) * steps + 1, (grid.ny - 1) * steps + 1,
                          (grid.nz - 1) * steps + 1};
    const auto index = [&](const int32_t p[3]) {
        return p[0] + static_cast<int64_t>(n[0]) * (p[1] + static_cast<int64_t>(n[1]) * p[2]);
    };
    const int64_t points = int64_t{n[0]} * n[1] * n[2];
    const int32_t size[3] = {grid.nx, grid.ny, grid.nz};
    std::vector<bool> inside(static_cast<size_t>(points));
    for (int64_t at = 0; at < points; ++at) {
        const int64_t p[3] = {at % n[0], at / n[0] % n[1], at / n[0] / n[1]};
        int32_t cell[3];
        double t[3];
        for (int32_t a = 0; a < 3; ++a) {
            cell[a] = std::min(static_cast<int32_t>(p[a] / steps), size[a] - 2);
            t[a] = static_cast<double>(p[a] - cell[a] * steps) / steps;
        }
        double value = 0.0;
        for (int32_t c = 0; c < 8; ++c) {
            double weight = 1.0;
            for (int32_t a = 0; a < 3; ++a) {
                weight *= ((c >> a) & 1) != 0 ? t[a] : 1.0 - t[a];
            }
            value += weight * grid.data[(cell[0] + (c & 1)) + grid.nx * (cell[1] + ((c >> 1) & 1)) +
                                        grid.sliceSize * (cell[2] + (c >> 2))];
        }
        inside[static_cast<size_t>(at)] = value >= iso;
    }
    constexpr int32_t kDirections = 8;
    const auto edgeId = [&](const int32_t a[3], const int32_t b[3]) {
        const int32_t* low = index(a) < index(b) ? a : b;
        const int32_t* high = low == a ? b : a;
        const int32_t d = (high[0] - low[0]) | (high[1] - low[1]) << 1 | (high[2] - low[2]) << 2;
        return static_cast<int32_t>(index(low) * kDirections + d);
    };
    Triangles triangles;
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
                    // Crossed edges in the order (0,1) (0,2) (0,3) (1,2) (1,3) (2,3): of
                    // four, the first and last share no corner, so they split the quad.
                    int32_t vertices[4];
                    int32_t count = 0;
                    for (int32_t a = 0; a < 4; ++a) {
                        for (int32_t b = a + 1; b < 4; ++b) {
                            if (inside[static_cast<size_t>(index(corner[a]))] !=
                                inside[static_cast<size_t>(index(corner[b]))]) {
                                vertices[count++] = edgeId(corner[a], corner[b]);
                            }
                        }
                    }
                    if (count >= 3) {
                        triangles.push_back({vertices[0], vertices[1], vertices[count - 1]});
                    }
                    if (count == 4) {
                        triangles.push_back({vertices[0], vertices[3], vertices[2]});
                    }
                }
            }
        }
    }
    return topologyOf(triangles);
}

namespace {

// Whether some face of some cell has its bilinear saddle within `margin` of
// 0: the oracle's fine sampling can miss so narrow a neck.
bool hasNearlyFlatSaddle(const ScalarGrid& grid, double margin) {
    const int32_t size[3] = {grid.nx, grid.ny, grid.nz};
    for (int32_t axis = 0; axis < 3; ++axis) {
        const int32_t u = (axis + 1) % 3;
        const int32_t w = (axis + 2) % 3;
        int32_t p[3];
        for (p[axis] = 0; p[axis] < size[axis]; ++p[axis]) {
            for (p[u] = 0; p[u] + 1 < size[u]; ++p[u]) {
                for (p[w] = 0; p[w] + 1 < size[w]; ++p[w]) {
                    // The face's corners in turn around it.
                    const auto at = [&](int32_t du, int32_t dw) {
                        int32_t q[3] = {p[0], p[1], p[2]};
                        q[u] += du;
                        q[w] += dw;
                        return double{grid.data[q[0] + grid.nx * q[1] + grid.sliceSize * q[2]]};
                    };
                    const double a = at(0, 0);
                    const double b = at(1, 0);
                    const double c = at(1, 1);
                    const double d = at(0, 1);
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

#include "engine/loop_triangulation.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

bool isSet(uint32_t caseIndex, int32_t corner) {
    return ((caseIndex >> corner) & 1u) != 0;
}

Vec3 cornerPosition(const CubeMarcher& marcher, int32_t corner) {
    const float* p = marcher.cornerOffset[corner];
    return {p[0], p[1], p[2]};
}

// Outward agreement of a triangle at the edge midpoints: the sum over its
// vertices of the normal's component along the edge, from set to clear.
float outwardAgreement(const CubeMarcher& marcher, uint32_t caseIndex, const int32_t edges[3]) {
    const Vec3 normal =
        triangleNormal(marcher.edgeMidpoint(edges[0]), marcher.edgeMidpoint(edges[1]),
                       marcher.edgeMidpoint(edges[2]));
    float agreement = 0.0f;
    for (int32_t v = 0; v < 3; ++v) {
        const int32_t low = marcher.edgeCorners[edges[v]][0];
        const int32_t high = marcher.edgeCorners[edges[v]][1];
        const Vec3 lowToHigh =
            difference(cornerPosition(marcher, high), cornerPosition(marcher, low));
        agreement += (isSet(caseIndex, low) ? 1.0f : -1.0f) * dot(normal, lowToHigh);
    }
    return agreement;
}

// Whether the triangle lies in a face of the cube: it would cover part of
// the face, which the cell across it may cover too.
bool liesInAFace(const CubeMarcher& marcher, const int32_t edges[3]) {
    return (facesOfEdge(marcher, edges[0]) & facesOfEdge(marcher, edges[1]) &
            facesOfEdge(marcher, edges[2])) != 0;
}

// What a triangulation costs, compared lexicographically.
struct Cost {
    int32_t inFace = 0;  // triangles lying in a face: avoided first
    int32_t folds = 0;   // triangles facing inwards at the edge midpoints

    Cost operator+(const Cost& other) const { return {inFace + other.inFace, folds + other.folds}; }
    bool operator<(const Cost& other) const {
        return inFace != other.inFace ? inFace < other.inFace : folds < other.folds;
    }
};

Cost costOf(const CubeMarcher& marcher, uint32_t caseIndex, const int32_t edges[3]) {
    return {liesInAFace(marcher, edges) ? 1 : 0,
            outwardAgreement(marcher, caseIndex, edges) <= 0.0f ? 1 : 0};
}

// The cheapest triangulation of the loop without new vertices, each triangle
// in the loop's direction: the classic interval recursion, where the
// triangle on side (i, j) has its third corner k between them.
class LoopTriangulation {
  public:
    LoopTriangulation(const CubeMarcher& marcher, uint32_t caseIndex, const Loop& loop)
        : loop_(loop) {
        const int32_t n = static_cast<int32_t>(loop.size());
        for (int32_t span = 2; span < n; ++span) {
            for (int32_t i = 0; i + span < n; ++i) {
                const int32_t j = i + span;
                for (int32_t k = i + 1; k < j; ++k) {
                    const int32_t corners[3] = {loop[i], loop[k], loop[j]};
                    const Cost cost =
                        best_[i][k] + best_[k][j] + costOf(marcher, caseIndex, corners);
                    if (k == i + 1 || cost < best_[i][j]) {
                        best_[i][j] = cost;
                        apex_[i][j] = k;
                    }
                }
            }
        }
    }

    Cost cost() const { return best_[0][loop_.size() - 1]; }

    void append(std::vector<int32_t>& out) const {
        append(0, static_cast<int32_t>(loop_.size()) - 1, out);
    }

  private:
    void append(int32_t i, int32_t j, std::vector<int32_t>& out) const {
        if (j - i < 2) {
            return;
        }
        const int32_t k = apex_[i][j];
        out.insert(out.end(), {loop_[i], loop_[k], loop_[j]});
        append(i, k, out);
        append(k, j, out);
    }

    const Loop& loop_;
    Cost best_[kEdgeCount][kEdgeCount] = {};
    int32_t apex_[kEdgeCount][kEdgeCount] = {};
};

// A tube's side across, from a crossing of one loop to one of the other:
// joining two crossings of one face is avoided first, then length.
struct SideCost {
    int32_t inFace = 0;
    float length = 0.0f;

    SideCost operator+(const SideCost& other) const {
        return {inFace + other.inFace, length + other.length};
    }
    bool operator<(const SideCost& other) const {
        return inFace != other.inFace ? inFace < other.inFace : length < other.length;
    }
};

SideCost sideCost(const CubeMarcher& marcher, int32_t a, int32_t b) {
    const Vec3 d = difference(marcher.edgeMidpoint(a), marcher.edgeMidpoint(b));
    return {(facesOfEdge(marcher, a) & facesOfEdge(marcher, b)) != 0 ? 1 : 0, std::sqrt(dot(d, d))};
}

int32_t wrap(int32_t i, int32_t n) {
    return ((i % n) + n) % n;
}

bool isCut(const std::vector<Segment>& cuts, int32_t a, int32_t b) {
    return std::ranges::any_of(cuts, [&](const Segment& s) {
        return (s.first == a && s.second == b) || (s.first == b && s.second == a);
    });
}

// The first triangle side joining two crossings of one face that is no cut,
// or {-1, -1}.
Segment inFaceSide(const CubeMarcher& marcher, const std::vector<Segment>& cuts,
                   const std::vector<int32_t>& triangles) {
    for (size_t t = 0; t < triangles.size(); t += 3) {
        for (size_t v = 0; v < 3; ++v) {
            const int32_t a = triangles[t + v];
            const int32_t b = triangles[t + (v + 1) % 3];
            if (a < kEdgeCount && b < kEdgeCount &&
                (facesOfEdge(marcher, a) & facesOfEdge(marcher, b)) != 0 && !isCut(cuts, a, b)) {
                return {a, b};
            }
        }
    }
    return {-1, -1};
}

}  // namespace

uint32_t facesOfEdge(const CubeMarcher& marcher, int32_t edge) {
    uint32_t faces = 0;
    for (int32_t face = 0; face < kFaceCount; ++face) {
        const auto onFace = [&](int32_t corner) {
            return CubeMarcher::isLowSide(corner, face / 2) != face % 2;
        };
        if (onFace(marcher.edgeCorners[edge][0]) && onFace(marcher.edgeCorners[edge][1])) {
            faces |= 1u << face;
        }
    }
    return faces;
}

int32_t triangulateDisc(const CubeMarcher& marcher, uint32_t caseIndex, const Loop& loop,
                        std::vector<int32_t>& triangles) {
    const LoopTriangulation triangulation(marcher, caseIndex, loop);
    triangulation.append(triangles);
    return triangulation.cost().folds;
}

// Walks both loops round together: a step along `a` (i up) gives triangle
// (a[i], a[i+1], b[j]), a step along `b` against its direction (j down)
// gives (b[j-1], b[j], a[i]); n + m steps from side (a[first], b[start])
// come back to it. A walk that takes all its steps along one loop in one run
// meets one side across twice and folds the strip onto itself; every other
// walk can be turned to begin with a step along `a` and end with one along
// `b` without passing (n, 0), which is how walks are counted here. The
// cheapest over all beginnings is kept.
void triangulateTube(const CubeMarcher& marcher, const Loop& a, const Loop& b,
                     std::vector<int32_t>& triangles) {
    const auto n = static_cast<int32_t>(a.size());
    const auto m = static_cast<int32_t>(b.size());
    const auto at = [&](int32_t i, int32_t back) { return i * (m + 1) + back; };
    const SideCost kUnreached{std::numeric_limits<int32_t>::max() / 2, 0.0f};
    std::vector<SideCost> best(static_cast<size_t>((n + 1) * (m + 1)));
    std::vector<bool> fromA(best.size());
    std::vector<bool> bestFromA;
    SideCost bestCost = kUnreached;
    int32_t bestFirst = 0;
    int32_t bestStart = 0;
    // Every walk from every beginning meets the same n * m sides: each is
    // costed once.
    std::vector<SideCost> sides(static_cast<size_t>(n * m));
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < m; ++j) {
            sides[i * m + j] = sideCost(marcher, a[i], b[j]);
        }
    }
    for (int32_t first = 0; first < n; ++first) {
        for (int32_t start = 0; start < m; ++start) {
            const auto across = [&](int32_t i, int32_t back) {
                return sides[wrap(first + i, n) * m + wrap(start - back, m)];
            };
            best[at(0, 0)] = across(0, 0);
            for (int32_t i = 0; i <= n; ++i) {
                for (int32_t back = 0; back <= m; ++back) {
                    if (i == 0 && back == 0) {
                        continue;
                    }
                    const bool closing = i == n && back == m;
                    const bool allowed = !(i == 0 || (i == n && back == 0));
                    // The side reached: counted unless it closes the walk.
                    const SideCost side = closing ? SideCost{} : across(i, back);
                    const SideCost viaA =
                        allowed && i > 0 && !closing ? best[at(i - 1, back)] + side : kUnreached;
                    const SideCost viaB =
                        allowed && back > 0 ? best[at(i, back - 1)] + side : kUnreached;
                    fromA[at(i, back)] = viaA < viaB;
                    best[at(i, back)] = viaA < viaB ? viaA : viaB;
                }
            }
            if (best[at(n, m)] < bestCost) {
                bestCost = best[at(n, m)];
                bestFirst = first;
                bestStart = start;
                bestFromA = fromA;
            }
        }
    }
    std::vector<int32_t> walk;
    for (int32_t i = n, back = m; i > 0 || back > 0;) {
        const int32_t j = wrap(bestStart - back, m);
        if (bestFromA[at(i, back)]) {
            --i;
            walk.insert(walk.begin(),
                        {a[wrap(bestFirst + i, n)], a[wrap(bestFirst + i + 1, n)], b[j]});
        } else {
            --back;
            walk.insert(walk.begin(), {b[j], b[wrap(j + 1, m)], a[wrap(bestFirst + i, n)]});
        }
    }
    triangles.insert(triangles.end(), walk.begin(), walk.end());
}

void splitInFaceSides(const CubeMarcher& marcher, const std::vector<Segment>& cuts,
                      const uint32_t pieceOf[kEdgeCount], std::vector<int32_t>& triangles,
                      std::vector<AmbiguousCaseTable::InteriorVertex>& interior) {
    // Adds `share` of corner `corner` (a crossing or an earlier vertex).
    const auto add = [&](AmbiguousCaseTable::InteriorVertex& vertex, int32_t corner, float share) {
        for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
            const float weight = corner < kEdgeCount ? (corner == edge ? 1.0f : 0.0f)
                                                     : interior[corner - kEdgeCount].weight[edge];
            vertex.weight[edge] += share * weight;
        }
    };
    for (Segment side = inFaceSide(marcher, cuts, triangles); side.first >= 0;
         side = inFaceSide(marcher, cuts, triangles)) {
        const auto [a, b] = side;
        // The side's two triangles (p, q, r) with (p, q) the side, by first
        // corner index and the side's place in it.
        std::vector<std::pair<size_t, size_t>> holding;
        for (size_t t = 0; t < triangles.size(); t += 3) {
            for (size_t v = 0; v < 3; ++v) {
                const int32_t p = triangles[t + v];
                const int32_t q = triangles[t + (v + 1) % 3];
                if ((p == a && q == b) || (p == b && q == a)) {
                    holding.emplace_back(t, v);
                }
            }
        }
        // Halfway between the side's midpoint and the piece's middle, drawn
        // a little towards the two opposite corners, so that two sides
        // through one point (the diagonals of a square) split apart.
        AmbiguousCaseTable::InteriorVertex vertex;
        const uint32_t piece = pieceOf[a];
        for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
            add(vertex, edge, ((piece >> edge) & 1u) != 0 ? 0.25f / std::popcount(piece) : 0.0f);
        }
        add(vertex, a, 0.25f);
        add(vertex, b, 0.25f);
        for (const auto& [t, v] : holding) {
            add(vertex, triangles[t + (v + 2) % 3], 0.25f / static_cast<float>(holding.size()));
        }
        const int32_t split = kEdgeCount + static_cast<int32_t>(interior.size());
        interior.push_back(vertex);
        for (const auto& [t, v] : holding) {
            const int32_t q = triangles[t + (v + 1) % 3];
            const int32_t r = triangles[t + (v + 2) % 3];
            triangles[t + (v + 1) % 3] = split;  // (p, split, r)
            triangles.insert(triangles.end(), {split, q, r});
        }
    }
}

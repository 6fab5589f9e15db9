#include "engine/ambiguous_table.h"

#include <bit>
#include <vector>

namespace {

// A face segment between the crossings on two edges, run from `from` to `to`.
struct Segment {
    int32_t from;
    int32_t to;
};

bool isSet(uint32_t caseIndex, int32_t corner) {
    return ((caseIndex >> corner) & 1u) != 0;
}

int32_t faceAxis(int32_t face) {
    return face / 2;
}

bool isHighSide(int32_t face) {
    return face % 2 == 1;
}

Vec3 cornerPosition(const CubeMarcher& marcher, int32_t corner) {
    const float* p = marcher.cornerOffset[corner];
    return {p[0], p[1], p[2]};
}

Vec3 outwardNormal(int32_t face) {
    float n[kAxisCount] = {0.0f, 0.0f, 0.0f};
    n[faceAxis(face)] = isHighSide(face) ? 1.0f : -1.0f;
    return {n[0], n[1], n[2]};
}

// The segment between the crossings on edges a and b of `face`, run so that
// `insideCorner`, a set corner on the segment's inside, lies on its right
// seen from outside the cube. Edge midpoints stand for the crossings: the
// side of a corner is the same wherever the crossings lie on their edges.
Segment directedSegment(const CubeMarcher& marcher, int32_t face, int32_t a, int32_t b,
                        int32_t insideCorner) {
    const Vec3 start = marcher.edgeMidpoint(a);
    const Vec3 left = cross(outwardNormal(face), difference(marcher.edgeMidpoint(b), start));
    const bool insideOnRight =
        dot(left, difference(cornerPosition(marcher, insideCorner), start)) < 0.0f;
    return insideOnRight ? Segment{a, b} : Segment{b, a};
}

// The segments that cut `face` in case `caseIndex`. An unambiguous face has
// none or one, between its two crossings; an ambiguous face has two, cutting
// off its clear corners when its inside corners are joined, its set corners
// when they are separated.
void addFaceSegments(const CubeMarcher& marcher, uint32_t caseIndex, int32_t face, bool joined,
                     std::vector<Segment>& segments) {
    int32_t c[4];
    AmbiguousCaseTable::faceCorners(face, c);
    // Edge i joins corners i and i + 1, so corner i lies between edges i - 1 and i.
    int32_t edge[4];
    std::vector<int32_t> crossed;
    int32_t setCorner = -1;
    for (int32_t i = 0; i < 4; ++i) {
        edge[i] = marcher.findEdge(c[i], c[(i + 1) % 4]);
        if (isSet(caseIndex, c[i]) != isSet(caseIndex, c[(i + 1) % 4])) {
            crossed.push_back(edge[i]);
        }
        if (setCorner < 0 && isSet(caseIndex, c[i])) {
            setCorner = c[i];
        }
    }
    if (crossed.size() == 2) {
        // Every set corner of the face lies on the one side of the segment.
        segments.push_back(directedSegment(marcher, face, crossed[0], crossed[1], setCorner));
        return;
    }
    for (int32_t i = 0; crossed.size() == 4 && i < 4; ++i) {
        if (isSet(caseIndex, c[i]) != joined) {
            const int32_t inside = joined ? setCorner : c[i];
            segments.push_back(directedSegment(marcher, face, edge[(i + 3) % 4], edge[i], inside));
        }
    }
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
    uint32_t common = 0x3Fu;  // faces that hold every vertex so far
    for (int32_t v = 0; v < 3; ++v) {
        uint32_t faces = 0;
        for (int32_t face = 0; face < kFaceCount; ++face) {
            const auto onFace = [&](int32_t corner) {
                return CubeMarcher::isLowSide(corner, faceAxis(face)) != (isHighSide(face) ? 1 : 0);
            };
            if (onFace(marcher.edgeCorners[edges[v]][0]) &&
                onFace(marcher.edgeCorners[edges[v]][1])) {
                faces |= 1u << face;
            }
        }
        common &= faces;
    }
    return common != 0;
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
    LoopTriangulation(const CubeMarcher& marcher, uint32_t caseIndex,
                      const std::vector<int32_t>& loop)
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

    // Appends the triangles, edge triples, to `out`; returns how many.
    int32_t append(int32_t* out) const {
        return append(0, static_cast<int32_t>(loop_.size()) - 1, out);
    }

  private:
    int32_t append(int32_t i, int32_t j, int32_t* out) const {
        if (j - i < 2) {
            return 0;
        }
        const int32_t k = apex_[i][j];
        out[0] = loop_[i];
        out[1] = loop_[k];
        out[2] = loop_[j];
        const int32_t left = append(i, k, out + 3);
        return 1 + left + append(k, j, out + 3 * (1 + left));
    }

    const std::vector<int32_t>& loop_;
    Cost best_[kEdgeCount][kEdgeCount] = {};
    int32_t apex_[kEdgeCount][kEdgeCount] = {};
};

// Chains the segments into loops, each from its lowest unvisited edge.
std::vector<std::vector<int32_t>> loopsOf(const std::vector<Segment>& segments) {
    constexpr int32_t kNone = -1;
    int32_t next[kEdgeCount];
    std::fill_n(next, kEdgeCount, kNone);
    for (const Segment& s : segments) {
        next[s.from] = s.to;
    }
    std::vector<std::vector<int32_t>> loops;
    bool visited[kEdgeCount] = {};
    for (int32_t first = 0; first < kEdgeCount; ++first) {
        if (next[first] == kNone || visited[first]) {
            continue;
        }
        std::vector<int32_t> loop;
        for (int32_t edge = first; edge != kNone && !visited[edge]; edge = next[edge]) {
            visited[edge] = true;
            loop.push_back(edge);
        }
        loops.push_back(loop);
    }
    return loops;
}

AmbiguousCaseTable::Variant buildVariant(const CubeMarcher& marcher, uint32_t caseIndex,
                                         uint32_t faces, uint32_t decisions, int32_t& folded) {
    std::vector<Segment> segments;
    int32_t decision = 0;
    for (int32_t face = 0; face < kFaceCount; ++face) {
        const bool ambiguous = ((faces >> face) & 1u) != 0;
        const bool joined = ambiguous && ((decisions >> decision++) & 1u) != 0;
        addFaceSegments(marcher, caseIndex, face, joined, segments);
    }
    AmbiguousCaseTable::Variant variant;
    for (const std::vector<int32_t>& loop : loopsOf(segments)) {
        const LoopTriangulation triangulation(marcher, caseIndex, loop);
        folded += triangulation.cost().folds;
        variant.triangleCount +=
            triangulation.append(variant.triangles + 3 * variant.triangleCount);
    }
    return variant;
}

}  // namespace

uint32_t AmbiguousCaseTable::ambiguousFacesOf(uint32_t caseIndex) {
    uint32_t faces = 0;
    for (int32_t face = 0; face < kFaceCount; ++face) {
        int32_t c[4];
        faceCorners(face, c);
        const bool diagonalsAgree = isSet(caseIndex, c[0]) == isSet(caseIndex, c[2]) &&
                                    isSet(caseIndex, c[1]) == isSet(caseIndex, c[3]);
        if (diagonalsAgree && isSet(caseIndex, c[0]) != isSet(caseIndex, c[1])) {
            faces |= 1u << face;
        }
    }
    return faces;
}

void AmbiguousCaseTable::faceCorners(int32_t face, int32_t corners[4]) {
    const int32_t axis = faceAxis(face);
    const int32_t base = isHighSide(face) ? 1 << axis : 0;
    const int32_t u = 1 << ((axis + 1) % kAxisCount);
    const int32_t v = 1 << ((axis + 2) % kAxisCount);
    corners[0] = base;
    corners[1] = base | u;
    corners[2] = base | u | v;
    corners[3] = base | v;
}

void AmbiguousCaseTable::generate(const CubeMarcher& marcher) {
    variants_.clear();
    foldedTriangles_ = 0;
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const uint32_t faces = ambiguousFacesOf(caseIndex);
        ambiguousFaces_[caseIndex] = static_cast<uint8_t>(faces);
        firstVariant_[caseIndex] = static_cast<int32_t>(variants_.size());
        const uint32_t combinations = faces == 0 ? 0 : 1u << std::popcount(faces);
        for (uint32_t decisions = 0; decisions < combinations; ++decisions) {
            variants_.push_back(
                buildVariant(marcher, caseIndex, faces, decisions, foldedTriangles_));
        }
    }
}

uint32_t AmbiguousCaseTable::decideFaces(uint32_t faces, const float values[kCornerCount]) {
    uint32_t decisions = 0;
    int32_t decision = 0;
    for (int32_t face = 0; face < kFaceCount; ++face) {
        if (((faces >> face) & 1u) == 0) {
            continue;
        }
        decisions |= (saddleValue(face, values) >= 0.0 ? 1u : 0u) << decision++;
    }
    return decisions;
}

double AmbiguousCaseTable::saddleValue(int32_t face, const float values[kCornerCount]) {
    int32_t c[4];
    faceCorners(face, c);
    const double a = values[c[0]];
    const double b = values[c[1]];
    const double cc = values[c[2]];
    const double d = values[c[3]];
    return (a * cc - b * d) / (a + cc - b - d);
}

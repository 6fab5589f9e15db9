#include "engine/ambiguous_table.h"

#include <algorithm>
#include <bit>
#include <map>
#include <stdexcept>
#include <vector>

#include "engine/loop_triangulation.h"

namespace {

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

// Chains the segments into loops, each from its lowest unvisited edge.
std::vector<Loop> loopsOf(const std::vector<Segment>& segments) {
    constexpr int32_t kNone = -1;
    int32_t next[kEdgeCount];
    std::fill_n(next, kEdgeCount, kNone);
    for (const Segment& s : segments) {
        next[s.first] = s.second;
    }
    std::vector<Loop> loops;
    bool visited[kEdgeCount] = {};
    for (int32_t first = 0; first < kEdgeCount; ++first) {
        if (next[first] == kNone || visited[first]) {
            continue;
        }
        Loop loop;
        for (int32_t edge = first; edge != kNone && !visited[edge]; edge = next[edge]) {
            visited[edge] = true;
            loop.push_back(edge);
        }
        loops.push_back(loop);
    }
    return loops;
}

// The corners joined along the cube's surface: along an edge not crossed,
// or across an ambiguous face (the inside corners when it joins them, else
// the outside ones). region[c] is the lowest corner of c's region.
struct Regions {
    int32_t region[kCornerCount];

    Regions(const CubeMarcher& marcher, uint32_t caseIndex, uint32_t faces, uint32_t decisions) {
        for (int32_t c = 0; c < kCornerCount; ++c) {
            region[c] = c;
        }
        for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
            const int32_t a = marcher.edgeCorners[edge][0];
            const int32_t b = marcher.edgeCorners[edge][1];
            if (isSet(caseIndex, a) == isSet(caseIndex, b)) {
                join(a, b);
            }
        }
        int32_t decision = 0;
        for (int32_t face = 0; face < kFaceCount; ++face) {
            if (((faces >> face) & 1u) == 0) {
                continue;
            }
            const bool joined = ((decisions >> decision++) & 1u) != 0;
            int32_t c[4];
            AmbiguousCaseTable::faceCorners(face, c);
            const int32_t first = isSet(caseIndex, c[0]) == joined ? 0 : 1;
            join(c[first], c[first + 2]);
        }
    }

    void join(int32_t a, int32_t b) {
        const int32_t from = std::max(region[a], region[b]);
        const int32_t to = std::min(region[a], region[b]);
        for (int32_t& r : region) {
            r = r == from ? to : r;
        }
    }
};

// A loop lies between one region inside and one outside: those of the
// corners of any of its edges.
std::pair<int32_t, int32_t> sidesOf(const CubeMarcher& marcher, uint32_t caseIndex,
                                    const Regions& regions, const Loop& loop) {
    int32_t inside = marcher.edgeCorners[loop[0]][0];
    int32_t outside = marcher.edgeCorners[loop[0]][1];
    if (!isSet(caseIndex, inside)) {
        std::swap(inside, outside);
    }
    return {regions.region[inside], regions.region[outside]};
}

// The loops that bound one piece of surface when regions `from` and `to`
// (one state) meet inside the cell, or {-1, -1} when they cannot. Pieces
// part the cell's inside, so each lies between one region of each state
// as joined inside: loops between the same two are the same piece. A tunnel
// is a piece with two loops, every other piece a disc.
std::pair<int32_t, int32_t> tubeEnds(const CubeMarcher& marcher, uint32_t caseIndex,
                                     const Regions& regions, const std::vector<Loop>& loops,
                                     int32_t from, int32_t to) {
    std::map<std::pair<int32_t, int32_t>, std::vector<int32_t>> pieces;
    for (size_t l = 0; l < loops.size(); ++l) {
        auto sides = sidesOf(marcher, caseIndex, regions, loops[l]);
        sides.first = sides.first == to ? from : sides.first;
        sides.second = sides.second == to ? from : sides.second;
        pieces[sides].push_back(static_cast<int32_t>(l));
    }
    std::pair<int32_t, int32_t> ends{-1, -1};
    for (const auto& [sides, pieceLoops] : pieces) {
        if (pieceLoops.size() > 2 || (pieceLoops.size() == 2 && ends.first >= 0)) {
            return {-1, -1};
        }
        if (pieceLoops.size() == 2) {
            ends = {pieceLoops[0], pieceLoops[1]};
        }
    }
    return ends;
}

// Everything one combination of decisions asks of a case.
struct CellCut {
    std::vector<Segment> segments;
    std::vector<Loop> loops;
    Regions regions;
    // The tunnels it leaves room for, and the loops each joins.
    std::vector<AmbiguousCaseTable::Tunnel> tunnels;
    std::vector<std::pair<int32_t, int32_t>> tubes;

    CellCut(const CubeMarcher& marcher, uint32_t caseIndex, uint32_t faces, uint32_t decisions)
        : regions(marcher, caseIndex, faces, decisions) {
        int32_t decision = 0;
        for (int32_t face = 0; face < kFaceCount; ++face) {
            const bool ambiguous = ((faces >> face) & 1u) != 0;
            const bool joined = ambiguous && ((decisions >> decision++) & 1u) != 0;
            addFaceSegments(marcher, caseIndex, face, joined, segments);
        }
        loops = loopsOf(segments);
        for (int32_t to = 0; to < kCornerCount; ++to) {
            for (int32_t from = 0; from < to; ++from) {
                const bool distinctRegions = regions.region[from] == from &&
                                             regions.region[to] == to &&
                                             isSet(caseIndex, from) == isSet(caseIndex, to);
                const auto ends = distinctRegions
                                      ? tubeEnds(marcher, caseIndex, regions, loops, from, to)
                                      : std::pair{-1, -1};
                if (ends.first >= 0) {
                    tunnels.push_back({isSet(caseIndex, from), from, to});
                    tubes.push_back(ends);
                }
            }
        }
    }
};

AmbiguousCaseTable::Variant toVariant(
    const std::vector<int32_t>& triangles,
    const std::vector<AmbiguousCaseTable::InteriorVertex>& interior) {
    AmbiguousCaseTable::Variant variant;
    if (triangles.size() > 3 * kMaxTrianglesPerCell || interior.size() > kMaxInteriorVertices) {
        throw std::length_error("a decided cell outgrows kMaxTrianglesPerCell");
    }
    variant.triangleCount = static_cast<int32_t>(triangles.size() / 3);
    variant.interiorCount = static_cast<int32_t>(interior.size());
    std::copy(triangles.begin(), triangles.end(), variant.triangles);
    std::copy(interior.begin(), interior.end(), variant.interior);
    return variant;
}

// The handlers' triangles, for a case with no ambiguous face and no tunnel.
AmbiguousCaseTable::Variant handlersVariant(const CaseEntry& entry) {
    return toVariant({entry.triangles, entry.triangles + 3 * std::max(entry.triangleCount, 0)}, {});
}

// The cut's loops as discs, but for the two ends of `tube` (when given),
// joined by a strip; then every side lying across a face split.
AmbiguousCaseTable::Variant buildVariant(const CubeMarcher& marcher, uint32_t caseIndex,
                                         const CellCut& cut, std::pair<int32_t, int32_t> tube,
                                         int32_t& folded) {
    const auto partner = [&](int32_t loop) {
        return loop == tube.first ? tube.second : (loop == tube.second ? tube.first : loop);
    };
    const auto edgesOf = [&](int32_t loop) {
        uint32_t edges = 0;
        for (const int32_t edge : cut.loops[loop]) {
            edges |= 1u << edge;
        }
        return edges;
    };
    std::vector<int32_t> triangles;
    uint32_t pieceOf[kEdgeCount] = {};
    for (int32_t loop = 0; loop < static_cast<int32_t>(cut.loops.size()); ++loop) {
        if (loop == tube.first) {
            triangulateTube(marcher, cut.loops[loop], cut.loops[tube.second], triangles);
        } else if (loop != tube.second) {
            folded += triangulateDisc(marcher, caseIndex, cut.loops[loop], triangles);
        }
        for (const int32_t edge : cut.loops[loop]) {
            pieceOf[edge] = edgesOf(loop) | edgesOf(partner(loop));
        }
    }
    std::vector<AmbiguousCaseTable::InteriorVertex> interior;
    splitInFaceSides(marcher, cut.segments, pieceOf, triangles, interior);
    return toVariant(triangles, interior);
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
    combinations_.clear();
    variants_.clear();
    foldedTriangles_ = 0;
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const uint32_t faces = ambiguousFacesOf(caseIndex);
        ambiguousFaces_[caseIndex] = static_cast<uint8_t>(faces);
        firstCombination_[caseIndex] = static_cast<int32_t>(combinations_.size());
        const uint32_t combinations = 1u << std::popcount(faces);
        bool tunnels = false;
        for (uint32_t decisions = 0; decisions < combinations; ++decisions) {
            const CellCut cut(marcher, caseIndex, faces, decisions);
            if (cut.tunnels.size() > kMaxTunnels) {
                throw std::length_error("a decided cell outgrows kMaxTunnels");
            }
            Combination combination;
            combination.firstVariant = static_cast<int32_t>(variants_.size());
            combination.tunnelCount = static_cast<int32_t>(cut.tunnels.size());
            std::copy(cut.tunnels.begin(), cut.tunnels.end(), combination.tunnels);
            combinations_.push_back(combination);
            variants_.push_back(
                faces == 0 ? handlersVariant(marcher.caseTable[caseIndex])
                           : buildVariant(marcher, caseIndex, cut, {-1, -1}, foldedTriangles_));
            for (const auto& tube : cut.tubes) {
                variants_.push_back(buildVariant(marcher, caseIndex, cut, tube, foldedTriangles_));
            }
            for (size_t v = combination.firstVariant; v < variants_.size(); ++v) {
                variants_[v].caseIndex = caseIndex;
            }
            tunnels = tunnels || !cut.tunnels.empty();
        }
        decided_[caseIndex] = faces != 0 || tunnels;
    }
}

int32_t AmbiguousCaseTable::decidedVariantIndex(uint32_t caseIndex,
                                                const float values[kCornerCount]) const {
    const uint32_t faces = ambiguousFaces_[caseIndex];
    const Combination& found = combination(caseIndex, faces == 0 ? 0 : decideFaces(faces, values));
    for (int32_t t = 0; t < found.tunnelCount; ++t) {
        if (decideTunnel(found.tunnels[t], values)) {
            return found.firstVariant + 1 + t;
        }
    }
    return found.firstVariant;
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

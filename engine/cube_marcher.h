#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/vec3.h"

// Numbering shared by the whole program:
//   axis k:   0 = x, 1 = y, 2 = z; its bit is 1 << k.
//   corner i: 0..7, bit k of i is the corner's coordinate along axis k.
//   edge e:   0..11, the adjacent corner pairs (smaller corner first) in
//             lexicographic order, as buildEdges() lays them out.
//   case n:   0..255, bit i set when corner i is inside (value >= 0).
// No operation checks the range of an index; callers keep to the ranges above.

inline constexpr int32_t kCornerCount = 8;
inline constexpr int32_t kEdgeCount = 12;
inline constexpr int32_t kAxisCount = 3;
inline constexpr int32_t kCaseCount = 256;
inline constexpr int32_t kMaxTrianglesPerCase = 10;
// The most triangles one polygonised cell can have: 8 from the handlers'
// table, more from the table of decided cells (ambiguous_table.h), whose
// tunnels and vertices inside the cell take extra triangles. Callers of
// polygoniseCell size their buffers by it.
inline constexpr int32_t kMaxTrianglesPerCell = 16;
// The most vertices inside a cell, off its edges, that a decided cell adds.
inline constexpr int32_t kMaxInteriorVertices = 3;
inline constexpr int32_t kFloatsPerTriangle = 9;

class AmbiguousCaseTable;

struct CaseEntry {
    int32_t caseNumber = 0;  // 0 until generated; then the case's own index
    int32_t triangleCount = 0;
    int32_t triangles[3 * kMaxTrianglesPerCase] = {};  // triangle t at 3t, 3t+1, 3t+2
    Vec3 normalHint;  // direction toward the clear side, written by the last match
};

// Adds one use to a usage counter; a very long run must not wrap it into
// negative numbers, so it stays at INT32_MAX.
inline void countSaturating(int32_t& counter) {
    if (counter < INT32_MAX) {
        ++counter;
    }
}

struct CubeMarcher {
    CaseEntry caseTable[kCaseCount];
    int32_t usageCount[kCaseCount];
    float cornerValue[kCornerCount] = {};
    float cornerOffset[kCornerCount][kAxisCount] = {};
    int32_t edgeCorners[kEdgeCount][2] = {};

    CubeMarcher() { resetUsage(); }

    // --- Topology (topology.cpp) ---
    void buildCornerOffsets();
    void buildEdges();
    static bool areAdjacent(int32_t a, int32_t b);
    int32_t findEdge(int32_t a, int32_t b) const;  // -1 when a and b share no edge
    int32_t edgeAxis(int32_t edge) const;          // -1 for a non-adjacent pair
    static int32_t flipCorner(int32_t corner, int32_t axis);
    int32_t shiftedEdge(int32_t edge, int32_t axis) const;  // -1 when there is none
    static bool isLowSide(int32_t corner, int32_t axis);
    void edgesAlongAxis(int32_t axis, int32_t out[4]) const;
    static void cornerSigns(int32_t caseIndex, int32_t out[kCornerCount]);
    static Vec3 cornerDirection(int32_t corner);
    Vec3 edgeMidpoint(int32_t edge) const;

    // --- Table generation and listing (generator.cpp) ---
    // Lays out the cube, generates the table and writes the listing to `out`.
    void initialiseCubeMarcher(FILE* out);
    // The same without the listing.
    void prepareCaseTable();
    void generateCaseTable();
    void printCaseTable(FILE* out) const;

    // --- Pattern handlers, run in the order of kPatternHandlers below ---
    // Each returns the number of triangles it appended, writes normalHint for every piece it
    // recognises, appends the piece and orients it against that hint at once (orientTriangles on
    // the new range).
    int32_t addIsolatedCorners(int32_t caseIndex);
    int32_t addIsolatedEdges(int32_t caseIndex);
    int32_t addHalfCubeSplits(int32_t caseIndex);
    int32_t addFaceTriple(int32_t caseIndex);
    int32_t addCornerStar(int32_t caseIndex);
    int32_t addCornerChain(int32_t caseIndex);

    // Gives triangles firstTriangle..triangleCount-1 of the case the winding
    // that agrees with its normalHint; returns how many it reversed.
    int32_t orientTriangles(int32_t caseIndex, int32_t firstTriangle = 0);

    // --- Cell polygonisation (polygoniser.cpp) ---
    static uint32_t caseIndexOf(const float values[kCornerCount]);
    void setCornerValues(const float values[kCornerCount]);
    // The zero crossing on `edge` of the cell set last (cornerValue), in
    // cell-local coordinates.
    Vec3 interpolateEdge(int32_t edge) const { return interpolateEdge(edge, cornerValue); }
    // The same for a cell with corner values `values`: the one formula every
    // extraction path places its vertices with, so they agree bit for bit.
    Vec3 interpolateEdge(int32_t edge, const float values[kCornerCount]) const;
    // A vertex inside the cell: the crossings on the edges blended by
    // `weights` (kEdgeCount of them, summing to 1; edges not crossed weigh 0),
    // summed in edge order so every path places it alike.
    Vec3 blendCrossings(const float weights[kEdgeCount], const float values[kCornerCount]) const;
    // Where the zero crossing lies between values va and vb, from 0 at va to
    // 1 at vb: what interpolateEdge places vertices by.
    static double crossingParameter(double va, double vb) { return va / (va - vb); }
    // Writes kFloatsPerTriangle floats per triangle into `out`, which must hold
    // kMaxTrianglesPerCell triangles; returns the number written. With a
    // `decider`, a cell whose case it decides (an ambiguous face, or room for
    // a tunnel) takes its triangles from it, faces and interior decided from
    // the corner values; the cell is counted under its case either way.
    int32_t polygoniseCell(float* out, const AmbiguousCaseTable* decider = nullptr);

    // --- Usage statistics (usage_stats.cpp) ---
    void resetUsage();
    void printUsageStats(FILE* out) const;
};

// The handlers in the order the generator runs them. Each searches the whole
// cube for its own pattern and appends after whatever the earlier ones
// stored, so their order shapes each record.
using PatternHandler = int32_t (CubeMarcher::*)(int32_t);
inline constexpr PatternHandler kPatternHandlers[] = {
    &CubeMarcher::addIsolatedCorners, &CubeMarcher::addIsolatedEdges,
    &CubeMarcher::addHalfCubeSplits,  &CubeMarcher::addFaceTriple,
    &CubeMarcher::addCornerStar,      &CubeMarcher::addCornerChain,
};

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/ambiguous_table.h"
#include "engine/case_classes.h"
#include "engine/cube_marcher.h"

// What the extraction does with one cell of given corner values, for the
// explorer that shows one case at a time: its case, basic configuration,
// ambiguous faces with their saddle values and decisions, the crossings on
// its edges, and the triangles polygoniseCell gives it. Positions are
// cell-local (0 to 1 along each axis).
struct CellDescription {
    struct Face {
        int32_t face = 0;         // face f: side f % 2 of axis f / 2
        int32_t corners[4] = {};  // in faceCorners' order
        double saddle = 0.0;      // the saddle value the decider compares with 0
        bool joined = false;      // the decider joins the inside corners
    };
    struct Crossing {
        int32_t edge = 0;
        int32_t corners[2] = {};  // the edge's corners, smaller first
        double t = 0.0;           // from the edge's first corner (0) to its second (1)
        Vec3 position;
    };
    // A triangle vertex that lies on no edge's crossing (a vertex inside the cell).
    static constexpr int32_t kNoEdge = -1;

    uint32_t caseIndex = 0;
    std::array<float, kCornerCount> values = {};
    FaceRule rule = FaceRule::kDecider;
    int32_t classIndex = 0;
    int32_t classCount = 0;
    CaseClasses::CaseClass caseClass;
    bool complemented = false;
    int32_t faceCount = 0;  // ambiguous faces, in face order
    std::array<Face, kFaceCount> faces = {};
    int32_t crossingCount = 0;  // crossed edges, in edge order
    std::array<Crossing, kEdgeCount> crossings = {};
    int32_t triangleCount = 0;
    std::array<float, kFloatsPerTriangle* kMaxTrianglesPerCell> triangles = {};
    std::array<int32_t, 3 * kMaxTrianglesPerCell> vertexEdges = {};  // or kNoEdge
};

// Describes the cell with corner values `values` (inside is >= 0) as the
// surface pass extracts it under `rule`. `marcher` holds its generated table
// and is not changed (its usage counts included); `ambiguous` is generated.
CellDescription describeCell(const CubeMarcher& marcher, const AmbiguousCaseTable& ambiguous,
                             const CaseClasses& classes,
                             const std::array<float, kCornerCount>& values, FaceRule rule);

// Replaces `text` with the description, one fact per line, each line opening
// with its keyword (numbers as printf's %g):
//   case 22
//   bits 00010110                       corner 7 first, 1 = inside
//   inside 1 2 4
//   class 7 of 15 corners 3 groups 1+1+1 like 22 complemented no
//   rule decider                        or table
//   values -2 1 1 -2 1 -2 -2 -2         corner 0 first
//   face 0 x-low corners 0 2 6 4 saddle -0.5 separated    one per ambiguous face
//   triangles 3
// and with `geometry`, then:
//   crossings 9
//   crossing edge 0 corners 0 1 t 0.333333 at 0.333333 0 0
//   triangle edges 0 2 4 at 0.333333 0 0 0 0.333333 0 0 0 0.333333
// where a vertex on no edge's crossing shows "-" in place of its edge.
void writeCellDescription(const CellDescription& cell, bool geometry, std::string& text);

// Corner values close to `values` under which the decider decides face
// `face` (ambiguous in the values' case) the other way and every other
// ambiguous face of `faces` as before, the case unchanged: corners are scaled
// by powers of two, as few as possible. Returns false, leaving `values`, when
// no such values are found.
bool flipFaceDecision(std::array<float, kCornerCount>& values, uint32_t faces, int32_t face);

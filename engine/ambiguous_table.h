#pragma once

#include <cstdint>
#include <vector>

#include "engine/cube_marcher.h"

// Faces of the cube: face f lies at side f % 2 (0 low, 1 high) of axis f / 2.
inline constexpr int32_t kFaceCount = 6;
// The most tunnels one case under one set of face decisions leaves room for.
inline constexpr int32_t kMaxTunnels = 6;

// How a cell with an ambiguous face is polygonised: kTable takes the
// handlers' table as it is, kDecider gives every cell the topology of the
// trilinear interpolant of its corner values: every ambiguous face decided
// from its values, the same way from both cells that share it, so the surface
// closes, and the cell's interior decided too, so tunnels through it show.
enum class FaceRule { kTable, kDecider };

// The second case table, for the cells the handlers' table cannot draw as
// the interpolant does: a case with an ambiguous face (its two diagonals each
// join corners of one state, the states differing, so its four crossings can
// be joined in two ways), or whose corners of one state can meet through the
// cell's inside (a tunnel). Per case, one triangulation per combination of
// face decisions (a face either joins its two inside corners across the
// face, or separates them) and interior decision (no tunnel, or one of the
// tunnels that combination leaves room for), generated from the cube's
// numbering:
//   - each face is cut by the segments its corner states and decision call
//     for, each segment directed so that, seen from outside the cube, the
//     inside (values >= 0) lies on its right; the cell across the face then
//     runs the shared segment the other way;
//   - the directed segments chain into closed loops; the corners split into
//     regions, those joined along the cube's surface; a tunnel joins two
//     regions of one state through the cell, and the two loops between the
//     joined regions and the region of the other state they both border
//     become the two ends of a tube;
//   - every other loop is a disc, triangulated with the fewest triangles
//     facing inwards at the edge midpoints (the test the handlers' table
//     passes); a tube is a strip between its loops;
//   - no side of a triangle joins two crossings of one face unless it is
//     one of that face's cuts: the cell across the face could join them
//     too, pinching the surface. Where the cheapest triangulation has such a
//     side, a vertex inside the cell splits it (see InteriorVertex).
// Where the old triangulation of a decided case had no such side and no
// tunnel is drawn, it stays; a case with no ambiguous face and no tunnel
// drawn takes the handlers' triangles.
//
// Face decisions are numbered per case: bit i stands for the case's i-th
// ambiguous face in face order, set when that face joins its inside corners.
class AmbiguousCaseTable {
  public:
    // A vertex inside the cell: weight[e] of the crossing on edge e, summed
    // (CubeMarcher::blendCrossings).
    struct InteriorVertex {
        float weight[kEdgeCount] = {};
    };

    // Triangle corners below kEdgeCount are the crossings on those edges;
    // corner kEdgeCount + i is interior vertex i.
    struct Variant {
        uint32_t caseIndex = 0;  // the case it draws
        int32_t triangleCount = 0;
        int32_t interiorCount = 0;
        int32_t triangles[3 * kMaxTrianglesPerCell] = {};
        InteriorVertex interior[kMaxInteriorVertices];
    };

    // Two corners of one state that a tunnel joins through the cell, each
    // standing for its region.
    struct Tunnel {
        bool inside = false;
        int32_t from = 0;
        int32_t to = 0;
    };

    // Until generated, no case is decided: every cell takes the handlers'
    // triangles.
    AmbiguousCaseTable() = default;
    // Generates the table from `marcher`'s topology and generated case table.
    explicit AmbiguousCaseTable(const CubeMarcher& marcher) { generate(marcher); }
    void generate(const CubeMarcher& marcher);

    // Whether the case's cells are polygonised from this table.
    bool decides(uint32_t caseIndex) const { return decided_[caseIndex]; }
    // Bit f set when face f of the case is ambiguous.
    uint32_t ambiguousFaces(uint32_t caseIndex) const { return ambiguousFaces_[caseIndex]; }
    // The same from the case's bits alone, for a table not yet generated.
    static uint32_t ambiguousFacesOf(uint32_t caseIndex);
    // The tunnels the case leaves room for under `faceDecisions`.
    int32_t tunnelCount(uint32_t caseIndex, uint32_t faceDecisions) const {
        return combination(caseIndex, faceDecisions).tunnelCount;
    }
    const Tunnel& tunnel(uint32_t caseIndex, uint32_t faceDecisions, int32_t t) const {
        return combination(caseIndex, faceDecisions).tunnels[t];
    }
    // The triangles of a decided case under `faceDecisions`, with tunnel
    // t - 1, or none when `tunnel` is 0.
    const Variant& variant(uint32_t caseIndex, uint32_t faceDecisions, int32_t tunnel = 0) const {
        return variants_[variantIndex(caseIndex, faceDecisions, tunnel)];
    }
    int32_t variantIndex(uint32_t caseIndex, uint32_t faceDecisions, int32_t tunnel = 0) const {
        return combination(caseIndex, faceDecisions).firstVariant + tunnel;
    }
    // The one lookup every extraction path makes: the index into variants()
    // of the triangles for a cell with these corner values, faces decided by
    // decideFaces and the interior by decideTunnel, or -1 when the case is not
    // decided here and the handlers' triangles stand.
    int32_t variantIndexFor(uint32_t caseIndex, const float values[kCornerCount]) const {
        return decided_[caseIndex] ? decidedVariantIndex(caseIndex, values) : -1;
    }
    const std::vector<Variant>& variants() const { return variants_; }
    // Triangles of the triangulated discs that face inwards at the edge
    // midpoints.
    int32_t foldedTriangles() const { return foldedTriangles_; }

    // The corners of face f in cyclic order, from its lowest corner.
    static void faceCorners(int32_t face, int32_t corners[4]);
    // The decision bits for the faces in `faces` (bits in face order) from
    // the corner values: the asymptotic decider. On the face's bilinear
    // interpolant the saddle value (a*c - b*d) / (a + c - b - d), corners a,
    // b, c, d in faceCorners' order, lies on the inside (>= 0) when the two
    // inside corners are joined across the face. Both cells sharing a face
    // read its four samples in the same order, so they decide alike; a NaN
    // or infinite sample makes the same decision from both sides too.
    static uint32_t decideFaces(uint32_t faces, const float values[kCornerCount]);
    // Whether the trilinear interpolant of the corner values joins the two
    // corners of `tunnel`, both in its state, through the cell (see
    // interior_test.cpp). Cells with a sample that is not finite have none.
    static bool decideTunnel(const Tunnel& tunnel, const float values[kCornerCount]);
    // The value at the saddle of face f's bilinear interpolant, which
    // decideFaces compares with 0. Only finite on an ambiguous face.
    static double saddleValue(int32_t face, const float values[kCornerCount]);

  private:
    // One combination of face decisions of a case, and its variants: no
    // tunnel first, then one per tunnel.
    struct Combination {
        int32_t firstVariant = 0;
        int32_t tunnelCount = 0;
        Tunnel tunnels[kMaxTunnels];
    };

    int32_t decidedVariantIndex(uint32_t caseIndex, const float values[kCornerCount]) const;
    const Combination& combination(uint32_t caseIndex, uint32_t faceDecisions) const {
        return combinations_[firstCombination_[caseIndex] + faceDecisions];
    }

    bool decided_[kCaseCount] = {};
    uint8_t ambiguousFaces_[kCaseCount] = {};
    int32_t firstCombination_[kCaseCount] = {};
    std::vector<Combination> combinations_;
    std::vector<Variant> variants_;
    int32_t foldedTriangles_ = 0;
};

#pragma once

#include <cstdint>
#include <vector>

#include "engine/cube_marcher.h"

// Faces of the cube: face f lies at side f % 2 (0 low, 1 high) of axis f / 2.
inline constexpr int32_t kFaceCount = 6;

// How a cell with an ambiguous face is polygonised: kTable takes the
// handlers' table as it is, kDecider decides every ambiguous face from its
// values, the same way from both cells that share it, so the surface closes.
enum class FaceRule { kTable, kDecider };

// The second case table, for cells with an ambiguous face: a face whose two
// diagonals each join corners of one state, the states differing, so that its
// four crossings can be joined in two ways. The handlers' table joins them
// per case, and two cells sharing such a face may join them differently,
// leaving a crack. Here every case with ambiguous faces has one triangulation
// per combination of decisions on those faces (a face either joins its two
// inside corners across the face, or separates them), generated from the
// cube's numbering:
//   - each face is cut by the segments its corner states and decision call
//     for, each segment directed so that, seen from outside the cube, the
//     inside (values >= 0) lies on its right; the cell across the face then
//     runs the shared segment the other way, and on unambiguous faces the
//     segments run as the handlers' triangles do;
//   - the directed segments chain into closed loops, and each loop is
//     triangulated as a fan in its own direction, so that normals point from
//     the inside to the outside. Loops of six or more crossings are saddles:
//     of each loop's fans, the one with the fewest triangles facing inwards
//     at the edge midpoints (the test the handlers' table passes) is kept.
//
// Decisions are numbered per case: bit i stands for the case's i-th
// ambiguous face in face order, set when that face joins its inside corners.
class AmbiguousCaseTable {
  public:
    struct Variant {
        int32_t triangleCount = 0;
        int32_t triangles[3 * kMaxTrianglesPerCase] = {};  // edge triples, as in CaseEntry
    };

    // Until generated, no case has an ambiguous face: every cell takes the
    // handlers' triangles.
    AmbiguousCaseTable() = default;
    // Generates the table from `marcher`'s topology (corner offsets and
    // edges laid out).
    explicit AmbiguousCaseTable(const CubeMarcher& marcher) { generate(marcher); }
    void generate(const CubeMarcher& marcher);

    // Bit f set when face f of the case is ambiguous.
    uint32_t ambiguousFaces(uint32_t caseIndex) const { return ambiguousFaces_[caseIndex]; }
    // The same from the case's bits alone, for a table not yet generated.
    static uint32_t ambiguousFacesOf(uint32_t caseIndex);
    // The triangles of a case with ambiguous faces under `decisions`.
    const Variant& variant(uint32_t caseIndex, uint32_t decisions) const {
        return variants_[firstVariant_[caseIndex] + decisions];
    }
    // The triangles for a cell with these corner values, every ambiguous face
    // decided by decideFaces. The case must have ambiguous faces.
    const Variant& variantFor(uint32_t caseIndex, const float values[kCornerCount]) const {
        return variant(caseIndex, decideFaces(ambiguousFaces(caseIndex), values));
    }
    // The numbering of variants() per case: case n's variants start at
    // firstVariant(n), 1 << popcount(ambiguousFaces(n)) of them.
    int32_t firstVariant(uint32_t caseIndex) const { return firstVariant_[caseIndex]; }
    const std::vector<Variant>& variants() const { return variants_; }
    // Triangles of all variants that face inwards at the edge midpoints.
    int32_t foldedTriangles() const { return foldedTriangles_; }

    // The corners of face f in cyclic order, from its lowest corner.
    static void faceCorners(int32_t face, int32_t corners[4]);
    // The decision bits for the faces in `faces` (bits in face order) from
    // the corner values: the asymptotic decider. On the face's bilinear
    // interpolant the saddle value (a*c - b*d) / (a + c - b - d), corners a,
    // b, c, d in faceCorners' order, lies on the inside (>= 0) when the two
    // inside corners are joined across the face. Both cells sharing a face
    // read its four samples in the same order, so they decide alike.
    static uint32_t decideFaces(uint32_t faces, const float values[kCornerCount]);
    // The value at the saddle of face f's bilinear interpolant, which
    // decideFaces compares with 0. Only finite on an ambiguous face.
    static double saddleValue(int32_t face, const float values[kCornerCount]);

  private:
    uint8_t ambiguousFaces_[kCaseCount] = {};
    int32_t firstVariant_[kCaseCount] = {};
    std::vector<Variant> variants_;
    int32_t foldedTriangles_ = 0;
};

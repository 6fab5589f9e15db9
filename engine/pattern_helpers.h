#pragma once

// Internal to the pattern handlers: corner states of one case and the one way
// every handler appends a recognised piece of surface.

#include <array>
#include <cstdint>
#include <initializer_list>

#include "engine/cube_marcher.h"

using EdgeTriangle = std::array<int32_t, 3>;

// The states of the eight corners of one case, read only through cornerSigns.
class CornerStates {
  public:
    explicit CornerStates(int32_t caseIndex) { CubeMarcher::cornerSigns(caseIndex, signs_); }

    bool isSet(int32_t corner) const { return signs_[corner] > 0; }

    // Bit i set when corner i is clear.
    uint32_t clearCorners() const {
        uint32_t mask = 0;
        for (int32_t corner = 0; corner < kCornerCount; ++corner) {
            if (!isSet(corner)) {
                mask |= 1u << corner;
            }
        }
        return mask;
    }

  private:
    int32_t signs_[kCornerCount];
};

inline constexpr int32_t kOppositeCornerMask = kCornerCount - 1;

inline int32_t oppositeCorner(int32_t corner) {
    return corner ^ kOppositeCornerMask;
}

// The corner whose direction leads from the set side of a piece to its clear
// side: `corner` itself when clear, else the corner opposite it.
inline int32_t clearSideCorner(const CornerStates& states, int32_t corner) {
    return states.isSet(corner) ? oppositeCorner(corner) : corner;
}

// The edge that leaves `corner` along `axis`.
inline int32_t edgeAlong(const CubeMarcher& marcher, int32_t corner, int32_t axis) {
    return marcher.findEdge(corner, CubeMarcher::flipCorner(corner, axis));
}

// Writes the piece's hint, appends its triangles and orients them against that
// hint right away, so that a later match's hint cannot turn them inside out.
// Returns the number of triangles appended.
inline int32_t appendPiece(CubeMarcher& marcher, int32_t caseIndex, int32_t hintCorner,
                           std::initializer_list<EdgeTriangle> triangles) {
    CaseEntry& entry = marcher.caseTable[caseIndex];
    const int32_t firstTriangle = entry.triangleCount;
    entry.normalHint = CubeMarcher::cornerDirection(hintCorner);
    for (const EdgeTriangle& triangle : triangles) {
        for (int32_t vertex = 0; vertex < 3; ++vertex) {
            entry.triangles[3 * entry.triangleCount + vertex] = triangle[vertex];
        }
        ++entry.triangleCount;
    }
    marcher.orientTriangles(caseIndex, firstTriangle);
    return static_cast<int32_t>(triangles.size());
}

#include "engine/cube_marcher.h"
#include "engine/pattern_helpers.h"

namespace {

// An L of three corners on the face through `middle` perpendicular to `axis`.
struct FaceTriple {
    int32_t middle, n1, n2, n12, m, m1, m2;

    FaceTriple(int32_t corner, int32_t axis)
        : middle(corner),
          n1(CubeMarcher::flipCorner(corner, (axis + 1) % kAxisCount)),
          n2(CubeMarcher::flipCorner(corner, (axis + 2) % kAxisCount)),
          n12(CubeMarcher::flipCorner(n1, (axis + 2) % kAxisCount)),
          m(CubeMarcher::flipCorner(corner, axis)),
          m1(CubeMarcher::flipCorner(n1, axis)),
          m2(CubeMarcher::flipCorner(n2, axis)) {}

    // The L shares one state and its four neighbours hold the other; the
    // corner diagonally opposite the middle one takes no part.
    bool isCutOffIn(const CornerStates& states) const {
        const bool lState = states.isSet(middle);
        return states.isSet(n1) == lState && states.isSet(n2) == lState &&
               states.isSet(m) != lState && states.isSet(m1) != lState &&
               states.isSet(m2) != lState && states.isSet(n12) != lState;
    }
};

}  // namespace

int32_t CubeMarcher::addFaceTriple(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            const FaceTriple l(corner, axis);
            if (!l.isCutOffIn(states)) {
                continue;
            }
            // A fan over the pentagon of the five edges leaving the L.
            const int32_t n2m2 = findEdge(l.n2, l.m2);
            const int32_t n1m1 = findEdge(l.n1, l.m1);
            const int32_t n1n12 = findEdge(l.n1, l.n12);
            return appendPiece(*this, caseIndex, clearSideCorner(states, l.middle),
                               {{n2m2, n1m1, n1n12},
                                {n1n12, findEdge(l.n2, l.n12), n2m2},
                                {n2m2, findEdge(l.middle, l.m), n1m1}});
        }
    }
    return 0;
}

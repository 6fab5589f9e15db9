#include "engine/cube_marcher.h"
#include "engine/pattern_helpers.h"

namespace {

bool neighboursAllOpposite(const CornerStates& states, int32_t corner) {
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (states.isSet(CubeMarcher::flipCorner(corner, axis)) == states.isSet(corner)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t CubeMarcher::addIsolatedCorners(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    int32_t appended = 0;
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        if (!neighboursAllOpposite(states, corner)) {
            continue;
        }
        appended += appendPiece(*this, caseIndex, clearSideCorner(states, corner),
                                {{edgeAlong(*this, corner, 0), edgeAlong(*this, corner, 1),
                                  edgeAlong(*this, corner, 2)}});
    }
    return appended;
}

int32_t CubeMarcher::addIsolatedEdges(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    int32_t appended = 0;
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        const int32_t a = edgeCorners[edge][0];
        const int32_t b = edgeCorners[edge][1];
        const int32_t k1 = (edgeAxis(edge) + 1) % kAxisCount;
        const int32_t k2 = (edgeAxis(edge) + 2) % kAxisCount;
        const auto differsFromA = [&](int32_t corner) {
            return states.isSet(corner) != states.isSet(a);
        };
        // The far edge parallel to this one takes no part in the test.
        const bool isolated = !differsFromA(b) && differsFromA(flipCorner(a, k1)) &&
                              differsFromA(flipCorner(b, k1)) && differsFromA(flipCorner(a, k2)) &&
                              differsFromA(flipCorner(b, k2));
        if (!isolated) {
            continue;
        }
        const int32_t a1 = edgeAlong(*this, a, k1);
        const int32_t a2 = edgeAlong(*this, a, k2);
        const int32_t b2 = edgeAlong(*this, b, k2);
        const int32_t b1 = edgeAlong(*this, b, k1);
        // The quad A1, A2, B2, B1 split along its A1-B2 diagonal.
        appended +=
            appendPiece(*this, caseIndex, clearSideCorner(states, a), {{a1, a2, b2}, {b2, b1, a1}});
    }
    return appended;
}

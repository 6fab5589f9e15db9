#include "engine/cube_marcher.h"
#include "engine/pattern_helpers.h"

namespace {

// True when the corners on the low side of `axis` are all of one state and
// those on the high side all of the other.
bool splitsAlong(const CornerStates& states, int32_t axis) {
    const auto lowSideSet = [&](int32_t corner) {
        return CubeMarcher::isLowSide(corner, axis) == states.isSet(corner);
    };
    for (int32_t corner = 1; corner < kCornerCount; ++corner) {
        if (lowSideSet(corner) != lowSideSet(0)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t CubeMarcher::addHalfCubeSplits(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    int32_t appended = 0;
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (!splitsAlong(states, axis)) {
            continue;
        }
        int32_t parallel[4];
        edgesAlongAxis(axis, parallel);
        const int32_t e0 = parallel[0];
        const int32_t e1 = shiftedEdge(e0, (axis + 1) % kAxisCount);
        const int32_t e2 = shiftedEdge(e0, (axis + 2) % kAxisCount);
        const int32_t e3 = shiftedEdge(e2, (axis + 1) % kAxisCount);
        // Corner 0 lies on the low side, so its clear side is the split's.
        appended +=
            appendPiece(*this, caseIndex, clearSideCorner(states, 0), {{e0, e1, e2}, {e1, e3, e2}});
    }
    return appended;
}

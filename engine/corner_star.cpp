#include "engine/cube_marcher.h"
#include "engine/pattern_helpers.h"

int32_t CubeMarcher::addCornerStar(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    int32_t appended = 0;
    for (int32_t centre = 0; centre < kCornerCount; ++centre) {
        const int32_t x = flipCorner(centre, 0);
        const int32_t y = flipCorner(centre, 1);
        const int32_t z = flipCorner(centre, 2);
        const uint32_t star = (1u << centre) | (1u << x) | (1u << y) | (1u << z);
        if (states.clearCorners() != star) {
            continue;
        }
        const int32_t xy = flipCorner(x, 1);
        const int32_t xz = flipCorner(x, 2);
        const int32_t yz = flipCorner(y, 2);
        // The hexagon cut between the clear star and the set corners: one
        // triangle on three consecutive points, then a fan from the z-x point.
        const int32_t xXz = findEdge(x, xz);
        const int32_t yXy = findEdge(y, xy);
        const int32_t zXz = findEdge(z, xz);
        const int32_t yYz = findEdge(y, yz);
        appended += appendPiece(*this, caseIndex, centre,
                                {{xXz, findEdge(x, xy), yXy},
                                 {zXz, xXz, yXy},
                                 {zXz, yXy, yYz},
                                 {zXz, yYz, findEdge(z, yz)}});
    }
    return appended;
}

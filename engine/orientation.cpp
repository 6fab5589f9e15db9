#include "engine/cube_marcher.h"

#include <utility>

// Midpoints are multiples of 0.5, so the sign of the dot product is exact in
// float; a triangle perpendicular to the hint keeps its order.
int32_t CubeMarcher::orientTriangles(int32_t caseIndex, int32_t firstTriangle) {
    CaseEntry& entry = caseTable[caseIndex];
    int32_t reversed = 0;
    for (int32_t t = firstTriangle; t < entry.triangleCount; ++t) {
        int32_t* edges = &entry.triangles[3 * t];
        const Vec3 normal =
            triangleNormal(edgeMidpoint(edges[0]), edgeMidpoint(edges[1]), edgeMidpoint(edges[2]));
        if (dot(entry.normalHint, normal) < 0.0f) {
            std::swap(edges[1], edges[2]);
            ++reversed;
        }
    }
    return reversed;
}

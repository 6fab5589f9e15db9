#include "engine/cube_marcher.h"

#include <utility>

namespace {

Vec3 difference(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 cross(Vec3 u, Vec3 v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

// Midpoints are multiples of 0.5, so the sign of the dot product is exact in
// float; a triangle perpendicular to the hint keeps its order.
int32_t CubeMarcher::orientTriangles(int32_t caseIndex, int32_t firstTriangle) {
    CaseEntry& entry = caseTable[caseIndex];
    int32_t reversed = 0;
    for (int32_t t = firstTriangle; t < entry.triangleCount; ++t) {
        int32_t* edges = &entry.triangles[3 * t];
        const Vec3 p0 = edgeMidpoint(edges[0]);
        const Vec3 normal =
            cross(difference(edgeMidpoint(edges[1]), p0), difference(edgeMidpoint(edges[2]), p0));
        if (dot(entry.normalHint, normal) < 0.0f) {
            std::swap(edges[1], edges[2]);
            ++reversed;
        }
    }
    return reversed;
}

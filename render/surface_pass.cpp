#include "render/surface_pass.h"

namespace surface {

CrossingCells& sharedCrossingCells() {
    static CrossingCells cells;
    return cells;
}

Vec3 faceNormal(const float* triangle) {
    const float* p0 = triangle;
    const float* p1 = triangle + kFloatsPerVertex;
    const float* p2 = triangle + 2 * kFloatsPerVertex;
    const Vec3 e1{p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const Vec3 e2{p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    return {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
}

void printTriangle(FILE* out, const Vec3& origin, const float* triangle) {
    const Vec3 p0 = placedVertex(origin, triangle, 0);
    const Vec3 p1 = placedVertex(origin, triangle, 1);
    const Vec3 p2 = placedVertex(origin, triangle, 2);
    std::fprintf(out, "%.2f %.2f %.2f \t%.2f %.2f %.2f \t%.2f %.2f %.2f\n",
                 static_cast<double>(p0.x), static_cast<double>(p0.y), static_cast<double>(p0.z),
                 static_cast<double>(p1.x), static_cast<double>(p1.y), static_cast<double>(p1.z),
                 static_cast<double>(p2.x), static_cast<double>(p2.y), static_cast<double>(p2.z));
}

}  // namespace surface

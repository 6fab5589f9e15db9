#include "render/surface_pass.h"

namespace surface {

CrossingCells& sharedCrossingCells() {
    static CrossingCells cells;
    return cells;
}

void printTriangle(FILE* out, const Vec3& origin, const float* triangle) {
    printTriangleLine(out, placedVertex(origin, triangle, 0), placedVertex(origin, triangle, 1),
                      placedVertex(origin, triangle, 2));
}

void printTriangleLine(FILE* out, const Vec3& p0, const Vec3& p1, const Vec3& p2) {
    std::fprintf(out, "%.2f %.2f %.2f \t%.2f %.2f %.2f \t%.2f %.2f %.2f\n",
                 static_cast<double>(p0.x), static_cast<double>(p0.y), static_cast<double>(p0.z),
                 static_cast<double>(p1.x), static_cast<double>(p1.y), static_cast<double>(p1.z),
                 static_cast<double>(p2.x), static_cast<double>(p2.y), static_cast<double>(p2.z));
}

}  // namespace surface

#include "process/mesh_measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <future>
#include <system_error>
#include <vector>

#include "process/mesh_pieces.h"
#include "process/vertex_sides.h"

namespace {

struct EdgeCounts {
    int64_t unpaired = 0;
    int64_t conflicts = 0;
};

EdgeCounts countEdgeFaults(const SurfaceMesh& mesh) {
    EdgeCounts counts;
    forEachEdge(VertexSides(mesh, VertexSides::Ends::kLower),
                [&counts](int32_t a, int32_t b, int32_t faces, bool sameWay) {
                    if (faces != 2 || a == b) {
                        ++counts.unpaired;
                    } else if (sameWay) {
                        ++counts.conflicts;
                    }
                });
    return counts;
}

struct Size {
    double area = 0.0;
    double volume = 0.0;
};

// Summed in double about the first vertex, so that a mesh far from the origin
// keeps its digits.
Size sizeOf(const SurfaceMesh& mesh) {
    Size size;
    if (mesh.positions.empty()) {
        return size;
    }
    const Vec3 origin = mesh.positions.front();
    const auto relative = [&](int32_t v) {
        const Vec3& p = mesh.positions[v];
        return std::array<double, 3>{double{p.x} - origin.x, double{p.y} - origin.y,
                                     double{p.z} - origin.z};
    };
    for (const auto& triangle : mesh.triangles) {
        const auto a = relative(triangle[0]);
        const auto b = relative(triangle[1]);
        const auto c = relative(triangle[2]);
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                             u[0] * w[1] - u[1] * w[0]};
        size.area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2.0;
        size.volume += (a[0] * n[0] + a[1] * n[1] + a[2] * n[2]) / 6.0;
    }
    return size;
}

// Runs `aside` on a thread of its own when `threads` allows one and it can be
// started, else on this thread, and `here` on this thread meanwhile.
template <class Aside, class Here>
void runBeside(int32_t threads, Aside aside, Here here) {
    std::future<void> started;
    if (threads > 1) {
        try {
            started = std::async(std::launch::async, aside);
        } catch (const std::system_error&) {
        }
    }
    if (!started.valid()) {
        aside();
    }
    here();
    if (started.valid()) {
        started.get();
    }
}

// "1 edge", "2 edges".
std::string counted(int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

MeshMeasure measureMesh(const SurfaceMesh& mesh, int32_t threads,
                        const std::function<void()>& alongside) {
    MeshMeasure measure;
    measure.triangles = static_cast<int64_t>(mesh.triangles.size());
    EdgeCounts edges;
    Size size;
    // The edge check, the largest part, beside the rest.
    runBeside(
        threads, [&] { edges = countEdgeFaults(mesh); },
        [&] {
            if (alongside) {
                alongside();
            }
            measure.pieces = countPieces(mesh);
            size = sizeOf(mesh);
        });
    measure.unpairedEdges = edges.unpaired;
    measure.orientationConflicts = edges.conflicts;
    measure.area = size.area;
    measure.volume = size.volume;
    return measure;
}

std::string describeMeasure(const MeshMeasure& measure, const std::string& unit) {
    char closure[160];
    if (measure.watertight()) {
        std::snprintf(closure, sizeof closure, "watertight");
    } else {
        std::snprintf(closure, sizeof closure,
                      "not watertight (%s not shared by two faces, %s whose two faces disagree in "
                      "winding)",
                      counted(measure.unpairedEdges, "edge").c_str(),
                      counted(measure.orientationConflicts, "edge").c_str());
    }
    char line[400];
    std::snprintf(line, sizeof line, "%s, %s, %s, area %.6g %s^2, volume %.6g %s^3",
                  counted(measure.triangles, "triangle").c_str(),
                  counted(measure.pieces, "piece").c_str(), closure, measure.area, unit.c_str(),
                  measure.volume, unit.c_str());
    return line;
}

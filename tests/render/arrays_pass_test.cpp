#include "render/arrays_pass.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "field/metaball_field.h"
#include "recording_gl.h"
#include "test_support.h"

namespace {

using Point = std::array<double, 3>;

// What a recorded stream draws, whether sent in immediate mode or read from
// arrays: every vertex with the normal current when it was sent.
struct Geometry {
    std::vector<Point> triangleCorners;                // three per triangle
    std::vector<Point> triangleNormals;                // one per corner
    std::multiset<std::array<Point, 2>> outlineEdges;  // each edge's ends in order
};

Geometry geometryOf(const std::vector<GlCall>& calls) {
    Geometry geometry;
    double mode = -1;
    Point normal{};
    std::vector<Point> lineEnds;
    for (const GlCall& call : calls) {
        const bool opens =
            call.name == "begin" || call.name == "drawArrays" || call.name == "drawElements";
        if (opens) {
            mode = call.args[0];
        } else if (call.name == "normal3f") {
            normal = {call.args[0], call.args[1], call.args[2]};
        } else if (call.name == "vertex3f" && mode == gl::kTriangles) {
            geometry.triangleCorners.push_back({call.args[0], call.args[1], call.args[2]});
            geometry.triangleNormals.push_back(normal);
        } else if (call.name == "vertex3f" && mode == gl::kLines) {
            lineEnds.push_back({call.args[0], call.args[1], call.args[2]});
        }
    }
    for (size_t i = 0; i + 1 < lineEnds.size(); i += 2) {
        geometry.outlineEdges.insert(std::min(std::array{lineEnds[i], lineEnds[i + 1]},
                                              std::array{lineEnds[i + 1], lineEnds[i]}));
    }
    return geometry;
}

double cosineOf(const Point& a, const Point& b) {
    const auto length = [](const Point& p) {
        return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    };
    return (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (length(a) * length(b));
}

struct Drawn {
    Geometry geometry;
    std::vector<std::string> listing;
    std::array<int32_t, kCaseCount> usage{};
    std::vector<GlCall> calls;
};

Drawn drawnBy(bool arrays, const ScalarGrid& grid, Shading shading = Shading::kFlat) {
    static const auto table = makeGeneratedMarcher();
    static const AmbiguousCaseTable ambiguous(*table);
    auto marcher = makeGeneratedMarcher();
    RecordingGl gl;
    Drawn drawn;
    drawn.listing = linesOf(flushedOutput([&](FILE* out) {
        if (arrays) {
            ArraysPass(*table, ambiguous)
                .draw(gl, grid, FaceRule::kDecider, shading, marcher->usageCount, out);
        } else {
            drawSurface(gl, *marcher, grid, true, out, &ambiguous);
        }
    }));
    std::copy_n(marcher->usageCount, kCaseCount, drawn.usage.begin());
    drawn.geometry = geometryOf(gl.calls);
    drawn.calls = std::move(gl.calls);
    return drawn;
}

// From the mesh, with vertex arrays: the per-cell pass's triangles in its
// order, corner for corner, each with its face normal; every outline edge it
// draws, once; the same listing and usage counts; and the arrays switched
// off again.
TEST(ArraysPass, DrawsWhatThePerCellPassDrawsWithEachOutlineEdgeOnce) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    for (const float t : {0.2f, 40.2f}) {
        updateMetaballField(grid, t);
        const Drawn cells = drawnBy(false, grid);
        const Drawn arrays = drawnBy(true, grid);
        ASSERT_EQ(arrays.geometry.triangleCorners, cells.geometry.triangleCorners) << "t " << t;
        for (size_t c = 0; c < cells.geometry.triangleNormals.size(); ++c) {
            ASSERT_GT(
                cosineOf(arrays.geometry.triangleNormals[c], cells.geometry.triangleNormals[c]),
                0.9999)
                << "corner " << c;
        }
        const std::set<std::array<Point, 2>> edges(cells.geometry.outlineEdges.begin(),
                                                   cells.geometry.outlineEdges.end());
        const std::multiset<std::array<Point, 2>> eachOnce(edges.begin(), edges.end());
        EXPECT_TRUE(arrays.geometry.outlineEdges == eachOnce);
        EXPECT_EQ(arrays.listing, cells.listing);
        EXPECT_EQ(arrays.usage, cells.usage);
        ASSERT_GE(arrays.calls.size(), 2u);
        EXPECT_EQ(traceOf({arrays.calls.end() - 2, arrays.calls.end()}),
                  "disableClientState(32885)\ndisableClientState(32884)\n");
    }
}

// A lone ball: smooth shading's vertex normals point away from its centre,
// along the field's gradient, and the triangles stay the flat ones.
TEST(ArraysPass, SmoothShadingGivesVerticesTheOutwardGradient) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(24, 24, 24));
    const Point centre = {11.3, 12.1, 11.7};
    for (int32_t k = 0; k < 24; ++k) {
        for (int32_t j = 0; j < 24; ++j) {
            for (int32_t i = 0; i < 24; ++i) {
                const double d = std::hypot(i - centre[0], j - centre[1], k - centre[2]);
                grid.writeSample(i, j, k, static_cast<float>(7.0 - d));
            }
        }
    }
    const Drawn smooth = drawnBy(true, grid, Shading::kSmooth);
    ASSERT_EQ(smooth.geometry.triangleCorners, drawnBy(true, grid).geometry.triangleCorners);
    for (size_t c = 0; c < smooth.geometry.triangleCorners.size(); ++c) {
        const Point& p = smooth.geometry.triangleCorners[c];
        const Point outward = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
        ASSERT_GT(cosineOf(smooth.geometry.triangleNormals[c], outward), 0.995) << "corner " << c;
    }
}

}  // namespace

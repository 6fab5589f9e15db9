#include "render/arrays_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// A ball of radius 1.3 around the middle of a 4-sample grid, flat and smooth:
// the client state set and reset, the arrays as GL reads them (each outline
// edge once), the listing and the cases counted, as the golden trace has them.
// The arrays' triangles are the per-cell pass's, since the mesh's are
// (extract/surface_mesh_test.cpp).
TEST(ArraysPass, DrawsFlatAndSmoothAsTheGoldenTrace) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(4, 4, 4));
    for (int32_t s = 0; s < grid.sampleCount(); ++s) {
        grid.data[s] = 1.3f - std::hypot(s % 4 - 1.4f, s / 4 % 4 - 1.5f, s / 16 - 1.6f);
    }
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable ambiguous(*marcher);
    ArraysPass pass(*marcher, ambiguous);
    std::string trace;
    for (const Shading shading : {Shading::kFlat, Shading::kSmooth}) {
        RecordingGl gl;
        int32_t usage[kCaseCount] = {};
        trace += flushedOutput(
            [&](FILE* out) { pass.draw(gl, grid, FaceRule::kDecider, shading, usage, out); });
        trace += traceOf(gl.calls);
        for (int32_t c = 0; c < kCaseCount; ++c) {
            trace += usage[c] != 0
                         ? "case " + std::to_string(c) + ": " + std::to_string(usage[c]) + "\n"
                         : "";
        }
    }
    EXPECT_EQ(trace, golden("render/arrays_pass.trace", trace));
}

// The export takes the last frame's mesh instead of extracting again: the
// pass hands over what it last extracted of the grid under the rule asked for
// (even though the grid changed since, which the caller rules out), and
// extracts afresh when it kept nothing or the rule differs.
TEST(ArraysPass, HandsOverTheLastExtractionOrExtractsAfresh) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(12, 12, 12));
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable ambiguous(*marcher);
    MeshExtractor extractor(*marcher, ambiguous);
    const auto fresh = [&](FaceRule rule) {
        SurfaceMesh mesh;
        extractor.extract(grid, mesh, rule);
        return mesh.triangles;
    };
    ArraysPass pass(*marcher, ambiguous, 2);
    const auto fill = [&](float radius) {
        for (int32_t s = 0; s < grid.sampleCount(); ++s) {
            grid.data[s] = radius - std::hypot(s % 12 - 5.4f, s / 12 % 12 - 5.5f, s / 144 - 5.6f);
        }
    };
    fill(3.3f);
    pass.extract(grid, FaceRule::kDecider, VertexNormals::kNone, nullptr, nullptr);
    const auto lastFrame = fresh(FaceRule::kDecider);
    fill(4.4f);
    const auto larger = fresh(FaceRule::kDecider);
    ASSERT_NE(larger, lastFrame);
    EXPECT_EQ(pass.takeMesh(grid, FaceRule::kDecider).triangles, lastFrame);
    EXPECT_EQ(pass.takeMesh(grid, FaceRule::kDecider).triangles, larger);
    pass.extract(grid, FaceRule::kDecider, VertexNormals::kNone, nullptr, nullptr);
    fill(3.3f);
    EXPECT_EQ(pass.takeMesh(grid, FaceRule::kTable).triangles, lastFrame);
}

}  // namespace

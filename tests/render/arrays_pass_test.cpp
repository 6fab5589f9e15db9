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

}  // namespace

#include "render/mesh_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// A ball of radius 1.3 around the middle of a 4-sample grid.
struct Ball {
    std::unique_ptr<CubeMarcher> marcher = makeGeneratedMarcher();
    AmbiguousCaseTable ambiguous{*marcher};
    SurfaceMesh mesh;
    MeshEdges edges;

    Ball() {
        ScalarGrid grid;
        grid.allocate(4, 4, 4);
        for (int32_t s = 0; s < grid.sampleCount(); ++s) {
            grid.data[s] = 1.3f - std::hypot(s % 4 - 1.4f, s / 4 % 4 - 1.5f, s / 16 - 1.6f);
        }
        MeshExtractor(*marcher, ambiguous)
            .extract(grid, mesh, FaceRule::kDecider, nullptr, VertexNormals::kGradient);
        edges.build(mesh);
    }
};

// Flat and smooth: the client state set and reset, the arrays as GL reads
// them (each outline edge once, between shared vertices), as the golden trace
// has them.
TEST(MeshPass, DrawsFlatAndSmoothAsTheGoldenTrace) {
    const Ball ball;
    std::string trace;
    for (const Shading shading : {Shading::kFlat, Shading::kSmooth}) {
        RecordingGl gl;
        MeshPass pass;
        pass.draw(gl, ball.mesh, ball.edges, shading, 1);
        trace += traceOf(gl.calls);
    }
    EXPECT_EQ(trace, golden("render/mesh_pass.trace", trace));
}

// A mesh drawn again under the same stamp is recorded into a list on its
// second frame, exactly as it was drawn, and only called after that; a new
// stamp draws the arrays again and reuses the list once it stays.
TEST(MeshPass, CompilesAMeshThatStaysOnceAndCallsItAfter) {
    const Ball ball;
    MeshPass pass;
    const auto frame = [&](uint64_t stamp) {
        RecordingGl gl;
        pass.draw(gl, ball.mesh, ball.edges, Shading::kFlat, stamp);
        return gl.calls;
    };
    const std::vector<std::string> direct = frame(1);
    std::vector<std::string> compiled = {"genLists(1)", "newList(1, 4864)"};
    compiled.insert(compiled.end(), direct.begin(), direct.end());
    compiled.insert(compiled.end(), {"endList()", "callList(1)"});
    EXPECT_EQ(frame(1), compiled);
    for (int32_t again = 0; again < 3; ++again) {
        EXPECT_EQ(frame(1), std::vector<std::string>{"callList(1)"});
    }
    EXPECT_EQ(frame(2), direct);
    compiled.erase(compiled.begin());
    EXPECT_EQ(frame(2), compiled);
    RecordingGl gl;
    pass.release(gl);
    pass.release(gl);
    EXPECT_EQ(gl.calls, std::vector<std::string>{"deleteLists(1, 1)"});
}

}  // namespace

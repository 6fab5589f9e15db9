#include "render/mesh_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "field/metaball_field.h"
#include "recording_gl.h"
#include "test_support.h"

namespace {

// A mesh of `grid` with its gradient normals and outline edges.
struct Surface {
    SurfaceMesh mesh;
    MeshEdges edges;

    explicit Surface(const ScalarGrid& grid) {
        MeshExtractor(generatedTable(), ambiguousTable())
            .extract(grid, mesh, FaceRule::kDecider, nullptr, VertexNormals::kGradient);
        edges.build(mesh);
    }
};

// A ball of radius 1.3 around the middle of a 4-sample grid.
Surface ball() {
    ScalarGrid grid;
    grid.allocate(4, 4, 4);
    fillGrid(grid, [](int32_t i, int32_t j, int32_t k) {
        return 1.3f - std::hypot(i - 1.4f, j - 1.5f, k - 1.6f);
    });
    return Surface(grid);
}

// A vertex as GL receives it: position, then normal.
using Corner = std::array<float, 6>;

Corner cornerOf(Vec3 position, Vec3 normal) {
    return {position.x, position.y, position.z, normal.x, normal.y, normal.z};
}

// The triangles and lines one drawing sends, each primitive's corners in
// a form that ignores where its first corner is (a triangle keeps its
// winding, a line has none), and the client arrays left on.
struct Drawing {
    std::vector<std::vector<Corner>> triangles;
    std::vector<std::vector<Corner>> lines;
    int32_t arraysLeftOn = 0;
};

std::vector<Corner> canonical(std::vector<Corner> corners) {
    if (corners.size() == 2) {
        std::ranges::sort(corners);
    } else {
        std::ranges::rotate(corners, std::ranges::min_element(corners));
    }
    return corners;
}

// Replays the recorded calls: each draw's corners, grouped by its mode,
// must come in the fill grey (triangles) or the outline black (lines).
Drawing replay(const std::vector<std::string>& calls) {
    Drawing drawing;
    std::vector<std::vector<Corner>>* primitives = nullptr;
    size_t perPrimitive = 0;
    float colour = -1.0f;
    Vec3 normal;
    for (const std::string& call : calls) {
        std::string name;
        const std::vector<double> a = argumentsOf(call, name);
        if (name == "color3f") {
            colour = static_cast<float>(a[0]);
        } else if (name == "enableClientState" || name == "disableClientState") {
            drawing.arraysLeftOn += name == "enableClientState" ? 1 : -1;
        } else if (name == "drawArrays" || name == "drawElements") {
            const bool lines = a[0] == gl::kLines;
            EXPECT_EQ(colour, lines ? surface::kOutlineBlack : surface::kFillGrey) << call;
            primitives = lines ? &drawing.lines : &drawing.triangles;
            perPrimitive = lines ? 2 : 3;
        } else if (name == "normal3f") {
            normal = {float(a[0]), float(a[1]), float(a[2])};
        } else if (name == "vertex3f") {
            if (primitives->empty() || primitives->back().size() == perPrimitive) {
                primitives->emplace_back();
            }
            primitives->back().push_back(cornerOf({float(a[0]), float(a[1]), float(a[2])}, normal));
        }
    }
    for (auto* drawn : {&drawing.triangles, &drawing.lines}) {
        std::ranges::transform(*drawn, drawn->begin(), canonical);
        std::ranges::sort(*drawn);
    }
    return drawing;
}

// What a drawing of `mesh` must send, worked out from its triangles alone:
// each triangle once in its winding, each side any triangles share once,
// under smooth shading with the vertices' normals, under flat shading with
// the face normal of the triangle (for a side, the first that has it).
Drawing expected(const SurfaceMesh& mesh, Shading shading, bool outlines) {
    Drawing drawing;
    std::map<std::array<int32_t, 2>, std::vector<Corner>> sides;
    for (const auto& triangle : mesh.triangles) {
        const auto position = [&](int32_t c) { return mesh.positions[triangle[c]]; };
        const Vec3 face = triangleNormal(position(0), position(1), position(2));
        const auto corner = [&](int32_t c) {
            return cornerOf(position(c),
                            shading == Shading::kFlat ? face : mesh.normals[triangle[c]]);
        };
        drawing.triangles.push_back(canonical({corner(0), corner(1), corner(2)}));
        for (int32_t c = 0; c < 3 && outlines; ++c) {
            const auto [low, high] = std::minmax(triangle[c], triangle[(c + 1) % 3]);
            sides.try_emplace({low, high}, canonical({corner(c), corner((c + 1) % 3)}));
        }
    }
    for (const auto& [side, corners] : sides) {
        drawing.lines.push_back(corners);
    }
    std::ranges::sort(drawing.triangles);
    std::ranges::sort(drawing.lines);
    return drawing;
}

// Flat and smooth, with outlines and without, over a ball and blob frames:
// GL receives each triangle once, in its winding and with its normals, and
// each outline once, and every client array it turned on is off again.
TEST(MeshPass, SendsEachTriangleAndOutlineOnceAndTurnsTheArraysOff) {
    std::vector<Surface> surfaces = {ball()};
    ScalarGrid grid;
    grid.allocate(12, 12, 12);
    for (const float time : {0.0f, 1.4f, 3.0f}) {
        updateMetaballField(grid, time);
        surfaces.emplace_back(grid);
    }
    for (const Surface& surface : surfaces) {
        for (const Shading shading : {Shading::kFlat, Shading::kSmooth}) {
            for (const bool outlines : {true, false}) {
                RecordingGl gl;
                MeshPass().draw(gl, surface.mesh, outlines ? &surface.edges : nullptr, shading, 1);
                const Drawing drawn = replay(gl.calls);
                const Drawing wanted = expected(surface.mesh, shading, outlines);
                EXPECT_EQ(drawn.triangles, wanted.triangles);
                EXPECT_EQ(drawn.lines, wanted.lines);
                EXPECT_EQ(drawn.arraysLeftOn, 0);
            }
        }
    }
}

// A mesh drawn again under the same stamp is recorded into a list on its
// second frame, exactly as it was drawn, and only called after that; a new
// stamp, or outlines turned off or on, draws the arrays again and reuses the
// list once it stays.
TEST(MeshPass, CompilesAMeshThatStaysOnceAndCallsItAfter) {
    const Surface ball = ::ball();
    MeshPass pass;
    const auto frame = [&](uint64_t stamp, bool outlines = true) {
        RecordingGl gl;
        pass.draw(gl, ball.mesh, outlines ? &ball.edges : nullptr, Shading::kFlat, stamp);
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
    // Without outlines: the same triangles drawn afresh, no lines.
    const Drawing unoutlined = replay(frame(2, false));
    EXPECT_EQ(unoutlined.triangles, replay(direct).triangles);
    EXPECT_TRUE(unoutlined.lines.empty());
    EXPECT_EQ(frame(2, false).back(), "callList(1)");
    EXPECT_EQ(frame(2), direct);
    RecordingGl gl;
    pass.release(gl);
    pass.release(gl);
    EXPECT_EQ(gl.calls, std::vector<std::string>{"deleteLists(1, 1)"});
}

}  // namespace

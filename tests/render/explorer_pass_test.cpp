#include "render/explorer_pass.h"

#include <gtest/gtest.h>

#include "recording_gl.h"
#include "test_support.h"

namespace {

using explorer_pass::Matrix;

// The matrices GL would hold after the recorded calls: the oracle for where
// the labels belong, taken from the calls the picture really made.
struct MatrixReplay {
    Matrix projection;
    std::vector<Matrix> modelView = {Matrix{}};
    bool projecting = false;
    struct Vertex {
        double x, y;      // normalised device coordinates
        double local[3];  // as sent
    };
    std::vector<Vertex> vertices;

    Matrix& current() { return projecting ? projection : modelView.back(); }

    void replay(const std::string& call) {
        std::string name;
        const std::vector<double> v = argumentsOf(call, name);
        if (name == "matrixMode") {
            projecting = v[0] == gl::kProjection;
        } else if (name == "loadIdentity") {
            current() = Matrix{};
        } else if (name == "frustum") {
            current() =
                current() * explorer_pass::frustumMatrix(v[0], v[1], v[2], v[3], v[4], v[5]);
        } else if (name == "translatef") {
            current() = current() * explorer_pass::translation(v[0], v[1], v[2]);
        } else if (name == "rotatef") {
            current() = current() * explorer_pass::rotation(v[0], v[1], v[2], v[3]);
        } else if (name == "scalef") {
            current() = current() * explorer_pass::scaling(v[0], v[1], v[2]);
        } else if (name == "pushMatrix") {
            modelView.push_back(modelView.back());
        } else if (name == "popMatrix") {
            modelView.pop_back();
        } else if (name == "vertex3f") {
            const Matrix m = projection * modelView.back();
            double clip[4] = {};
            for (int32_t row = 0; row < 4; ++row) {
                clip[row] =
                    m.m[row][0] * v[0] + m.m[row][1] * v[1] + m.m[row][2] * v[2] + m.m[row][3];
            }
            vertices.push_back({clip[0] / clip[3], clip[1] / clip[3], {v[0], v[1], v[2]}});
        }
    }
};

// Over several views of the blobs' odd grid and of a volume in a world
// frame far from the origin (its frustum widened to the window): every
// corner marker sits where GL draws that corner of the cube, and the cube's
// edges go from corner to corner, the three from corner 0 in the axes'
// colours.
TEST(ExplorerPass, MarkersSitOnTheCubeGlDraws) {
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable ambiguous(*marcher);
    const CaseClasses classes(*marcher);
    std::array<float, kCornerCount> values{};
    values.fill(-1.0f);
    values[0] = values[6] = 1.0f;
    const CellDescription cell =
        describeCell(*marcher, ambiguous, classes, values, FaceRule::kDecider);
    IndexToWorld away = IndexToWorld::scaled({0.5f, 2.0f, 1.5f});
    away.origin = {90.0, -126.0, 72.0};
    for (const scene::SceneFit& fit :
         {scene::fitBlobGrid(41), scene::fitVolume({41, 30, 20}, away)}) {
        const explorer_pass::Placement at = explorer_pass::placementFor(fit);
        EXPECT_FLOAT_EQ(at.size, 0.45f * fit.size);
        for (const scene::View& view :
             {scene::View{.distance = 40.0f}, scene::View{30.0f, -80.0f, 170.0f, 2.0f, -3.0f},
              scene::View{60.0f, 10.0f, 0.0f}}) {
            RecordingGl gl;
            setupCamera(gl, view, fit);
            drawExploredCube(gl, cell, *marcher, at);
            MatrixReplay replay;
            for (const std::string& call : gl.calls) {
                replay.replay(call);
            }
            // The cube's 24 edge ends come last, after its triangles and outlines.
            ASSERT_GE(replay.vertices.size(), 24u);
            const explorer_pass::ScreenMap map(view, fit, at, gl.viewportAnswer);
            for (size_t i = replay.vertices.size() - 24; i < replay.vertices.size(); ++i) {
                const auto& drawn = replay.vertices[i];
                // Bit k of a corner's number is its coordinate along axis k.
                const auto corner =
                    static_cast<int32_t>(drawn.local[0] + 2 * drawn.local[1] + 4 * drawn.local[2]);
                const auto label = map.fontPixels({marcher->cornerOffset[corner][0],
                                                   marcher->cornerOffset[corner][1],
                                                   marcher->cornerOffset[corner][2]});
                EXPECT_NEAR(label[0], (drawn.x + 1) / 2 * 800 / overlay::kTextScale, 1e-3);
                EXPECT_NEAR(label[1], (1 - drawn.y) / 2 * 600 / overlay::kTextScale, 1e-3);
            }
            const explorer_pass::Labels labels =
                explorer_pass::labelsFor(cell, *marcher, map, 6, "x", "y");
            // Corner 0 is the first filled marker: its quad's centre is the corner.
            const auto corner0 = map.fontPixels({});
            EXPECT_NEAR((labels.insideQuads[0] + labels.insideQuads[4]) / 2, corner0[0], 1e-3);
            EXPECT_NEAR((labels.insideQuads[1] + labels.insideQuads[5]) / 2, corner0[1], 1e-3);
            EXPECT_EQ(labels.crossingQuads.size(), size_t(cell.crossingCount) * 8);
            EXPECT_EQ(labels.outsideLines.size(), 6u * 4 * 4);  // six hollow squares
            EXPECT_EQ(labels.selectionLines.size(), 4u * 4);
        }
    }
}

}  // namespace

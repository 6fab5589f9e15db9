#include "app/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "animated_field.h"
#include "app/globals.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "app/window_procedure.h"
#include "process/mesh_measure.h"
#include "reference_sweep.h"
#include "test_support.h"

namespace {

// What one frame at `time` lists on a grid of `size`, drawn by a marcher of
// its own.
std::vector<std::string> listingAt(float time, int32_t size) {
    static const auto marcher = makeGeneratedMarcher();
    static const AmbiguousCaseTable ambiguous(*marcher);
    ScalarGrid grid;
    grid.allocate(size, size, size);
    updateMetaballField(grid, time);
    CapturedFile listing;
    NoGl gl;
    drawSurface(gl, *marcher, grid, true, listing.get(), &ambiguous);
    return linesOf(listing.text());
}

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;

    // The lines between the table's last line and the statistics.
    std::vector<std::string> listedTriangles() const {
        const std::vector<std::string> lines = linesOf(out);
        const auto tableEnd = std::ranges::find(lines, "case count:254");
        const auto statistics = std::ranges::find(lines, "Usage stats:");
        EXPECT_LT(tableEnd, statistics) << "no table or no statistics";
        return tableEnd < statistics ? std::vector<std::string>(tableEnd + 1, statistics)
                                     : std::vector<std::string>{};
    }
    int64_t casesOk() const {
        const size_t at = out.find("\ncasesOk:");
        return at == std::string::npos ? -1 : std::stoll(out.substr(at + 9));
    }
};

RunResult runWith(std::vector<const char*> arguments) {
    settings = Settings{};  // the program-wide objects, as a fresh process has them
    volumeView = VolumeView{};
    cubeMarcher.resetUsage();
    CapturedFile out;
    CapturedFile err;
    const int exitCode = runProgram(arguments, out.get(), err.get());
    std::fflush(err.get());  // stands in for stderr, which has no buffer
    return {exitCode, out.text(), err.text()};
}

// What a headless run of `frames` frames on a grid of `size` prints when
// frame `listed` is listed, made by the plain sweep over every cell: the
// start-up listing, that frame's triangles, the statistics of every frame.
std::string plainRunOutput(int64_t frames, int32_t size, int64_t listed) {
    return flushedOutput([=](FILE* out) {
        CubeMarcher marcher;
        marcher.initialiseCubeMarcher(out);
        const AmbiguousCaseTable decider(marcher);
        ScalarGrid grid;
        grid.allocate(size, size, size);
        NoGl gl;
        for (int64_t frame = 1; frame <= frames; ++frame) {
            updateMetaballField(grid, clockAfterFrames(frame));
            reference::drawSurface(gl, marcher, grid, frame == listed, out, &decider);
        }
        marcher.printUsageStats(out);
    });
}

// The table, the requested frame's triangles and the statistics, character
// for character, as the plain sweep prints them; the statistics count every
// crossing cell of the run.
TEST(FrameTest, HeadlessRunPrintsWhatThePlainSweepDoes) {
    const RunResult run =
        runWith({"--headless", "--frames", "3", "--grid", "12", "--press", "2:P"});
    EXPECT_EQ(run.exitCode, kExitSuccess);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, plainRunOutput(3, 12, 2));
    EXPECT_EQ(run.casesOk(), crossingCellsOfRun(3, 12));
}

// An Escape among a frame's keys ends the run before that frame; A stops the
// clock before frame 2 and W moves it on by 0.5, so frame 2 shows the field
// at the frame-1 clock plus 0.5.
TEST(FrameTest, ScheduledKeysApplyBeforeTheirFrameInTheOrderGiven) {
    const RunResult escaped = runWith({"--headless", "--frames", "5", "--press", "2:Escape,2:P"});
    EXPECT_TRUE(escaped.listedTriangles().empty());
    EXPECT_EQ(escaped.casesOk(), crossingCellsOfRun(1, kGridSize));
    const RunResult run = runWith({"--headless", "--frames", "2", "--press", "2:A,2:W,2:P"});
    EXPECT_EQ(run.listedTriangles(), listingAt(clockAfterFrames(1) + keys::kTimeStep, kGridSize));
}

// The mesh path lists and counts what the per-cell path does, in frames that
// rebuild the mesh (the clock runs, then Q steps it back) and in frames
// that keep it (paused).
TEST(FrameTest, TheMeshPathListsAndCountsAsThePerCellPath) {
    const std::vector<const char*> run = {"--headless", "--frames", "6",       "--grid", "12",
                                          "--press",    "2:A",      "--press", "4:Q",    "--press",
                                          "3:P",        "--press",  "6:P"};
    std::vector<const char*> fromMesh = run;
    fromMesh.insert(fromMesh.end(), {"--draw", "arrays"});
    const RunResult perCell = runWith(run);
    EXPECT_EQ(runWith(fromMesh).out, perCell.out);
    fromMesh.insert(fromMesh.end(), {"--threads", "2"});
    EXPECT_EQ(runWith(fromMesh).out, perCell.out);
}

// The mesh is extracted again exactly when one of its inputs changed.
TEST(FrameMesh, RebuildsOnlyWhenAnInputChanges) {
    ScalarGrid grid;
    grid.allocate(12, 12, 12);
    updateMetaballField(grid, 0.0f);
    FrameMesh mesh(cubeMarcher, ambiguousCases);
    MeshInputs inputs;
    mesh.update(grid, inputs, nullptr);
    using Change = void (*)(MeshInputs&);
    const Change changes[] = {
        [](MeshInputs& in) { in.animationTime += 0.2f; },
        [](MeshInputs& in) { in.iso = 3.0f; },
        [](MeshInputs& in) { in.faceRule = FaceRule::kTable; },
        [](MeshInputs& in) { in.shading = Shading::kSmooth; },
    };
    for (const auto& change : changes) {
        const uint64_t before = mesh.stamp();
        mesh.update(grid, inputs, nullptr);
        EXPECT_EQ(mesh.stamp(), before);
        change(inputs);
        mesh.update(grid, inputs, nullptr);
        EXPECT_NE(mesh.stamp(), before);
    }
}

// The export takes the last frame's mesh instead of extracting again: what
// the last build made of the grid under the inputs asked for (even though the
// grid changed since, which the caller rules out), or, when nothing is kept
// or the inputs differ, one extracted afresh.
// A ball of `radius` about (5.4, 5.5, 5.6) on a 12^3 grid.
void fillBall(ScalarGrid& grid, float radius) {
    grid.allocate(12, 12, 12);
    fillGrid(grid, [radius](int32_t i, int32_t j, int32_t k) {
        return radius - std::hypot(i - 5.4f, j - 5.5f, k - 5.6f);
    });
}

TEST(FrameMesh, HandsOverTheLastBuildOrExtractsAfresh) {
    ScalarGrid grid;
    const auto fill = [&grid](float radius) { fillBall(grid, radius); };
    const auto fresh = [&grid](FaceRule rule) {
        SurfaceMesh mesh;
        MeshExtractor(cubeMarcher, ambiguousCases).extract(grid, mesh, rule);
        return mesh.triangles;
    };
    FrameMesh frames(cubeMarcher, ambiguousCases, 2);
    const MeshInputs smooth{.shading = Shading::kSmooth};
    fill(3.3f);
    frames.update(grid, smooth, nullptr);
    const auto lastFrame = fresh(FaceRule::kDecider);
    fill(4.4f);
    SurfaceMesh taken = frames.takeMesh(grid, smooth);
    EXPECT_EQ(taken.triangles, lastFrame);
    EXPECT_TRUE(taken.normals.empty());
    EXPECT_EQ(frames.takeMesh(grid, smooth).triangles, fresh(FaceRule::kDecider));
    frames.update(grid, smooth, nullptr);
    EXPECT_EQ(frames.takeMesh(grid, {.faceRule = FaceRule::kTable}).triangles,
              fresh(FaceRule::kTable));
}

// Processing asked for, the frame draws the processed mesh and the export
// takes it: a ball cut by the grid's sides is closed and smoothed, and each
// vertex's normal (from the faces, as the field's no longer fit) points out.
TEST(FrameMesh, DrawsAndHandsOverTheProcessedMesh) {
    ScalarGrid grid;
    fillBall(grid, 6.5f);
    const MeshProcessing processing{.cap = true, .smoothSteps = 2, .simplifyRatio = {}};
    FrameMesh frames(cubeMarcher, ambiguousCases, 2, processing);
    const MeshInputs smooth{.shading = Shading::kSmooth};
    frames.update(grid, smooth, nullptr);
    const SurfaceMesh& drawn = frames.mesh();
    EXPECT_TRUE(measureMesh(drawn).watertight());
    ASSERT_EQ(drawn.normals.size(), drawn.positions.size());
    for (size_t v = 0; v < drawn.positions.size(); ++v) {
        const Vec3 out = difference(drawn.positions[v], {5.4f, 5.5f, 5.6f});
        EXPECT_GT(dot(drawn.normals[v], out), 0.0f) << v;
    }
    SurfaceMesh expected;
    MeshExtractor extractor(cubeMarcher, ambiguousCases);
    extractProcessed(extractor, grid, FaceRule::kDecider, processing, expected);
    const auto drawnTriangles = drawn.triangles;
    EXPECT_EQ(drawnTriangles, expected.triangles);
    EXPECT_EQ(frames.takeMesh(grid, smooth).triangles, drawnTriangles);
    EXPECT_EQ(frames.takeMesh(grid, smooth).triangles, expected.triangles);  // afresh
}

}  // namespace

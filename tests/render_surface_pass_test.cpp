#include "render/surface_pass.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "field/metaball_field.h"
#include "recording_gl.h"

namespace {

constexpr double kTriangles = 0x0004;
constexpr double kLines = 0x0001;
constexpr float kGrey = 0.9f;

// The one generated table, with its usage counts cleared for each test.
CubeMarcher& freshMarcher() {
    static CubeMarcher marcher;
    static const bool generated = [] {
        FILE* sink = std::tmpfile();
        marcher.initialiseCubeMarcher(sink);
        std::fclose(sink);
        return true;
    }();
    EXPECT_TRUE(generated);
    marcher.resetUsage();
    return marcher;
}

int64_t totalUsage(const CubeMarcher& marcher) {
    int64_t total = 0;
    for (int32_t count : marcher.usageCount) {
        total += count;
    }
    return total;
}

// Captures what the pass lists.
struct Listing {
    FILE* file = std::tmpfile();
    ~Listing() { std::fclose(file); }
    std::vector<std::string> lines() const {
        std::rewind(file);
        std::vector<std::string> result;
        char line[256];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            result.emplace_back(line);
        }
        return result;
    }
};

void fill(ScalarGrid& grid, float value) {
    std::fill_n(grid.data, grid.sampleCount(), value);
}

// The calls of one begin ... end block, without the begin and end.
struct Block {
    double mode;
    std::vector<GlCall> calls;
};

std::vector<Block> blocksOf(const std::vector<GlCall>& calls) {
    std::vector<Block> blocks;
    for (const GlCall& call : calls) {
        if (call.name == "begin") {
            blocks.push_back({call.args[0], {}});
        } else if (call.name != "end") {
            blocks.back().calls.push_back(call);
        }
    }
    return blocks;
}

// Vertices of a block, in order.
std::vector<std::vector<double>> verticesOf(const Block& block) {
    std::vector<std::vector<double>> vertices;
    for (const GlCall& call : block.calls) {
        if (call.name == "vertex3f") {
            vertices.push_back(call.args);
        }
    }
    return vertices;
}

// The blocks of the last drawn cell: one triangle, filled and outlined.
std::vector<GlCall> oneTriangleCell(const float p[3][3], const float normal[3]) {
    auto vertex = [&](int32_t v) { return glCall("vertex3f", {p[v][0], p[v][1], p[v][2]}); };
    return {
        glCall("begin", {kTriangles}),
        glCall("color3f", {kGrey, kGrey, kGrey}),
        glCall("normal3f", {normal[0], normal[1], normal[2]}),
        vertex(0),
        vertex(1),
        vertex(2),
        glCall("end"),
        glCall("begin", {kLines}),
        glCall("color3f", {0.0f, 0.0f, 0.0f}),
        vertex(0),
        vertex(1),
        vertex(1),
        vertex(2),
        vertex(2),
        vertex(0),
        glCall("end"),
    };
}

struct SingleCornerCase {
    const char* name;
    float corner0;
    float others;
    float vertices[3][3];
    float normal[3];
    const char* listingLine;
};

void PrintTo(const SingleCornerCase& c, std::ostream* os) {
    *os << c.name;
}

const SingleCornerCase kSingleCornerCases[] = {
    {"case1",
     1.0f,
     -1.0f,
     {{10.5f, 20, 30}, {10, 20.5f, 30}, {10, 20, 30.5f}},
     {0.25f, 0.25f, 0.25f},
     "10.50 20.00 30.00 \t10.00 20.50 30.00 \t10.00 20.00 30.50\n"},
    {"case254",
     -1.0f,
     1.0f,
     {{10.5f, 20, 30}, {10, 20, 30.5f}, {10, 20.5f, 30}},
     {-0.25f, -0.25f, -0.25f},
     "10.50 20.00 30.00 \t10.00 20.00 30.50 \t10.00 20.50 30.00\n"},
};

class SurfacePassSingleCorner : public ::testing::TestWithParam<SingleCornerCase> {};

// Sample (10, 20, 30) differs from all others, so the eight cells around it
// cross; the last of them in traversal order has it as corner 0.
TEST_P(SurfacePassSingleCorner, DrawsAndListsTheCellAtTenTwentyThirty) {
    const SingleCornerCase& c = GetParam();
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(12, 22, 32));
    fill(grid, c.others);
    grid.writeSample(10, 20, 30, c.corner0);
    CubeMarcher& marcher = freshMarcher();
    RecordingGl gl;
    Listing listing;

    EXPECT_EQ(drawSurface(gl, marcher, grid, true, listing.file), 8);

    EXPECT_EQ(totalUsage(marcher), 8);
    const std::vector<GlCall> expected = oneTriangleCell(c.vertices, c.normal);
    ASSERT_GE(gl.calls.size(), expected.size());
    const std::vector<GlCall> last(gl.calls.end() - expected.size(), gl.calls.end());
    EXPECT_EQ(firstDifference(last, expected), "");
    const std::vector<std::string> lines = listing.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines.back(), c.listingLine);
}

INSTANTIATE_TEST_SUITE_P(Cases, SurfacePassSingleCorner, ::testing::ValuesIn(kSingleCornerCases),
                         [](const auto& param) { return std::string(param.param.name); });

// 3 x 3 x 3 samples of -1 with 1 at the centre: eight cells, one triangle
// each, closing an octahedron around (1, 1, 1).
class SurfacePassOctahedron : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(grid.allocate(3, 3, 3));
        fill(grid, -1.0f);
        grid.writeSample(1, 1, 1, 1.0f);
    }
    ScalarGrid grid;
};

TEST_F(SurfacePassOctahedron, DrawsEightOutwardTrianglesInCellOrder) {
    RecordingGl gl;
    EXPECT_EQ(drawSurface(gl, freshMarcher(), grid, false, nullptr), 8);
    const std::vector<Block> blocks = blocksOf(gl.calls);
    ASSERT_EQ(blocks.size(), 16u);
    const int32_t cellOrigins[8][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1},
                                       {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}};
    for (int32_t cell = 0; cell < 8; ++cell) {
        SCOPED_TRACE("cell " + std::to_string(cell));
        const Block& filled = blocks[2 * cell];
        const Block& outline = blocks[2 * cell + 1];
        ASSERT_EQ(filled.mode, kTriangles);
        ASSERT_EQ(outline.mode, kLines);
        ASSERT_EQ(filled.calls.size(), 5u);
        EXPECT_EQ(filled.calls[0], glCall("color3f", {kGrey, kGrey, kGrey}));
        const std::vector<double>& normal = filled.calls[1].args;

        const auto p = verticesOf(filled);
        double outward = 0.0;
        for (const auto& vertex : p) {
            double distance2 = 0.0;
            for (int32_t axis = 0; axis < 3; ++axis) {
                EXPECT_GE(vertex[axis], cellOrigins[cell][axis]);
                EXPECT_LE(vertex[axis], cellOrigins[cell][axis] + 1);
                distance2 += (vertex[axis] - 1.0) * (vertex[axis] - 1.0);
                outward += normal[axis] * (vertex[axis] - 1.0);
            }
            EXPECT_DOUBLE_EQ(distance2, 0.25);
        }
        EXPECT_GT(outward, 0.0);
        EXPECT_EQ(verticesOf(outline),
                  (std::vector<std::vector<double>>{p[0], p[1], p[1], p[2], p[2], p[0]}));
    }
    EXPECT_EQ(blocks.front().calls[1], glCall("normal3f", {-0.25f, -0.25f, -0.25f}));
    EXPECT_EQ(blocks[14].calls[1], glCall("normal3f", {0.25f, 0.25f, 0.25f}));
}

TEST_F(SurfacePassOctahedron, ListsEveryFilledTriangleOnlyWhenRequested) {
    Listing quiet;
    RecordingGl quietGl;
    drawSurface(quietGl, freshMarcher(), grid, false, quiet.file);
    EXPECT_TRUE(quiet.lines().empty());

    Listing listing;
    RecordingGl gl;
    drawSurface(gl, freshMarcher(), grid, true, listing.file);
    const std::vector<std::string> lines = listing.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "0.50 1.00 1.00 \t1.00 1.00 0.50 \t1.00 0.50 1.00\n");
    EXPECT_EQ(lines[1], "0.50 1.00 1.00 \t1.00 0.50 1.00 \t1.00 1.00 1.50\n");
    EXPECT_EQ(gl.calls, quietGl.calls);
}

TEST_F(SurfacePassOctahedron, FlushesTheListingAtTheEndOfThePass) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    FILE* out = fdopen(fds[1], "w");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::setvbuf(out, nullptr, _IOFBF, 1 << 16), 0);  // as stdout into a pipe

    NoGl gl;
    drawSurface(gl, freshMarcher(), grid, true, out);
    char buffer[4096];
    const ssize_t bytes = read(fds[0], buffer, sizeof buffer);
    EXPECT_EQ(std::count(buffer, buffer + std::max<ssize_t>(bytes, 0), '\n'), 8);
    std::fclose(out);
    close(fds[0]);
}

// Only a cell holding a value below 0 and one above 0 crosses; 0.0 and NaN
// count as neither, although their case indices have triangles.
TEST(SurfacePass, SkipsCellsWithoutBothSigns) {
    const float nan = std::nanf("");
    const float skipped[][2] = {{0.0f, -1.0f}, {0.0f, 1.0f}, {nan, -1.0f},
                                {nan, 1.0f},   {0.0f, 0.0f}, {-1.0f, -1.0f}};
    for (const auto& values : skipped) {
        ScalarGrid grid;
        ASSERT_TRUE(grid.allocate(2, 2, 2));
        fill(grid, values[1]);
        grid.writeSample(0, 0, 0, values[0]);
        CubeMarcher& marcher = freshMarcher();
        RecordingGl gl;
        Listing listing;
        EXPECT_EQ(drawSurface(gl, marcher, grid, true, listing.file), 0) << values[0];
        EXPECT_TRUE(gl.calls.empty());
        EXPECT_TRUE(listing.lines().empty());
        EXPECT_EQ(totalUsage(marcher), 0);
    }
}

TEST(SurfacePass, BackgroundFieldAndGridWithoutStorageDrawNothing) {
    ScalarGrid background;
    ASSERT_TRUE(background.allocate(5, 5, 5));
    fill(background, kFieldBackground);
    const ScalarGrid empty;
    for (const ScalarGrid* grid : std::vector<const ScalarGrid*>{&background, &empty}) {
        CubeMarcher& marcher = freshMarcher();
        RecordingGl gl;
        Listing listing;
        EXPECT_EQ(drawSurface(gl, marcher, *grid, true, listing.file), 0);
        EXPECT_TRUE(gl.calls.empty());
        EXPECT_TRUE(listing.lines().empty());
        EXPECT_EQ(totalUsage(marcher), 0);
    }
}

// Over a run of frames on the real field every crossing cell meets a case
// with triangles, and drawing turned off extracts and lists the same.
TEST(SurfacePass, BlobFieldCrossingsAllHaveTrianglesWithOrWithoutDrawing) {
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    CubeMarcher& marcher = freshMarcher();
    int64_t crossingCells = 0;
    for (float t = 0.2f; t < 60.0f; t += 6.1f) {
        updateMetaballField(grid, t);
        Listing drawn;
        RecordingGl gl;
        const int64_t crossings = drawSurface(gl, marcher, grid, true, drawn.file);
        Listing headless;
        NoGl noGl;
        EXPECT_EQ(drawSurface(noGl, marcher, grid, true, headless.file), crossings);
        EXPECT_EQ(drawn.lines(), headless.lines()) << "t " << t;
        EXPECT_GT(crossings, 0);
        crossingCells += 2 * crossings;
    }
    int64_t casesOk = 0;
    int64_t casesEmpty = 0;
    for (int32_t c = 1; c < kCaseCount - 1; ++c) {
        (marcher.caseTable[c].triangleCount > 0 ? casesOk : casesEmpty) += marcher.usageCount[c];
    }
    EXPECT_EQ(casesEmpty, 0);
    EXPECT_EQ(casesOk, crossingCells);
    EXPECT_EQ(marcher.usageCount[0], 0);
    EXPECT_EQ(marcher.usageCount[kCaseCount - 1], 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "recording_gl.h"

namespace {

namespace fs = std::filesystem;

struct Parsed {
    bool ok = false;
    Options options;
    std::string error;
};

Parsed parse(std::vector<const char*> arguments) {
    Parsed parsed;
    parsed.ok = parseOptions(arguments, parsed.options, parsed.error);
    return parsed;
}

TEST(OutputOptions, ReadGridSizeFormatsAndTiming) {
    const Parsed parsed = parse({"--grid", "256", "--export", "out/Surface.OBJ", "--timing",
                                 "--screenshot=shot.PNG", "--frames", "1"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.gridSize, 256);
    ASSERT_TRUE(parsed.options.meshExport.has_value());
    EXPECT_EQ(parsed.options.meshExport->path, "out/Surface.OBJ");
    EXPECT_EQ(parsed.options.meshExport->format, MeshFormat::kObj);
    EXPECT_EQ(parsed.options.screenshotPath, "shot.PNG");
    EXPECT_TRUE(parsed.options.timing);
    EXPECT_EQ(parse({"--export", "a.b/mesh.ply"}).options.meshExport->format, MeshFormat::kPly);
    EXPECT_EQ(parse({"--export", "mesh.stl"}).options.meshExport->format, MeshFormat::kStl);
    EXPECT_EQ(parse({"--grid", "2"}).options.gridSize, 2);
    EXPECT_EQ(parse({}).options.gridSize, 40);
}

TEST(OutputOptions, BadValuesAndCombinationsAreRefusedInOneLine) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--grid", "1"}, "--grid: \"1\" is out of range (2 to 256)"},
        {{"--grid", "257"}, "out of range (2 to 256)"},
        {{"--grid", "forty"}, "--grid: \"forty\" is not a whole number"},
        {{"--grid"}, "--grid needs a value (N)"},
        {{"--export", "mesh.fbx"}, "--export: \"mesh.fbx\" does not end in .obj, .ply or .stl"},
        {{"--export", "obj"}, "does not end in .obj"},
        {{"--export", "dir.obj/mesh"}, "does not end in .obj"},
        {{"--export", ""}, "does not end in .obj"},
        {{"--screenshot", "shot.jpg"}, "--screenshot: \"shot.jpg\" does not end in .png"},
        {{"--headless", "--frames", "1", "--screenshot", "a.png"},
         "--screenshot needs a window, so it cannot be used with --headless"},
        {{"--frames", "0", "--screenshot", "a.png"}, "--frames is 0"},
        {{"--timing=yes"}, "--timing takes no value"},
        {{"--export", "a.obj", "--export", "b.obj"}, "--export is given more than once"},
    };
    for (const auto& [arguments, mentions] : cases) {
        const Parsed parsed = parse(arguments);
        EXPECT_FALSE(parsed.ok) << mentions;
        EXPECT_NE(parsed.error.find(mentions), std::string::npos) << parsed.error;
    }
}

// stdout of runProgram over `arguments`; its stderr goes to `err`.
std::string runWith(std::vector<const char*> arguments, int& exitCode, std::string& err) {
    FILE* outFile = std::tmpfile();
    FILE* errFile = std::tmpfile();
    exitCode = runProgram(arguments, outFile, errFile);
    const auto textOf = [](FILE* file) {
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) {
            text.push_back(static_cast<char>(c));
        }
        std::fclose(file);
        return text;
    };
    err = textOf(errFile);
    return textOf(outFile);
}

class OutputRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        cubeMarcher.resetUsage();
        char name[] = "/tmp/mc-output-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory_ = name;
    }
    void TearDown() override { fs::remove_all(directory_); }

    fs::path directory_;
};

TEST_F(OutputRunTest, ARunEndingBeforeItsFirstFrameExportsAnEmptySurface) {
    int exitCode = -1;
    std::string err;
    const std::string obj = (directory_ / "none.obj").string();
    runWith({"--headless", "--frames", "0", "--export", obj.c_str()}, exitCode, err);
    EXPECT_EQ(exitCode, kExitSuccess) << err;
    FILE* file = std::fopen(obj.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "# marching-cubes surface: 0 vertices, 0 faces\n");
    EXPECT_EQ(std::fgets(line, sizeof line, file), nullptr);
    std::fclose(file);
}

// The frustum's far plane and the camera's distance, as the next frame loads them.
std::pair<double, double> farPlaneAndDistance() {
    RecordingGl gl;
    renderFrame(
        gl, [] {}, nullptr);
    double farPlane = 0.0;
    double distance = 0.0;
    for (const GlCall& call : gl.calls) {
        if (call.name == "frustum") {
            farPlane = call.args[5];
        } else if (call.name == "translatef" && distance == 0.0) {
            distance = -call.args[2];
        }
    }
    return {farPlane, distance};
}

TEST_F(OutputRunTest, GridSizeScalesTheStartDistanceAndFarPlaneExactlyFromForty) {
    int exitCode = -1;
    std::string err;
    runWith({"--headless", "--frames", "1", "--grid", "64"}, exitCode, err);
    EXPECT_EQ(exitCode, kExitSuccess);
    EXPECT_EQ(sampleGrid.nx, 64);
    EXPECT_EQ(farPlaneAndDistance(), std::make_pair(160.0, 64.0));

    settings = Settings{};
    runWith({"--headless", "--frames", "1"}, exitCode, err);
    EXPECT_EQ(sampleGrid.nx, 40);
    EXPECT_EQ(farPlaneAndDistance(), std::make_pair(100.0, 40.0));
}

}  // namespace

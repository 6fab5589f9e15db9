#include "app/options.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "app/explorer.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/run.h"
#include "app/settings.h"
#include "test_support.h"

// Command lines the program accepts. Every refused one is checked against
// the built program by tests/e2e/cli_test.sh.

namespace {

Options parsed(std::vector<const char*> arguments) {
    Options options;
    std::string error;
    EXPECT_TRUE(parseOptions(arguments, options, error)) << error;
    return options;
}

// Values at the ends of their ranges, next or after '=', extensions and key
// names in any letter case; presses keep their order across lists.
TEST(OptionsTest, ReadsEveryOptionWithItsValueNextOrAfterEquals) {
    const Options options = parsed({"--headless", "--frames=1000000000", "--grid", "256",
                                    "--export", "out/Surface.OBJ", "--timing", "--faces=TABLE",
                                    "--press", "1000000000:P,1:pagedown", "--press=1:escape"});
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.frames, kMaxFrames);
    EXPECT_EQ(options.gridSize, kMaxGridSize);
    EXPECT_EQ(options.meshExport->path, "out/Surface.OBJ");
    EXPECT_EQ(options.meshExport->format, MeshFormat::kObj);
    EXPECT_TRUE(options.timing);
    EXPECT_EQ(options.faceRule, FaceRule::kTable);
    EXPECT_EQ(options.presses, (std::vector<ScheduledKey>{
                                   {kMaxFrames, vk::kP}, {1, vk::kPageDown}, {1, vk::kEscape}}));
    const WParam named[] = {vk::kLeft, vk::kUp, vk::kRight,    vk::kDown,   vk::kPageUp, vk::kA,
                            vk::kL,    vk::kF,  vk::kS,        vk::kQ,      vk::kW,      vk::kO,
                            vk::kM,    vk::kI,  vk::kOemMinus, vk::kOemPlus};
    std::vector<ScheduledKey> expected;
    for (const WParam key : named) {
        expected.push_back({1, key});
    }
    EXPECT_EQ(parsed({"--press",
                      "1:LEFT,1:up,1:Right,1:down,1:pageup,1:a,1:l,1:f,1:s,1:q,1:w,1:o,"
                      "1:m,1:i,1:minus,1:PLUS"})
                  .presses,
              expected);
    EXPECT_EQ(parsed({"--frames", "0", "--grid=2"}).gridSize, kMinGridSize);
    EXPECT_EQ(parsed({"--screenshot=shot.PNG"}).screenshotPath, "shot.PNG");
    const Options extras =
        parsed({"--draw=ARRAYS", "--shading", "smooth", "--threads", "3", "--volume", "v.raw",
                "--iso=-2.5", "--dims", "2,3,4", "--type", "int16"});
    EXPECT_EQ(extras.drawPath, DrawPath::kArrays);
    EXPECT_EQ(extras.shading, Shading::kSmooth);
    EXPECT_EQ(extras.threads, 3);
    const std::string mostThreads = std::to_string(maxThreads());
    EXPECT_EQ(parsed({"--threads", mostThreads.c_str()}).threads, maxThreads());
    EXPECT_EQ(extras.volume.path, "v.raw");
    EXPECT_EQ(extras.iso, -2.5f);
    EXPECT_EQ(extras.volume.sizes, (std::array<int32_t, 3>{2, 3, 4}));
    EXPECT_EQ(extras.volume.type, SampleType::kInt16);
}

// --explore takes its case only when one follows; headless it prints the
// case alone (no table listing, no statistics) and takes no frames.
TEST(OptionsTest, ExploreTakesAnOptionalCaseAndPrintsItHeadless) {
    EXPECT_EQ(parsed({"--explore"}).exploreCase, 1u);
    EXPECT_EQ(parsed({"--explore", "--headless"}).exploreCase, 1u);
    EXPECT_EQ(parsed({"--explore", "0", "--headless"}).exploreCase, 0u);
    EXPECT_EQ(parsed({"--explore=255"}).exploreCase, 255u);
    EXPECT_FALSE(parsed({"--frames", "1"}).exploreCase);
    CapturedFile out;
    CapturedFile err;
    const std::vector<const char*> arguments = {"--explore", "129", "--headless", "--faces",
                                                "table"};
    EXPECT_EQ(runProgram(arguments, out.get(), err.get()), kExitSuccess);
    const auto lines = linesOf(out.text());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "case 129");
    EXPECT_EQ(lines[4], "rule table");
    EXPECT_EQ(std::ranges::count_if(lines, [](auto& l) { return l.starts_with("triangle "); }), 2);
    EXPECT_EQ(err.text(), "");
}

// Frames shown in the explorer step no field and count no cell: the usage
// statistics hold only the frames before E.
TEST(OptionsTest, ExplorerFramesCountNoCells) {
    settings = Settings{};
    CapturedFile out;
    const std::vector<const char*> arguments = {"--headless", "--frames", "3", "--press", "1:E"};
    EXPECT_EQ(runProgram(arguments, out.get(), out.get()), kExitSuccess);
    explorer = Explorer{};
    const auto lines = linesOf(out.text());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "casesOk:0\tcasesEmpty:0");
}

}  // namespace

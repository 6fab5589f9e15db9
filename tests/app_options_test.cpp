#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {

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

TEST(OptionsTest, NoOptionsMeansTheWindowedRunWithoutEnd) {
    const Parsed parsed = parse({});
    ASSERT_TRUE(parsed.ok);
    EXPECT_FALSE(parsed.options.headless);
    EXPECT_FALSE(parsed.options.frames.has_value());
    EXPECT_TRUE(parsed.options.presses.empty());
}

TEST(OptionsTest, ReadsValuesAsNextArgumentOrAfterEquals) {
    const Parsed parsed = parse({"--headless", "--frames", "3", "--press=2:P"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(parsed.options.headless);
    EXPECT_EQ(parsed.options.frames, 3);
    EXPECT_EQ(parsed.options.presses, (std::vector<ScheduledKey>{{2, vk::kP}}));
}

TEST(OptionsTest, PressesKeepTheirOrderAcrossListsAndRepeatsAndIgnoreLetterCase) {
    const Parsed parsed = parse({"--press", "3:escape,1:PAGEUP,1:pagedown", "--press",
                                 "2:left,2:Up,2:RIGHT,2:down", "--press", "4:a,4:l,4:p,4:q,4:w"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.presses, (std::vector<ScheduledKey>{{3, vk::kEscape},
                                                                 {1, vk::kPageUp},
                                                                 {1, vk::kPageDown},
                                                                 {2, vk::kLeft},
                                                                 {2, vk::kUp},
                                                                 {2, vk::kRight},
                                                                 {2, vk::kDown},
                                                                 {4, vk::kA},
                                                                 {4, vk::kL},
                                                                 {4, vk::kP},
                                                                 {4, vk::kQ},
                                                                 {4, vk::kW}}));
}

TEST(OptionsTest, FrameCountsCoverZeroToTheLimit) {
    EXPECT_EQ(parse({"--frames", "0"}).options.frames, 0);
    EXPECT_EQ(parse({"--frames", "1000000000"}).options.frames, kMaxFrames);
    EXPECT_EQ(parse({"--frames", "1000000000", "--press", "1000000000:P"}).options.presses.size(),
              1u);
}

struct BadInput {
    std::vector<const char*> arguments;
    std::string mentions;  // the problem the one-line error must name
};

TEST(OptionsTest, EveryBadInputIsRefusedWithOneLineNamingTheProblem) {
    const std::vector<BadInput> cases = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"-h"}, "unknown option \"-h\""},
        {{"frames"}, "unexpected argument \"frames\""},
        {{"--frames"}, "--frames needs a value (N)"},
        {{"--press"}, "--press needs a value"},
        {{"--frames="}, "\"\" is not a whole number"},
        {{"--frames", "x"}, "--frames: \"x\" is not a whole number"},
        {{"--frames", "-1"}, "\"-1\" is not a whole number"},
        {{"--frames", "+3"}, "\"+3\" is not a whole number"},
        {{"--frames", "3.5"}, "\"3.5\" is not a whole number"},
        {{"--frames", " 3"}, "\" 3\" is not a whole number"},
        {{"--frames", "1000000001"}, "out of range (0 to 1000000000)"},
        {{"--frames", "99999999999999999999999"}, "out of range"},
        {{"--frames", "2", "--frames", "3"}, "--frames is given more than once"},
        {{"--headless", "--headless", "--frames", "1"}, "--headless is given more than once"},
        {{"--headless=yes", "--frames", "1"}, "--headless takes no value"},
        {{"--headless"}, "--headless needs --frames"},
        {{"--press", "2P"}, "\"2P\" is not FRAME:KEY"},
        {{"--press", ""}, "\"\" is not FRAME:KEY"},
        {{"--press", "2:P,"}, "\"\" is not FRAME:KEY"},
        {{"--press", "0:P"}, "frames count from 1"},
        {{"--press", ":P"}, "frame \"\" is not a whole number"},
        {{"--press", "x:P"}, "frame \"x\" is not a whole number"},
        {{"--press", "2:Home"}, "unknown key \"Home\""},
        {{"--press", "2:"}, "unknown key \"\""},
        {{"--press", "2:P:Q"}, "unknown key \"P:Q\""},
        {{"--frames", "3", "--press", "4:P"}, "frame 4 comes after the last frame (3)"},
    };
    for (const BadInput& bad : cases) {
        const Parsed parsed = parse(bad.arguments);
        SCOPED_TRACE(bad.mentions);
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(parsed.error.find(bad.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(OptionsTest, UnknownKeyErrorListsTheKnownKeys) {
    const Parsed parsed = parse({"--press", "1:Space"});
    EXPECT_NE(parsed.error.find("Escape, PageUp, PageDown, Left, Up, Right, Down, A, L, P, Q, W"),
              std::string::npos);
}

}  // namespace

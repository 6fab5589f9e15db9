#include "render/overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording_gl.h"

namespace {

// The font's cell: characters advance about 6 pixels, lines 12.
constexpr float kLineHeight = 12.0f;
constexpr float kMaxCharacterWidth = 7.0f;

std::vector<float> quadsOf(const std::string& text) {
    std::vector<float> corners;
    overlay::textQuads(text, corners);
    return corners;
}

struct Box {
    float left, top, right, bottom;
};

Box boxOf(const std::vector<float>& corners) {
    Box box{1e9f, 1e9f, -1e9f, -1e9f};
    for (size_t i = 0; i < corners.size(); i += overlay::kFloatsPerCorner) {
        box = {std::min(box.left, corners[i]), std::min(box.top, corners[i + 1]),
               std::max(box.right, corners[i]), std::max(box.bottom, corners[i + 1])};
    }
    return box;
}

TEST(OverlayText, QuadsStayInTheTextsLinesAndSkipUnprintableCharacters) {
    EXPECT_TRUE(quadsOf("").empty());
    EXPECT_TRUE(quadsOf(" \n ").empty());
    for (const std::string line : {"iso 127.5", "12345 triangles", "59.8 fps", "lighting off"}) {
        const std::vector<float> corners = quadsOf(line);
        ASSERT_FALSE(corners.empty()) << line;
        EXPECT_EQ(corners.size() % (overlay::kCornersPerQuad * overlay::kFloatsPerCorner), 0u);
        const Box box = boxOf(corners);
        EXPECT_GE(box.left, overlay::kMargin) << line;
        EXPECT_GE(box.top, overlay::kMargin) << line;
        EXPECT_LE(box.right, overlay::kMargin + kMaxCharacterWidth * line.size()) << line;
        EXPECT_LE(box.bottom, overlay::kMargin + kLineHeight) << line;
        // The same line below another starts a line further down.
        const Box second = boxOf(quadsOf("x\n" + line));
        EXPECT_GT(second.bottom, box.bottom + kLineHeight / 2) << line;
        EXPECT_EQ(quadsOf(line + "\x01\x7f\xff"), corners) << line;
    }
}

// Everything the overlay changes it puts back: a matrix pushed is popped in
// the same mode, depth testing is on again, the model-view matrix is current.
TEST(OverlayDrawing, DrawsTheQuadsInWindowPixelsAndLeavesTheStateAsItFoundIt) {
    const std::string text = "iso 0.5\n17 triangles";
    RecordingGl gl;
    gl.viewportAnswer[2] = 640;
    gl.viewportAnswer[3] = 480;
    drawOverlay(gl, text);

    std::vector<float> sent;
    std::vector<double> stack;  // the mode of each pushed matrix
    double mode = -1;
    bool depthTest = true;
    for (const GlCall& call : gl.calls) {
        if (call.name == "matrixMode") {
            mode = call.args[0];
        } else if (call.name == "pushMatrix") {
            stack.push_back(mode);
        } else if (call.name == "popMatrix") {
            ASSERT_FALSE(stack.empty());
            EXPECT_EQ(stack.back(), mode) << "popped in another mode";
            stack.pop_back();
        } else if (call == glCall("disable", {gl::kDepthTest})) {
            depthTest = false;
        } else if (call == glCall("enable", {gl::kDepthTest})) {
            depthTest = true;
        } else if (call.name == "vertex3f") {
            EXPECT_FALSE(depthTest) << "text drawn with depth testing on";
            EXPECT_EQ(call.args[2], 0.0);
            sent.push_back(static_cast<float>(call.args[0]));
            sent.push_back(static_cast<float>(call.args[1]));
        }
    }
    EXPECT_TRUE(stack.empty());
    EXPECT_TRUE(depthTest);
    EXPECT_EQ(mode, gl::kModelView);
    EXPECT_EQ(sent, quadsOf(text));
    const auto ortho = std::ranges::find(gl.calls, std::string("ortho"), &GlCall::name);
    ASSERT_NE(ortho, gl.calls.end());
    EXPECT_EQ(*ortho, glCall("ortho", {0.0, 640 / overlay::kTextScale, 480 / overlay::kTextScale,
                                       0.0, -1.0, 1.0}));
    EXPECT_EQ(std::ranges::count(gl.calls, glCall("begin", {gl::kQuads})), 1);
}

}  // namespace

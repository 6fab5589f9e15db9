#include "render/overlay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_gl.h"
#include "test_support.h"

namespace {

std::vector<float> quadsOf(const std::string& text) {
    std::vector<float> corners;
    overlay::textQuads(text, corners);
    return corners;
}

// Unprintable characters draw nothing, and a second line starts below the
// first.
TEST(OverlayText, SkipsUnprintableCharactersAndStartsEachLineLower) {
    EXPECT_TRUE(quadsOf(" \n ").empty());
    const std::vector<float> line = quadsOf("12345 triangles");
    EXPECT_EQ(quadsOf("12345 triangles\x01\x7f\xff"), line);
    const std::vector<float> below = quadsOf("\n12345 triangles");
    ASSERT_EQ(below.size(), line.size());
    for (size_t i = 1; i < line.size(); i += overlay::kFloatsPerCorner) {
        EXPECT_GT(below[i], line[i]);
    }
}

// In window pixels over a 640x480 viewport, without depth testing, with
// every matrix and state it changes put back, as the golden trace has it.
TEST(OverlayDrawing, DrawsAndRestoresAsTheGoldenTrace) {
    RecordingGl gl;
    gl.viewportAnswer[2] = 640;
    gl.viewportAnswer[3] = 480;
    drawOverlay(gl, "iso 0.5\n17");
    EXPECT_EQ(traceOf(gl.calls), golden("render/overlay.trace", traceOf(gl.calls)));
}

}  // namespace

#include "render/overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <stb/stb_easy_font.h>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// The x and y of every vertex3f among `calls`.
std::vector<std::array<float, 2>> cornersOf(const std::vector<std::string>& calls) {
    std::vector<std::array<float, 2>> corners;
    for (const std::string& call : calls) {
        std::string name;
        const std::vector<double> v = argumentsOf(call, name);
        if (name == "vertex3f") {
            corners.push_back({static_cast<float>(v[0]), static_cast<float>(v[1])});
        }
    }
    return corners;
}

// The corners of the quads the font makes of `text` at the margin.
std::vector<std::array<float, 2>> fontCorners(std::string text) {
    std::vector<unsigned char> vertices(100000);
    unsigned char colour[4] = {};
    const int quads = stb_easy_font_print(overlay::kMargin, overlay::kMargin, text.data(), colour,
                                          vertices.data(), static_cast<int>(vertices.size()));
    std::vector<std::array<float, 2>> corners(4 * static_cast<size_t>(quads));
    for (size_t v = 0; v < corners.size(); ++v) {
        std::memcpy(corners[v].data(), &vertices[16 * v], sizeof corners[v]);
    }
    return corners;
}

// In font pixels (half the window's) over a 640x480 viewport, the font's
// quads of the printable characters line under line in the text colour,
// without depth testing and lighting, and every matrix and the depth test
// put back.
TEST(OverlayDrawing, DrawsTheFontsQuadsAndPutsTheStateBack) {
    RecordingGl gl;
    gl.viewportAnswer[2] = 640;
    gl.viewportAnswer[3] = 480;
    drawOverlay(gl, "iso 0.5\x7f\n17\x01");  // unprintable characters draw nothing
    EXPECT_EQ(cornersOf(gl.calls), fontCorners("iso 0.5\n17"));
    std::vector<std::string> state;
    std::ranges::copy_if(gl.calls, std::back_inserter(state),
                         [](const std::string& call) { return !call.starts_with("vertex3f"); });
    EXPECT_EQ(state, (std::vector<std::string>{
                         "getViewport()", "disable(2929)", "disable(2896)", "matrixMode(5889)",
                         "pushMatrix()", "loadIdentity()", "ortho(0, 320, 240, 0, -1, 1)",
                         "matrixMode(5888)", "pushMatrix()", "loadIdentity()",
                         "color3f(1, 1, 0.300000012)", "begin(7)", "end()", "popMatrix()",
                         "matrixMode(5889)", "popMatrix()", "matrixMode(5888)", "enable(2929)"}));
}

// Under the text, one bar per bin from the same baseline, as tall as its
// height, and the marker across them where it falls: none outside [0, 1].
TEST(OverlayDrawing, DrawsTheHistogramUnderTheTextWithItsMarker) {
    const float heights[] = {0.0f, 1.0f, 0.25f, 0.5f};
    for (const double marker : {0.0, 0.75, 1.0, -0.01, 1.01}) {
        RecordingGl gl;
        const overlay::Histogram histogram{.heights = heights, .marker = marker};
        drawOverlay(gl, "iso 3", &histogram);
        const auto begin = std::ranges::find(gl.calls, "color3f(0.5, 0.600000024, 0.800000012)");
        ASSERT_NE(begin, gl.calls.end());
        const auto corners = cornersOf({begin, gl.calls.end()});
        const bool marked = marker >= 0.0 && marker <= 1.0;
        ASSERT_EQ(corners.size(), 4 * (std::size(heights) + (marked ? 1 : 0)));
        const float bottom = corners[2][1];
        for (size_t bin = 0; bin < std::size(heights); ++bin) {
            const auto* quad = &corners[4 * bin];
            EXPECT_FLOAT_EQ(quad[2][1], bottom);
            EXPECT_FLOAT_EQ(quad[2][1] - quad[0][1], heights[bin] * overlay::kHistogramHeight);
            EXPECT_FLOAT_EQ(quad[0][0], overlay::kMargin + bin * overlay::kBarWidth);
        }
        if (marked) {
            const auto* quad = &corners[4 * std::size(heights)];
            EXPECT_FLOAT_EQ((quad[0][0] + quad[1][0]) / 2,
                            overlay::kMargin + marker * std::size(heights) * overlay::kBarWidth);
        }
    }
}

}  // namespace

#include "render/overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// In window pixels over a 640x480 viewport, line under line, without depth
// testing, with every matrix and state it changes put back, as the golden
// trace has it.
TEST(OverlayDrawing, DrawsAndRestoresAsTheGoldenTrace) {
    RecordingGl gl;
    gl.viewportAnswer[2] = 640;
    gl.viewportAnswer[3] = 480;
    drawOverlay(gl, "iso 0.5\x7f\n17\x01");  // unprintable characters draw nothing
    EXPECT_EQ(traceOf(gl.calls), golden("render/overlay.trace", traceOf(gl.calls)));
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
        std::vector<std::array<float, 2>> corners;
        for (auto call = begin; call != gl.calls.end(); ++call) {
            float x = 0.0f;
            float y = 0.0f;
            if (std::sscanf(call->c_str(), "vertex3f(%f, %f", &x, &y) == 2) {
                corners.push_back({x, y});
            }
        }
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

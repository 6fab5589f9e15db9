#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "render/gl_ops.h"

// Text over the picture: lines in a simple segment font (stb_easy_font),
// drawn as flat quads in window pixels, with no texture and no state left
// behind.
namespace overlay {

inline constexpr float kTextColour[3] = {1.0f, 1.0f, 0.3f};
// Each font pixel covers kTextScale by kTextScale window pixels.
inline constexpr float kTextScale = 2.0f;
inline constexpr float kMargin = 4.0f;  // font pixels from the top-left corner
inline constexpr int32_t kCornersPerQuad = 4;
inline constexpr int32_t kFloatsPerCorner = 2;

// Replaces `corners` with the quads of `text` ('\n' starts a line), x and y
// of each corner in font pixels from the top-left corner, y downwards:
// kCornersPerQuad corners of kFloatsPerCorner floats per quad. Characters
// outside printable ASCII are skipped. Allocates only when the text is longer
// than any before it (and `corners` has to grow), so a frame that draws the
// overlay allocates nothing once its text has been as long.
void textQuads(std::string_view text, std::vector<float>& corners);

// The one corner list of the overlay (the program has one thread).
std::vector<float>& sharedCorners();

// A histogram under the text: one bar per bin, `heights` from 0 to 1 of
// kHistogramHeight, each kBarWidth font pixels wide, and a marker across
// them at `marker` (0 at the left edge to 1 at the right; not drawn outside).
inline constexpr float kHistogramHeight = 20.0f;
inline constexpr float kBarWidth = 1.0f;
inline constexpr float kHistogramColour[3] = {0.5f, 0.6f, 0.8f};
inline constexpr float kMarkerColour[3] = {1.0f, 0.2f, 0.2f};
struct Histogram {
    std::span<const float> heights;
    double marker = 0.0;
};

// The lowest y of `corners`, in font pixels.
float textBottom(const std::vector<float>& corners);

}  // namespace overlay

// Sets up drawing in font pixels over the current viewport, x right and y
// down from its top-left corner: depth testing and lighting off, an
// orthographic projection, the model-view matrix reset. The projection and
// model-view matrices are pushed; endFontPixels pops them and turns depth
// testing on again, so the next frame starts as it would have without the
// overlay.
template <GlOperations Gl>
void beginFontPixels(Gl& gl) {
    int32_t viewport[4];
    gl.getViewport(viewport);
    gl.disable(gl::kDepthTest);
    gl.disable(gl::kLighting);
    gl.matrixMode(gl::kProjection);
    gl.pushMatrix();
    gl.loadIdentity();
    gl.ortho(0.0, viewport[2] / overlay::kTextScale, viewport[3] / overlay::kTextScale, 0.0, -1.0,
             1.0);
    gl.matrixMode(gl::kModelView);
    gl.pushMatrix();
    gl.loadIdentity();
}

template <GlOperations Gl>
void endFontPixels(Gl& gl) {
    gl.popMatrix();
    gl.matrixMode(gl::kProjection);
    gl.popMatrix();
    gl.matrixMode(gl::kModelView);
    gl.enable(gl::kDepthTest);
}

// Quads from textQuads (or their like) in `colour`, between beginFontPixels
// and endFontPixels.
template <GlOperations Gl>
void drawFontQuads(Gl& gl, const std::vector<float>& quads, const float (&colour)[3]) {
    gl.color3f(colour[0], colour[1], colour[2]);
    gl.begin(gl::kQuads);
    for (size_t i = 0; i + 1 < quads.size(); i += overlay::kFloatsPerCorner) {
        gl.vertex3f(quads[i], quads[i + 1], 0.0f);
    }
    gl.end();
}

// The bars and marker of `histogram` as quads from `top` down (font pixels).
template <GlOperations Gl>
void drawHistogramQuads(Gl& gl, const overlay::Histogram& histogram, float top) {
    const float left = overlay::kMargin;
    const float bottom = top + overlay::kHistogramHeight;
    const auto quad = [&gl](float x0, float y0, float x1, float y1) {
        gl.vertex3f(x0, y0, 0.0f);
        gl.vertex3f(x1, y0, 0.0f);
        gl.vertex3f(x1, y1, 0.0f);
        gl.vertex3f(x0, y1, 0.0f);
    };
    gl.color3f(overlay::kHistogramColour[0], overlay::kHistogramColour[1],
               overlay::kHistogramColour[2]);
    for (size_t bin = 0; bin < histogram.heights.size(); ++bin) {
        const float x = left + static_cast<float>(bin) * overlay::kBarWidth;
        quad(x, bottom - histogram.heights[bin] * overlay::kHistogramHeight, x + overlay::kBarWidth,
             bottom);
    }
    if (histogram.marker >= 0.0 && histogram.marker <= 1.0) {
        const float width = static_cast<float>(histogram.heights.size()) * overlay::kBarWidth;
        const float x = left + static_cast<float>(histogram.marker) * width;
        gl.color3f(overlay::kMarkerColour[0], overlay::kMarkerColour[1], overlay::kMarkerColour[2]);
        quad(x - overlay::kBarWidth / 2, top - 2.0f, x + overlay::kBarWidth / 2, bottom + 2.0f);
    }
}

// Draws `text` in the top-left corner of the current viewport, in
// kTextColour, then `histogram`, when given, under the text, between
// beginFontPixels and endFontPixels.
template <GlOperations Gl>
void drawOverlay(Gl& gl, std::string_view text, const overlay::Histogram* histogram = nullptr) {
    std::vector<float>& quads = overlay::sharedCorners();
    overlay::textQuads(text, quads);
    beginFontPixels(gl);
    drawFontQuads(gl, quads, overlay::kTextColour);
    if (histogram != nullptr) {
        gl.begin(gl::kQuads);
        drawHistogramQuads(gl, *histogram, overlay::textBottom(quads) + overlay::kMargin);
        gl.end();
    }
    endFontPixels(gl);
}

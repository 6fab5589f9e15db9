#pragma once

#include <cstdint>
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

// Draws `text` in the top-left corner of the current viewport, in
// kTextColour, between beginFontPixels and endFontPixels.
template <GlOperations Gl>
void drawOverlay(Gl& gl, std::string_view text) {
    std::vector<float>& quads = overlay::sharedCorners();
    overlay::textQuads(text, quads);
    beginFontPixels(gl);
    drawFontQuads(gl, quads, overlay::kTextColour);
    endFontPixels(gl);
}

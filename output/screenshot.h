#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "render/gl_ops.h"

// A frame read back from GL: width * height pixels of 4 bytes (r, g, b, a),
// rows bottom first, as glReadPixels lays them out.
struct FrameImage {
    static constexpr int32_t kBytesPerPixel = 4;

    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;
};

// Writes `image` to `out` as an 8-bit RGB PNG, top row first; alpha is
// dropped (the cleared background has alpha 0 and must not turn
// transparent). Returns false when libpng or a write failed.
bool writePng(const FrameImage& image, FILE* out);

struct ViewportSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The size of the current GL viewport, which the window-system layer keeps
// equal to the window's framebuffer: the size of a full-frame read-back.
// Needs a current GL context.
ViewportSize currentViewportSize();

// Keeps the last frame drawn, read from the back buffer just before each
// swap, so whichever frame turns out to be the last is at hand at quit. The
// buffer is allocated on the first frame and again only when the size changes.
// When there is not memory enough for a frame's buffer, that frame is not
// kept (nor any earlier one): hasFrame() is false and missedFrame() tells
// the size that could not be had, until a later grab succeeds.
class FrameGrabber {
  public:
    template <GlOperations Gl>
    void grab(Gl& gl, int32_t width, int32_t height) {
        hasFrame_ = false;  // until the read-back is complete
        if ((width != image_.width || height != image_.height) && !resize(width, height)) {
            return;
        }
        gl.readPixels(0, 0, width, height, gl::kRgba, gl::kUnsignedByte, image_.rgba.data());
        hasFrame_ = true;
    }

    bool hasFrame() const { return hasFrame_; }
    const FrameImage& image() const { return image_; }
    // The size of the last frame that found no memory; all 0 once a frame was kept.
    ViewportSize missedFrame() const { return missed_; }

  private:
    bool resize(int32_t width, int32_t height);

    FrameImage image_;
    ViewportSize missed_;
    bool hasFrame_ = false;
};

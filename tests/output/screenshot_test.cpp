#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <vector>

#include "address_space_limit.h"
#include "output/screenshot.h"
#include "recording_gl.h"
#include "test_support.h"

namespace {

// Reads a PNG back through libpng's simplified API as 8-bit RGBA, top row
// first; empty on failure.
std::vector<uint8_t> readPng(FILE* file, png_uint_32& width, png_uint_32& height) {
    std::rewind(file);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&image, file)) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        return {};
    }
    width = image.width;
    height = image.height;
    return pixels;
}

// A 3 x 2 frame as GL reads it: bottom row red, green, blue; top row white,
// black, grey; alpha 0 throughout, as the cleared background has it.
const FrameImage kSmallFrame = {
    .width = 3, .height = 2, .rgba = {255, 0,   0,   0, 0, 255, 0, 0, 0,   0,   255, 0,
                                      255, 255, 255, 0, 0, 0,   0, 0, 128, 128, 128, 0}};

TEST(WritePng, WritesOpaqueRgbTopRowFirst) {
    CapturedFile file;
    ASSERT_TRUE(writePng(kSmallFrame, file.get()));
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    const std::vector<uint8_t> pixels = readPng(file.get(), width, height);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(pixels,
              (std::vector<uint8_t>{255, 255, 255, 255, 0, 0,   0, 255, 128, 128, 128, 255,
                                    255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255}));
}

// The whole frame is read, at the window's size as it changes. A window too
// large for the memory left: that frame is not kept, nor the one before it
// under a different size, and its size is told; a smaller frame later is
// kept again.
TEST(FrameGrabber, FollowsTheWindowsSizeAndKeepsNoFrameItFindsNoMemoryFor) {
    FrameGrabber grabber;
    EXPECT_FALSE(grabber.hasFrame());
    RecordingGl gl;
    grabber.grab(gl, 800, 600);
    const AddressSpaceLimit limit(size_t{64} << 20);  // inactive under AddressSanitizer
    if (limit.active()) {
        grabber.grab(gl, 20000, 20000);  // 1.6 GB
        EXPECT_FALSE(grabber.hasFrame());
        EXPECT_EQ(grabber.missedFrame().width, 20000);
        EXPECT_EQ(grabber.image().rgba.size(), 0u) << "the earlier frame's buffer is let go";
    }
    grabber.grab(gl, 640, 480);
    ASSERT_TRUE(grabber.hasFrame());
    EXPECT_EQ(grabber.missedFrame().width, 0);
    EXPECT_EQ(grabber.image().rgba.size(), 640u * 480u * FrameImage::kBytesPerPixel);
    EXPECT_EQ(traceOf(gl.calls),
              "readPixels(0, 0, 800, 600, 6408, 5121)\n"
              "readPixels(0, 0, 640, 480, 6408, 5121)\n");
}

}  // namespace

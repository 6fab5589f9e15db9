#include "output/screenshot.h"

#include <GL/gl.h>
#include <png.h>

#include <csetjmp>
#include <new>

namespace {

constexpr int kBitDepth = 8;

// libpng reports failures by calling this; returning to writePng's setjmp
// keeps its messages off stderr, where the caller says what failed.
[[noreturn]] void jumpOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

}  // namespace

ViewportSize currentViewportSize() {
    constexpr int32_t kWidthAt = 2;  // GL_VIEWPORT gives x, y, width, height
    constexpr int32_t kHeightAt = 3;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return {viewport[kWidthAt], viewport[kHeightAt]};
}

bool writePng(const FrameImage& image, FILE* out) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    // GL's rows run bottom up, PNG's top down.
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    const size_t rowBytes = static_cast<size_t>(image.width) * FrameImage::kBytesPerPixel;
    for (size_t row = 0; row < rows.size(); ++row) {
        rows[row] = const_cast<png_bytep>(image.rgba.data() + (rows.size() - 1 - row) * rowBytes);
    }
    bool written = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, out);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                     static_cast<png_uint_32>(image.height), kBitDepth, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_set_filler(png, 0, PNG_FILLER_AFTER);  // each input pixel has its alpha last
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return written && std::fflush(out) == 0 && !std::ferror(out);
}

bool FrameGrabber::resize(int32_t width, int32_t height) {
    image_ = {};  // the old buffer goes first: a large window needs all the room there is
    try {
        image_.rgba.assign(static_cast<size_t>(width) * height * FrameImage::kBytesPerPixel, 0);
    } catch (const std::bad_alloc&) {
        missed_ = {width, height};
        return false;
    }
    image_.width = width;
    image_.height = height;
    missed_ = {};
    return true;
}

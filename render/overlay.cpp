#include "render/overlay.h"

#include <algorithm>
#include <cstring>
#include <string>

// The font's functions are static; this is its one user.
#include <stb/stb_easy_font.h>

namespace overlay {

namespace {

// stb_easy_font's vertex: x, y, z as floats and four colour bytes.
constexpr size_t kFontVertexBytes = 16;
// The font's documented worst case is about 270 bytes per character.
constexpr size_t kFontBytesPerCharacter = 300;

}  // namespace

void textQuads(std::string_view text, std::vector<float>& corners) {
    // Kept from call to call: the font needs a writable string of its own.
    static std::string printable;
    static std::vector<unsigned char> buffer;
    printable.clear();
    for (const char c : text) {
        if (c == '\n' || (c >= ' ' && c <= '~')) {
            printable.push_back(c);
        }
    }
    buffer.resize(std::max(buffer.size(), (printable.size() + 1) * kFontBytesPerCharacter));
    // The font writes a colour into every vertex; the quads are drawn in
    // kTextColour instead.
    unsigned char ignoredColour[4] = {};
    const int quadCount = stb_easy_font_print(kMargin, kMargin, printable.data(), ignoredColour,
                                              buffer.data(), static_cast<int>(buffer.size()));
    corners.resize(static_cast<size_t>(quadCount) * kCornersPerQuad * kFloatsPerCorner);
    for (size_t v = 0; v < static_cast<size_t>(quadCount) * kCornersPerQuad; ++v) {
        std::memcpy(corners.data() + v * kFloatsPerCorner, buffer.data() + v * kFontVertexBytes,
                    kFloatsPerCorner * sizeof(float));
    }
}

float textBottom(const std::vector<float>& corners) {
    float bottom = kMargin;
    for (size_t i = 1; i < corners.size(); i += kFloatsPerCorner) {
        bottom = std::max(bottom, corners[i]);
    }
    return bottom;
}

std::vector<float>& sharedCorners() {
    static std::vector<float> corners;
    return corners;
}

}  // namespace overlay

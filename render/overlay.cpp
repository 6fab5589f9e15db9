#include "render/overlay.h"

#include <cstring>

// The font's functions are static; this is its one user.
#include <stb/stb_easy_font.h>

namespace overlay {

namespace {

// stb_easy_font's vertex: x, y, z as floats and four colour bytes.
constexpr size_t kFontVertexBytes = 16;
// The font's documented worst case is about 270 bytes per character.
constexpr size_t kFontBytesPerCharacter = 300;

}  // namespace

std::vector<float> textQuads(const std::string& text) {
    std::string printable;
    for (const char c : text) {
        if (c == '\n' || (c >= ' ' && c <= '~')) {
            printable.push_back(c);
        }
    }
    std::vector<unsigned char> buffer((printable.size() + 1) * kFontBytesPerCharacter);
    // The font writes a colour into every vertex; the quads are drawn in
    // kTextColour instead.
    unsigned char ignoredColour[4] = {};
    const int quadCount = stb_easy_font_print(kMargin, kMargin, printable.data(), ignoredColour,
                                              buffer.data(), static_cast<int>(buffer.size()));
    std::vector<float> corners;
    corners.reserve(static_cast<size_t>(quadCount) * kCornersPerQuad * kFloatsPerCorner);
    for (size_t v = 0; v < static_cast<size_t>(quadCount) * kCornersPerQuad; ++v) {
        float xy[kFloatsPerCorner];
        std::memcpy(xy, buffer.data() + v * kFontVertexBytes, sizeof(xy));
        corners.insert(corners.end(), xy, xy + kFloatsPerCorner);
    }
    return corners;
}

}  // namespace overlay

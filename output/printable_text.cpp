#include "output/printable_text.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xf;

void appendEscaped(unsigned char byte, std::string& out) {
    switch (byte) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            out += "\\x";
            out += kHexDigits[byte >> kNibbleBits];
            out += kHexDigits[byte & kNibbleMask];
    }
}

}  // namespace

std::string printableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte < kFirstPrintable || byte == kDelete) {
            appendEscaped(byte, out);
        } else {
            out += c;
        }
    }
    return out;
}

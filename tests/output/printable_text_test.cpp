#include "output/printable_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

// Undoes the escapes, as a reader of the message would.
std::string unescaped(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        const char kind = text[at] == '\\' ? text.at(++at) : '\0';
        if (kind == 'x') {
            out += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else {
            const std::string named = "n\nr\rt\t";  // each escape letter, then its character
            const size_t letter = kind == '\0' ? std::string::npos : named.find(kind);
            out += kind == '\0' ? text[at] : letter == std::string::npos ? kind : named[letter + 1];
        }
    }
    return out;
}

// Every byte, alone and among all the others: the message shows no control
// character, reads back to the original, and leaves printable text and UTF-8
// as it was.
TEST(PrintableText, NoControlCharacterSurvivesAndEveryEscapeReadsBack) {
    std::string everyByte;
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        const std::string text = std::string("a") + static_cast<char>(byte) + "1";
        const std::string shown = printableText(text);
        EXPECT_TRUE(std::ranges::none_of(shown, isControl)) << "byte " << value;
        EXPECT_EQ(unescaped(shown), text) << "byte " << value;
        EXPECT_TRUE(isControl(byte) || byte == '\\' || shown == text) << "byte " << value;
        everyByte += static_cast<char>(byte);
    }
    EXPECT_EQ(unescaped(printableText(everyByte)), everyByte);
    EXPECT_EQ(printableText("dir/a\nb.obj"), "dir/a\\nb.obj");
}

}  // namespace

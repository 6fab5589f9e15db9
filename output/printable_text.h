#pragma once

#include <string>
#include <string_view>

// `text` as it may be quoted in a one-line message: every control character
// (bytes 0x00 to 0x1f and 0x7f) is written as a C escape (\n, \r, \t or
// \xHH) and every backslash is doubled, so a path or an argument holding a
// newline cannot break the line and every escape reads back unambiguously.
// Other bytes, UTF-8 sequences included, are kept as they are.
std::string printableText(std::string_view text);

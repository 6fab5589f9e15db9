#include "field/nrrd_layout.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

constexpr size_t kMaxPatternWidth = 20;  // digits of a padded number

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The value of a "data file:" (or "datafile:") field line; false for other
// lines, key/value lines (":=") among them.
bool dataFileValue(std::string_view line, std::string_view& value) {
    const size_t colon = line.find(": ");
    if (colon == std::string_view::npos || line.substr(0, colon).find(":=") != line.npos) {
        return false;
    }
    const std::string name = lowerCase(line.substr(0, colon));
    if (name != "data file" && name != "datafile") {
        return false;
    }
    value = line.substr(colon + 2);
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string resolved(const std::string& folder, std::string_view name) {
    return name.starts_with('/') ? std::string(name) : folder + "/" + std::string(name);
}

bool exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

// A pattern such as "slice%03d.raw": the text around its one conversion, a
// decimal padded with zeros or spaces to at most kMaxPatternWidth.
struct Pattern {
    std::string_view before, after;
    size_t width = 0;
    bool zeros = false;

    bool parse(std::string_view text) {
        const size_t percent = text.find('%');
        if (percent == text.npos || text.find('%', percent + 1) != text.npos) {
            return false;
        }
        size_t at = percent + 1;
        zeros = at < text.size() && text[at] == '0';
        const size_t digitsEnd = text.find_first_not_of("0123456789", at);
        if (digitsEnd == text.npos || text[digitsEnd] != 'd') {
            return false;
        }
        const auto [end, status] =
            std::from_chars(text.data() + at, text.data() + digitsEnd, width);
        if (digitsEnd > at && (status != std::errc{} || width > kMaxPatternWidth)) {
            return false;
        }
        before = text.substr(0, percent);
        after = text.substr(digitsEnd + 1);
        return true;
    }

    // The format is the program's own, so no file's text reaches printf.
    std::string name(int64_t number) const {
        char digits[2 * kMaxPatternWidth];
        std::snprintf(digits, sizeof digits, zeros ? "%0*lld" : "%*lld", static_cast<int>(width),
                      static_cast<long long>(number));
        return std::string(before) + digits + std::string(after);
    }
};

// "PATTERN FIRST LAST STEP [AXES]", its first word already a Pattern: the
// names in order, while they exist and one beyond, which the caller then
// refuses as missing.
bool expandPattern(std::string_view value, const Pattern& pattern, const std::string& folder,
                   std::vector<std::string>& names, std::string& problem) {
    std::istringstream words{std::string(value)};
    std::string text;
    int32_t first = 0, last = 0, step = 0;  // Teem's own range: no sum below wraps
    if (!(words >> text >> first >> last >> step) || step == 0) {
        problem = "the data file pattern \"" + std::string(value) +
                  "\" is not NAME%d FIRST LAST STEP with a step other than 0";
        return false;
    }
    for (int64_t number = first; step > 0 ? number <= last : number >= last; number += step) {
        names.push_back(resolved(folder, pattern.name(number)));
        if (!exists(names.back())) {
            break;
        }
    }
    return true;
}

// LIST: every later line names a file; SKIPLIST: each gives a byte skip first.
void readList(std::istream& header, bool skips, const std::string& folder,
              std::vector<std::string>& names) {
    std::string line;
    while (std::getline(header, line)) {
        std::string_view name = line;
        if (name.ends_with('\r')) {
            name.remove_suffix(1);
        }
        if (skips) {
            const size_t space = name.find_first_of(" \t");
            name = space == name.npos ? std::string_view() : name.substr(space + 1);
        }
        if (!name.empty()) {
            names.push_back(resolved(folder, name));
        }
    }
}

}  // namespace

bool readNrrdLayout(const std::string& path, NrrdLayout& layout, std::string& problem) {
    std::ifstream header(path, std::ios::binary);
    const std::string folder = folderOf(path);
    layout = {};
    std::string line;
    while (std::getline(header, line)) {
        layout.headerBytes += line.size() + (header.eof() ? 0 : 1);
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        std::string_view value;
        if (line.empty()) {
            break;
        }
        if (!dataFileValue(line, value)) {
            continue;
        }
        const std::string_view keyword = value.substr(0, value.find(' '));
        if (keyword == "LIST" || keyword == "SKIPLIST") {
            readList(header, keyword == "SKIPLIST", folder, layout.dataFiles);
            return true;
        }
        // Any other '%' (as in "100%.raw") is part of one file's name.
        Pattern pattern;
        if (pattern.parse(value.substr(0, value.find(' ')))) {
            return expandPattern(value, pattern, folder, layout.dataFiles, problem);
        }
        layout.dataFiles.push_back(resolved(folder, value));
    }
    return true;
}

#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

// Helpers any test may share: a stream to hand code that writes to a FILE*,
// read back whole, and text split into lines.

// A temporary file standing in for stdout or stderr; removed when destroyed.
class CapturedFile {
  public:
    CapturedFile() : file_(std::tmpfile()) {}
    ~CapturedFile() { std::fclose(file_); }
    CapturedFile(const CapturedFile&) = delete;
    CapturedFile& operator=(const CapturedFile&) = delete;

    FILE* get() const { return file_; }
    // Everything written so far, bytes as they are.
    std::string text() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string all;
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            all.push_back(static_cast<char>(c));
        }
        return all;
    }

  private:
    FILE* file_;
};

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

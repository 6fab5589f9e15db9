#pragma once

// Helpers any test may share: a stream to hand code that writes to a FILE*,
// text split into lines, golden files, and the engine at the stages tests need.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ambiguous_table.h"
#include "engine/cube_marcher.h"
#include "field/scalar_grid.h"

// A temporary file standing in for stdout, stderr or a file; removed when
// destroyed. text() reads what reached the file, bypassing the stream's
// buffer, so it shows only what the writer itself flushed.
class CapturedFile {
  public:
    CapturedFile() : file_(std::tmpfile()) {}
    ~CapturedFile() { std::fclose(file_); }
    CapturedFile(const CapturedFile&) = delete;
    CapturedFile& operator=(const CapturedFile&) = delete;

    FILE* get() const { return file_; }
    std::string text() const {
        std::string all;
        char chunk[4096];
        for (ssize_t got; (got = pread(fileno(file_), chunk, sizeof chunk,
                                       static_cast<off_t>(all.size()))) > 0;) {
            all.append(chunk, static_cast<size_t>(got));
        }
        return all;
    }

  private:
    FILE* file_;
};

// What `write` flushed to a stream it is handed.
template <class Write>
std::string flushedOutput(Write write) {
    const CapturedFile file;
    write(file.get());
    return file.text();
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The golden file `name` under tests/; with MC_UPDATE_GOLDEN set, `actual` is
// written there first, so a deliberate change is one run away.
inline std::string golden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(MC_TESTS_DIR) + "/" + name;
    if (std::getenv("MC_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Corner offsets and edges laid out, no case generated.
inline std::unique_ptr<CubeMarcher> makeLaidOutMarcher() {
    auto marcher = std::make_unique<CubeMarcher>();
    marcher->buildCornerOffsets();
    marcher->buildEdges();
    return marcher;
}

inline std::unique_ptr<CubeMarcher> makeGeneratedMarcher() {
    auto marcher = makeLaidOutMarcher();
    marcher->generateCaseTable();
    return marcher;
}

// Corner values of a cell in case `caseIndex`: `inside` at its set corners,
// `outside` at the others.
inline std::array<float, kCornerCount> caseValues(uint32_t caseIndex, float inside, float outside) {
    std::array<float, kCornerCount> values{};
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        values[corner] = (caseIndex >> corner & 1u) != 0 ? inside : outside;
    }
    return values;
}

// One generated table and its ambiguous cases per test program, for tests
// that only read them.
inline const CubeMarcher& generatedTable() {
    static const auto table = makeGeneratedMarcher();
    return *table;
}

inline const AmbiguousCaseTable& ambiguousTable() {
    static const AmbiguousCaseTable table(generatedTable());
    return table;
}

// Writes value(i, j, k) into each sample of `grid`, x fastest, so a value
// that draws random numbers draws them in the samples' order.
template <class Value>
void fillGrid(ScalarGrid& grid, Value value) {
    for (int32_t k = 0; k < grid.nz; ++k) {
        for (int32_t j = 0; j < grid.ny; ++j) {
            for (int32_t i = 0; i < grid.nx; ++i) {
                grid.writeSample(i, j, k, value(i, j, k));
            }
        }
    }
}

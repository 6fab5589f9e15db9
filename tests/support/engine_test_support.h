#pragma once

// Shared by the engine and surface pass tests: marchers at the stages the
// tests need, text output as the writer flushed it, readable records.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/cube_marcher.h"

using Triangle = std::array<int32_t, 3>;

inline bool operator==(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline void PrintTo(const Vec3& v, std::ostream* os) {
    *os << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

// What `write` prints to a stream, read back before the stream is closed, so
// only text the writer itself flushed is seen.
template <class Write>
std::string flushedOutput(Write write) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    write(stream);
    std::string text(buffer, size);
    std::fclose(stream);
    std::free(buffer);
    return text;
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

inline std::vector<Triangle> trianglesOf(const CaseEntry& entry) {
    std::vector<Triangle> triangles;
    for (int32_t t = 0; t < entry.triangleCount; ++t) {
        const int32_t* e = &entry.triangles[3 * t];
        triangles.push_back({e[0], e[1], e[2]});
    }
    return triangles;
}

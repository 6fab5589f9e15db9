#include "process/vertex_sides.h"

VertexSides::VertexSides(size_t vertexCount, const std::vector<std::array<int32_t, 3>>& triangles)
    : start_(vertexCount + 1, 0) {
    // Counted first, then filled at each list's end, so one pass of memory each.
    for (const auto& triangle : triangles) {
        for (const int32_t vertex : triangle) {
            start_[vertex + 1] += 2;
        }
    }
    for (size_t v = 1; v < start_.size(); ++v) {
        start_[v] += start_[v - 1];
    }
    sides_.resize(static_cast<size_t>(start_.back()));
    std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
    for (const auto& triangle : triangles) {
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t from = triangle[c];
            const int32_t to = triangle[(c + 1) % 3];
            sides_[fill[from]++] = {static_cast<uint32_t>(to), 1};
            sides_[fill[to]++] = {static_cast<uint32_t>(from), 0};
        }
    }
}

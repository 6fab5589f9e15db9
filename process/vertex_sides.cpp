#include "process/vertex_sides.h"

#include <algorithm>

VertexSides::VertexSides(size_t vertexCount, const std::vector<std::array<int32_t, 3>>& triangles,
                         Ends ends)
    : start_(vertexCount + 1, 0) {
    // Calls keep(vertex, side) for each side of each triangle at each end kept.
    const auto forEachKept = [&](const auto& keep) {
        for (const auto& triangle : triangles) {
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t from = triangle[c];
                const int32_t to = triangle[(c + 1) % 3];
                if (ends == Ends::kBoth) {
                    keep(from, Side{static_cast<uint32_t>(to), 1});
                    keep(to, Side{static_cast<uint32_t>(from), 0});
                } else {
                    // Chosen without a branch: which end is lower is a coin
                    // toss, and a mispredicted branch cost a quarter of this.
                    const bool upwards = from <= to;
                    keep(upwards ? from : to, Side{static_cast<uint32_t>(upwards ? to : from),
                                                   static_cast<uint32_t>(upwards)});
                }
            }
        }
    };
    // Counted first, then filled at each list's end, so one pass of memory
    // each. Filling moves each list's start on to the next's, so the starts
    // move back one place after: no second array of fill positions.
    forEachKept([&](int32_t vertex, Side) { ++start_[vertex + 1]; });
    for (size_t v = 1; v < start_.size(); ++v) {
        start_[v] += start_[v - 1];
    }
    sides_.resize(static_cast<size_t>(start_.back()));
    forEachKept([&](int32_t vertex, Side side) { sides_[start_[vertex]++] = side; });
    std::copy_backward(start_.begin(), start_.end() - 1, start_.end());
    start_[0] = 0;
}

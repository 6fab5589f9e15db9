#pragma once

// What a surface is, up to deformation, and an oracle for what it should be.

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "field/scalar_grid.h"

using Triangles = std::vector<std::array<int32_t, 3>>;

// Counts of an indexed triangle mesh. A surface piece is a closed or bounded
// surface when every edge is shared by one face (boundary) or two (inside).
struct SurfaceTopology {
    int32_t components = 0;
    int64_t euler = 0;  // vertices - edges + faces
    int32_t boundaryLoops = 0;
    int64_t crowdedEdges = 0;        // shared by more than two faces
    int64_t directedDuplicates = 0;  // a directed edge run by two faces

    // What deformation keeps: the topological type.
    bool sameType(const SurfaceTopology& other) const {
        return components == other.components && euler == other.euler &&
               boundaryLoops == other.boundaryLoops;
    }
};

std::ostream& operator<<(std::ostream& out, const SurfaceTopology& t);

SurfaceTopology topologyOf(const Triangles& triangles);

// The topology of the zero set (inside >= 0) of the grid's trilinear
// interpolant, independent of any case table: the interpolant is resampled at
// `steps` points per cell edge and polygonised by marching tetrahedra (six per
// fine cube around its main diagonal), which is unambiguous and closed, at
// level `iso`. Near-degenerate grids change answer with `steps` or with a
// small change of `iso`: stableInterpolantTopology skips them.
SurfaceTopology interpolantTopology(const ScalarGrid& grid, int32_t steps, double iso = 0.0);

// The oracle's answer when it holds at two resolutions and at levels just
// above and below 0; nothing when it does not.
std::optional<SurfaceTopology> stableInterpolantTopology(const ScalarGrid& grid);

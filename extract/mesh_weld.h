#pragma once

#include "extract/surface_mesh.h"

// How far apart two positions may be and still become one vertex.
enum class Weld {
    // Exactly the same position: the same bits per coordinate, with -0.0
    // taken as 0.0 (two crossed edges meet there when a sample is exactly
    // 0). Every triangle is kept, degenerate ones included.
    kExact,
    // Also a coordinate within a few float steps of a whole number (a grid
    // plane) is taken to lie on it: samples within rounding of 0 put several
    // crossings on one grid point. Triangles that collapse to a line or a
    // point are dropped, so that the surface does not pinch there.
    kWithinRounding,
};

// `mesh` with its coincident positions merged into one vertex by `weld`.
// Positions keep the order of first use and triangles their order and
// winding; nothing else is changed, and no normals are carried.
SurfaceMesh weldCoincidentPositions(const SurfaceMesh& mesh, Weld weld);

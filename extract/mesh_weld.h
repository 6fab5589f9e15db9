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

// Merges the coincident positions of `mesh` into one vertex by `weld`, in
// place. Positions keep the order of first use and triangles their order and
// winding; normals are dropped, nothing else is changed.
//
// Only positions on a grid point (every coordinate a whole number, once
// moved by kWithinRounding) are looked up: an extracted mesh has one vertex
// per crossed edge, and two edges' crossings can meet only at a sample. So
// the weld is linear, and a mesh with no position on a grid point costs one
// pass over its positions and is otherwise left as it is.
void weldCoincidentPositions(SurfaceMesh& mesh, Weld weld);

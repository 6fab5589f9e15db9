#pragma once

#include <cstdio>

#include "app/mesh.h"
#include "app/options.h"
#include "engine/cube_marcher.h"
#include "field/scalar_grid.h"

// The surface of `grid` as the surface pass would draw it, welded. Works on
// a copy of `marcher`, so its usage statistics stay as they are. `marcher`
// must hold its generated table; a grid without storage gives an empty mesh.
IndexedMesh extractSurfaceMesh(const CubeMarcher& marcher, const ScalarGrid& grid);

// Writes `mesh` to `out` in `format`:
//   kObj: text, "v x y z" lines (enough digits to read back every float
//         exactly), then "f a b c" lines with 1-based indices;
//   kPly: binary little-endian, float x, y, z per vertex and a uchar-counted
//         list of int indices per face;
//   kStl: binary, an 80-byte header, the face count as uint32, and per face
//         its unit normal and three corners as floats and a zero uint16.
// Every face keeps its winding. Returns false when a write failed; the
// stream's error state tells which.
bool writeMesh(const IndexedMesh& mesh, MeshFormat format, FILE* out);

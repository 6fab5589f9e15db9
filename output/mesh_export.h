#pragma once

#include <cstdio>

#include "extract/surface_mesh.h"
#include "field/world_transform.h"

// The mesh formats of --export, chosen by the file's extension.
enum class MeshFormat { kObj, kPly, kStl };

// Writes `mesh` to `out` in `format`:
//   kObj: text, "v x y z" lines (enough digits to read back every float
//         exactly), then "f a b c" lines with 1-based indices;
//   kPly: binary little-endian, float x, y, z per vertex and a uchar-counted
//         list of int indices per face;
//   kStl: binary, an 80-byte header, the face count as uint32, and per face
//         its unit normal and three corners as floats and a zero uint16.
// Every face keeps its winding. Returns false when a write failed; the
// stream's error state tells which.
bool writeMesh(const SurfaceMesh& mesh, MeshFormat format, FILE* out);

// Moves `mesh` from grid units into the frame `toWorld` gives (which must be
// invertible): positions through it, normals through its inverse transpose.
// A mirroring transform (negative determinant) would turn every triangle's
// winding inwards, so each triangle's last two corners are swapped and the
// winding still points from the inside out.
void mapToWorld(SurfaceMesh& mesh, const IndexToWorld& toWorld);

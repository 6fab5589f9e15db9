#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/cube_marcher.h"

// An indexed triangle mesh: face f uses positions[faces[f][0..2]], in the
// winding it was drawn with, so (p1 - p0) x (p2 - p0) points out of the
// blobs. Indices are 0-based and always within `positions`.
struct IndexedMesh {
    std::vector<Vec3> positions;
    std::vector<std::array<int32_t, 3>> faces;
};

// Builds the indexed mesh of a triangle soup (three corners per triangle,
// as CapturingGl keeps them; a trailing partial triangle is ignored). Corners
// at exactly the same position become one vertex: the same bits per
// coordinate, with -0.0 taken as 0.0. Nothing else is merged, so positions
// one float step apart stay two vertices. Every triangle becomes one face,
// degenerate ones included; positions keep the order of first use.
IndexedMesh weldTriangles(std::span<const Vec3> triangleCorners);

// The unit normal of face `face` by its winding; zero for a degenerate face.
Vec3 unitFaceNormal(const IndexedMesh& mesh, size_t face);

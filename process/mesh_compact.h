#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "extract/surface_mesh.h"

// The mesh of `triangles` (indices into `positions`) with only the positions
// they use, numbered in the order the triangles first use them. Normals are
// not carried: the steps that drop triangles also move or merge vertices.
SurfaceMesh compactMesh(const std::vector<Vec3>& positions,
                        const std::vector<std::array<int32_t, 3>>& triangles);

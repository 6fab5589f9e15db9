#pragma once

#include "extract/surface_mesh.h"

// `mesh` reduced towards `ratio` (0 to 1) of its triangles by meshoptimizer's
// edge collapses, cheapest first, whatever the error they cost. Collapses
// keep the topology: a border stays locked in place, and a closed surface is
// never opened, though the simplifier may stop short of the target where
// every remaining collapse would change it. Normals are not carried.
SurfaceMesh simplifyMesh(const SurfaceMesh& mesh, double ratio);

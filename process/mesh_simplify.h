#pragma once

#include "extract/surface_mesh.h"

// `mesh` reduced towards `ratio` (0 to 1) of its triangles by meshoptimizer's
// edge collapses, cheapest first, whatever the error they cost. A border
// stays locked in place, and the simplifier may stop short of the target
// where every remaining collapse would change the topology. It does not check
// every collapse against folding a thin part flat (two triangles on the same
// three vertices, wound against each other, their edges then shared by four
// faces); such pairs enclose nothing and are dropped, which keeps a closed
// surface closed. Normals are not carried.
SurfaceMesh simplifyMesh(const SurfaceMesh& mesh, double ratio);

#pragma once

#include <cstdint>

#include "extract/surface_mesh.h"

// `steps` rounds of Taubin's smoothing: each vertex moves a fraction lambda
// of the way to the mean of its neighbours, then all move back by a fraction
// -mu, which undoes the shrinking a plain mean would cause while the steps
// of integer data (terraces one sample high) still soften. Positions change,
// the triangles do not, so a watertight mesh stays watertight; normals are
// dropped, as they no longer fit.
void smoothTaubin(SurfaceMesh& mesh, int32_t steps);

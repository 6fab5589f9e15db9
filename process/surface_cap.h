#pragma once

#include "extract/surface_mesh.h"
#include "field/scalar_grid.h"

// Closing the surface where it leaves the grid: the grid is surrounded by one
// layer of outside samples, so every inside sample on the border gets a face
// beyond it and the surface becomes the boundary of a solid.
//
// The padded grid has sizes nx + 2, ny + 2, nz + 2; its sample (i + 1, j + 1,
// k + 1) is the grid's sample (i, j, k), so a position p in it is p - (1, 1,
// 1) in the grid's units. Each padding sample is the negated magnitude of the
// grid sample next to it (or -1 where that is 0): outside, and for an inside
// border sample exactly as far below zero as the sample is above it, so the
// closing faces lie flat half a sample step out, where that sample's voxel
// ends. Samples not next to the grid (along the padding's edges and corners)
// take -1. Returns false, leaving `padded` empty, when the padded grid has too
// many samples or no memory can be had for it.
bool padWithOutside(const ScalarGrid& grid, ScalarGrid& padded);

// Moves a mesh extracted from a padded grid into the grid's units.
void shiftOutOfPadding(SurfaceMesh& mesh);

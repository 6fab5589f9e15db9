#pragma once

#include "field/reached_rows.h"
#include "field/scalar_grid.h"

// Rewrites every sample of `grid` with the six-blob field at `animationTime`:
// each sample is reset to kFieldBackground, then each of six blobs adds a
// positive term to the samples closer than r = nx / 4 (integer division) to
// its centre. The blob centres are the six orderings of three centre values
// that swing between 0.1 and 0.9 of the axis sizes as the time advances.
//
// The arithmetic is pinned down to the last bit so that every build lists the
// same triangles: centre values in double, stored as float; distances summed
// in double, stored as float, their root in float; near a centre
// (d <= 0.1f) the term r / 0.1f is added in double; elsewhere the term
// (r - d) / d is formed and added in float. The grid is filled row by row,
// each row reset and then visited by the blobs that may reach it, each only
// within (a sample more than) its disc in the row's slice; every sample
// receives its terms in blob order, so the result is bit for bit that of six
// passes over the whole grid.
//
// A grid without storage is left as it is. Allocates nothing.
void updateMetaballField(ScalarGrid& grid, float animationTime);

// The same step, which also clears `reachedRows` for the grid's shape and
// records in it the rows some blob reached (see ReachedRows); a grid without
// storage leaves it with no rows. Allocates only to resize `reachedRows` for
// a shape that is new to it.
void updateMetaballField(ScalarGrid& grid, float animationTime, ReachedRows& reachedRows);

inline constexpr float kFieldBackground = -0.5f;

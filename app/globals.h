#pragma once

#include <cstdint>

#include "engine/ambiguous_table.h"
#include "engine/cube_marcher.h"
#include "field/reached_rows.h"
#include "field/scalar_grid.h"

// The program-wide objects, alive for the whole process. The settings the
// keys change are in settings.h.

// Samples along each axis of sampleGrid.
inline constexpr int32_t kGridSize = 40;

// Holds the generated case table and counts every polygonised cell.
extern CubeMarcher cubeMarcher;
// The decided triangulations of cells with an ambiguous face; generated at
// start-up next to the case table.
extern AmbiguousCaseTable ambiguousCases;
// The rows of sampleGrid the blobs reached in the last field step, so the
// surface pass need not read the others.
extern ReachedRows fieldRows;
// The field sampled every frame; empty until start-up allocates it.
extern ScalarGrid sampleGrid;

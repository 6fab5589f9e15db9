#pragma once

#include <cstdint>
#include <cstdio>

#include "extract/cell_description.h"
#include "render/gl_ops.h"

// The explorer's cell (app/explorer.h) as the global marcher and the face
// rule of the settings cut it. Needs the case table generated.
CellDescription describeExploredCell();

// `--explore CASE --headless`: generates the tables without listing them and
// writes the description of the case at the explorer's start values, with
// its crossings and triangles (writeCellDescription), to `out`, flushed.
void printExploredCase(uint32_t caseIndex, FaceRule rule, FILE* out);

// The explorer's picture, in the camera and lighting the frame has set up:
// the cube, then the labels and the description over it. When the listing
// was requested, the description with its geometry goes to `out` instead of
// the frame's triangles. Instantiated for the backends renderFrame is.
template <GlOperations Gl>
void drawExplorer(Gl& gl, FILE* out);

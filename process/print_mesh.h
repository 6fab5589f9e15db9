#pragma once

#include <cstdint>
#include <optional>

#include "engine/ambiguous_table.h"
#include "extract/surface_mesh.h"
#include "field/scalar_grid.h"

// What is done to a surface on its way to a file (or to the screen), each
// step off unless asked for.
struct MeshProcessing {
    bool cap = false;                     // close it at the grid's border
    bool largest = false;                 // only the piece of most triangles
    int64_t minPiece = 0;                 // drop pieces of fewer triangles
    int32_t smoothSteps = 0;              // rounds of Taubin smoothing
    std::optional<double> simplifyRatio;  // fraction of the triangles to keep
};

// The surface of `grid` as one mesh in grid units: closed at the border when
// `cap` (see padWithOutside), extracted by `extractor` under `rule`, and its
// coincident positions merged as that rule needs (within rounding for the
// decider, whose surface is closed; exactly for the table). Cells are not
// counted in any usage statistics. Returns false, with `mesh` empty, when
// the padded grid cannot be had.
bool extractSurface(const ScalarGrid& grid, MeshExtractor& extractor, FaceRule rule, bool cap,
                    SurfaceMesh& mesh);

// The mesh steps in order: pieces (largest, then small ones), smoothing,
// simplifying; the cap is part of extraction. A pure function of the mesh,
// so the export and the view can share it.
SurfaceMesh processMesh(SurfaceMesh mesh, const MeshProcessing& processing);

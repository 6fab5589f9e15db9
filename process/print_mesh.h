#pragma once

#include <cstdint>
#include <optional>

#include "extract/surface_mesh.h"

// What is done to a surface on its way to a file (or to the screen), each
// step off unless asked for.
struct MeshProcessing {
    bool cap = false;                     // close it at the grid's border (surface_cap.h)
    bool largest = false;                 // only the piece of most triangles
    int64_t minPiece = 0;                 // drop pieces of fewer triangles
    int32_t smoothSteps = 0;              // rounds of Taubin smoothing
    std::optional<double> simplifyRatio;  // fraction of the triangles to keep
};

// The mesh steps in order: pieces (largest, then small ones), smoothing,
// simplifying; the cap is made at extraction. A pure function of the mesh, so
// the export and the view can share it.
SurfaceMesh processMesh(SurfaceMesh mesh, const MeshProcessing& processing);

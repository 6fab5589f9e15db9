#pragma once

#include <cstdint>
#include <optional>

#include "extract/mesh_weld.h"
#include "extract/surface_mesh.h"

// What is done to a surface on its way to a file and to the screen, each
// step off unless asked for.
struct MeshProcessing {
    bool cap = false;                     // close it at the grid's border (surface_cap.h)
    bool largest = false;                 // only the piece of most triangles
    int64_t minPiece = 0;                 // drop pieces of fewer triangles
    int32_t smoothSteps = 0;              // rounds of Taubin smoothing
    std::optional<double> simplifyRatio;  // fraction of the triangles to keep

    // Whether any step is asked for; if not, the surface stays as extracted.
    bool any() const {
        return cap || largest || minPiece > 0 || smoothSteps > 0 || simplifyRatio.has_value();
    }
};

// The mesh steps in order: pieces (largest, then small ones), smoothing,
// simplifying, then the pieces again, as simplifying can part a piece where
// it was thin; the cap is made at extraction. A pure function of the mesh.
SurfaceMesh processMesh(SurfaceMesh mesh, const MeshProcessing& processing);

// How a surface cut under `rule` is welded for export: beside the decider,
// positions within float rounding merge too (and the triangles that collapse
// go), so that the surface stays closed at a sample within rounding of 0.
Weld weldFor(FaceRule rule);

// Replaces `mesh` with the surface of `grid` as `processing` asks, in grid
// units: extracted by `extractor` under `rule` (for the cap from the grid
// padded with outside samples, then moved back), welded (weldFor), then
// processMesh. `usageCount` as MeshExtractor::extract; with the cap the
// padding's cells count too. VertexNormals::kGradient gives each vertex the
// sum of its triangles' normals weighted by their area, as the field's no
// longer fit the moved surface. Throws std::bad_alloc when the memory runs
// out.
void extractProcessed(MeshExtractor& extractor, const ScalarGrid& grid, FaceRule rule,
                      const MeshProcessing& processing, SurfaceMesh& mesh,
                      int32_t* usageCount = nullptr, VertexNormals normals = VertexNormals::kNone);

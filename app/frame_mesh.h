#pragma once

#include <cstdint>

#include "engine/ambiguous_table.h"
#include "engine/cube_marcher.h"
#include "extract/mesh_edges.h"
#include "extract/surface_mesh.h"
#include "field/reached_rows.h"
#include "field/scalar_grid.h"
#include "process/print_mesh.h"
#include "render/mesh_pass.h"
#include "render/shading.h"

// What the frame's mesh is made from: when none of it changed, neither did
// the mesh. `animationTime` stands for the blobs' field, `iso` for a volume's.
struct MeshInputs {
    float animationTime = 0.0f;
    float iso = 0.0f;
    FaceRule faceRule = FaceRule::kDecider;
    Shading shading = Shading::kFlat;

    bool operator==(const MeshInputs&) const = default;
};

// The mesh the frame draws, owned here so that it is extracted only when its
// inputs change; otherwise the last one is drawn again. Each update still
// counts the mesh's crossing cells in the usage statistics, as a frame that
// polygonised them again would. The mesh goes to the surface pass as built
// here, processed as asked (see extractProcessed), so the window shows what
// the export writes; anything that reworks the mesh for viewing belongs in
// build().
class FrameMesh {
  public:
    // `table` and `ambiguous` must outlive this; `threads` share each
    // extraction (see MeshExtractor); every mesh is processed by `processing`.
    FrameMesh(const CubeMarcher& table, const AmbiguousCaseTable& ambiguous, int32_t threads = 1,
              const MeshProcessing& processing = {})
        : extractor_(table, ambiguous, threads), processing_(processing) {}

    // Extracts `grid` again when `inputs` differ from the last build's (or
    // nothing was built yet); `rows` as MeshExtractor::extract. Then adds the
    // mesh's crossing cells to usageCount[case] when it is not null.
    void update(const ScalarGrid& grid, const MeshInputs& inputs, int32_t* usageCount,
                const ReachedRows* rows = nullptr);

    const SurfaceMesh& mesh() const { return mesh_; }
    // The mesh's outline edges, built when first asked for after a rebuild.
    const MeshEdges& edges();
    Shading shading() const { return built_.shading; }
    // Whether the mesh is processed, not the surface as extracted.
    bool processed() const { return processing_.any(); }
    // Changes with every rebuild; never 0 once something was built.
    uint64_t stamp() const { return stamp_; }

    // Hands over the (processed) mesh of `grid` under `inputs` (its normals dropped): the
    // last build's when it was of `grid` under these inputs and finished,
    // else one extracted now without counting usage. Keeps no mesh after,
    // nor the extraction's workspace.
    // For the export at quit, which so need not extract the surface again.
    SurfaceMesh takeMesh(const ScalarGrid& grid, const MeshInputs& inputs);

  private:
    void rebuild(const ScalarGrid& grid, const ReachedRows* rows);
    // The mesh of `grid` under `inputs` into mesh_, processed.
    void build(const ScalarGrid& grid, const MeshInputs& inputs, int32_t* usageCount,
               const ReachedRows* rows);

    MeshExtractor extractor_;
    MeshProcessing processing_;
    SurfaceMesh mesh_;
    MeshEdges edges_;
    MeshInputs built_;
    const ScalarGrid* builtGrid_ = nullptr;  // null while a build is unfinished
    uint64_t stamp_ = 0;
    uint64_t edgesStamp_ = 0;
    int32_t cellsPerCase_[kCaseCount] = {};  // of the mesh held
};

// The surface drawn from a mesh: app builds it, render draws it.
struct MeshDrawing {
    FrameMesh mesh;
    MeshPass pass;
};

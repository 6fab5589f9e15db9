#pragma once

#include <array>
#include <barrier>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ambiguous_table.h"
#include "engine/cube_marcher.h"
#include "extract/crossing_cells.h"
#include "extract/worker_pool.h"
#include "field/scalar_grid.h"

// The iso-surface as data: vertex positions in grid units, and triangles as
// index triples into `positions`, in the table's winding, so that
// (p1 - p0) x (p2 - p0) points from the inside (values >= 0) to the outside.
// `normals`, when asked for, holds one per position (see VertexNormals).
struct SurfaceMesh {
    std::vector<Vec3> positions;
    std::vector<std::array<int32_t, 3>> triangles;
    std::vector<Vec3> normals;

    // Empties the mesh and keeps its storage for the next frame.
    void clear() {
        positions.clear();
        triangles.clear();
        normals.clear();
    }
};

// Whether an extraction gives each vertex a normal: kGradient takes the
// field's gradient at the edge's two samples (central differences, one-sided
// at the grid's border), interpolated along the edge as the position is, and
// turned outwards (unnormalised: the field falls from inside to outside).
enum class VertexNormals { kNone, kGradient };

// Builds the SurfaceMesh of a grid in one sweep over its crossing cells, in
// the samples' storage order (z outermost, then y, x fastest), so that the
// sweep reads memory in order; each cell's triangles in table order. Each
// crossed grid edge is interpolated once and its vertex shared by every
// triangle that uses it; a vertex's position is bit for bit the one the
// per-cell path places (cell origin plus interpolateEdge), and vertices are
// numbered in the order they are first used. Two different edges can still
// give one position, when a sample is exactly 0. A cell's vertices inside it
// (see AmbiguousCaseTable::Variant) are its own, numbered after the cell's
// edge vertices.
//
// The crossed edges of the current and the previous z-slab are remembered in
// slots kept per sample (x, y) of a plane: the edge along x, along y and
// along z whose lower sample is (x, y, plane). A slot is trusted only when it holds an index at
// least as large as the vertex count when its plane could first be written,
// so nothing is cleared between slabs; everything is cleared once per sweep.
//
// With more than one thread, the z-slabs are split into one run of slabs per
// thread, balanced by the crossing cells each slab held in the last
// extraction of a grid as deep (or evenly the first time), the first swept
// into the result itself, each other into a part of its own; the parts are
// then joined after it: a vertex on the plane two parts share is kept from
// the lower part, and the rest are renumbered in order, so
// the mesh, its numbering and the usage counts are exactly those of one
// thread.
//
// The workspace is sized for one grid shape and resized only when another
// comes along; with `mesh`'s storage grown to the frame's size, a sweep
// allocates nothing. Not reentrant: one extractor per caller.
class MeshExtractor {
  public:
    // Polygonises through the generated table of `table` and, for cells with
    // an ambiguous face under FaceRule::kDecider, through `ambiguous`. Both
    // must outlive the extractor and not change: their triangles are read
    // once, here. `threads` (at least 1) threads share each extraction; the
    // calling thread is one of them, the others are started here.
    MeshExtractor(const CubeMarcher& table, const AmbiguousCaseTable& ambiguous,
                  int32_t threads = 1);
    ~MeshExtractor();

    // Replaces `mesh` with the surface of `grid`, cells with an ambiguous
    // face polygonised by `rule` (see polygoniseCell). When `usageCount` is
    // not null, each crossing cell is counted in usageCount[its case], as
    // polygoniseCell counts. Returns the number of crossing cells. A grid
    // without samples gives an empty mesh. Throws std::bad_alloc when the
    // memory runs out, on any thread, and std::system_error when a thread
    // cannot be started; `mesh` is then unspecified.
    // `rows`, when given, lets the finder skip rows no blob reached.
    int64_t extract(const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                    int32_t* usageCount = nullptr, VertexNormals normals = VertexNormals::kNone,
                    const ReachedRows* rows = nullptr);

    // Frees the parts' meshes and the sweeps' workspace, for a caller that
    // extracts no more for a while (the export at quit), so that they do not
    // add to what comes after; the next extraction grows them again.
    void releaseWorkspace();

  private:
    // A case's triangles as corners numbered by the case's distinct edges,
    // so a cell looks each crossed edge up once.
    // Corner kEdgeCount + i is the cell's interior vertex i (see
    // AmbiguousCaseTable::Variant), placed from `interior`.
    struct CaseEdges {
        int32_t caseNumber = 0;
        int32_t edgeCount = 0;
        int32_t triangleCount = 0;
        int32_t interiorCount = 0;
        const AmbiguousCaseTable::InteriorVertex* interior = nullptr;
        uint8_t edges[kEdgeCount] = {};  // in order of first use
        uint8_t corners[3 * kMaxTrianglesPerCell] = {};

        CaseEdges() = default;
        CaseEdges(int32_t number, const int32_t* triangles, int32_t count);
        CaseEdges(int32_t number, const AmbiguousCaseTable::Variant& variant);
    };
    struct Part;
    struct Sweep;

    // Sweeps the part's cells, counting each slab's in slabCells.
    void sweep(Part& part, const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
               VertexNormals normals, const ReachedRows* rows, int64_t* slabCells) const;
    void splitIntoParts(const ScalarGrid& grid);
    void extractInParts(const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                        VertexNormals normals, const ReachedRows* rows);
    void sizeJoinedMesh(SurfaceMesh& mesh, VertexNormals normals);
    // Raises, on the calling thread, what stopped a part's thread, if any.
    void raisePartFailure();

    const CubeMarcher& table_;
    const AmbiguousCaseTable& ambiguous_;
    std::array<CaseEdges, kCaseCount> cases_;
    std::vector<CaseEdges> variants_;           // ambiguous_.variants(), numbered alike
    std::vector<std::unique_ptr<Part>> parts_;  // one per thread
    std::vector<const Part*> belowOf_;          // per part, the part it joins onto
    // Crossing cells per slab in the last extraction: each part counts its
    // own slabs, so the next split can balance the parts' work.
    std::vector<int64_t> slabCells_;
    std::unique_ptr<WorkerPool> pool_;
    std::unique_ptr<std::barrier<>> phases_;  // the threads' meeting points
};

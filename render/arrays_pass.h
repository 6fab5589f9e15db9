#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/ambiguous_table.h"
#include "extract/mesh_edges.h"
#include "extract/surface_mesh.h"
#include "render/gl_ops.h"
#include "render/shading.h"
#include "render/surface_pass.h"

// The surface drawn from the extraction's mesh with OpenGL 1.1 client-side
// vertex arrays, instead of one glBegin/glEnd pair per cell: the same cells,
// triangles, vertices, colours and listing as the per-cell pass, under the
// lighting and camera the frame set up. Filled triangles are drawn grey,
// then every outline edge once in black (the per-cell pass draws an edge two
// triangles share twice). Under flat shading each triangle's three vertices
// carry its face normal, and each outline is drawn between the vertices of
// the first triangle that has it; under smooth shading vertices are shared
// and carry gradient normals.
//
// Holds the mesh and the arrays from frame to frame, so once they have grown
// to a frame's size, a frame allocates nothing. Not reentrant.
class ArraysPass {
  public:
    // `table` and `ambiguous` must outlive the pass; `threads` share each
    // extraction (see MeshExtractor).
    ArraysPass(const CubeMarcher& table, const AmbiguousCaseTable& ambiguous, int32_t threads = 1)
        : extractor_(table, ambiguous, threads) {}

    // Extracts and draws the surface of `grid`, counting each crossing cell
    // in usageCount (when not null) and listing every triangle on `listing`
    // (when not null; flushed after the pass) as the per-cell pass does;
    // `rows` as MeshExtractor::extract. Returns the number of crossing cells.
    template <GlOperations Gl>
    int64_t draw(Gl& gl, const ScalarGrid& grid, FaceRule rule, Shading shading,
                 int32_t* usageCount, FILE* listing, const ReachedRows* rows = nullptr) {
        const int64_t crossingCells =
            extract(grid, rule,
                    shading == Shading::kSmooth ? VertexNormals::kGradient : VertexNormals::kNone,
                    usageCount, listing, rows);
        edges_.build(mesh_);
        if (shading == Shading::kSmooth) {
            drawSmooth(gl);
        } else {
            drawFlat(gl);
        }
        gl.disableClientState(gl::kNormalArray);
        gl.disableClientState(gl::kVertexArray);
        return crossingCells;
    }

    // What draw() does short of drawing: extracts (with `normals`), counts
    // and lists. For a run without a window, where only the statistics, the
    // listing and the export use the mesh.
    int64_t extract(const ScalarGrid& grid, FaceRule rule, VertexNormals normals,
                    int32_t* usageCount, FILE* listing, const ReachedRows* rows = nullptr);

    const SurfaceMesh& mesh() const { return mesh_; }

    // Hands over the mesh of `grid` under `rule` (its normals not asked
    // for): the last extraction's when it was of `grid` under `rule`, which
    // the caller knows has not changed since, else one extracted now without
    // counting usage. The pass keeps no mesh after.
    SurfaceMesh takeMesh(const ScalarGrid& grid, FaceRule rule);

  private:
    void list(FILE* listing) const;
    // Fills the flat arrays: three vertices per triangle, each with its face
    // normal, and the outline edges as pairs of them.
    void expandFlat();

    template <GlOperations Gl>
    void pointArraysAt(Gl& gl, const std::vector<Vec3>& vertices,
                       const std::vector<Vec3>& normals) {
        gl.enableClientState(gl::kVertexArray);
        gl.enableClientState(gl::kNormalArray);
        gl.vertexPointer(kFloatsPerVertex, gl::kFloat, 0, vertices.data());
        gl.normalPointer(gl::kFloat, 0, normals.data());
    }

    template <GlOperations Gl>
    void drawFlat(Gl& gl) {
        expandFlat();
        pointArraysAt(gl, triangleVertices_, triangleNormals_);
        gl.color3f(surface::kFillGrey, surface::kFillGrey, surface::kFillGrey);
        gl.drawArrays(gl::kTriangles, 0, static_cast<int32_t>(triangleVertices_.size()));
        drawOutlines(gl, flatOutlines_.data(), flatOutlines_.size());
    }

    template <GlOperations Gl>
    void drawSmooth(Gl& gl) {
        pointArraysAt(gl, mesh_.positions, mesh_.normals);
        gl.color3f(surface::kFillGrey, surface::kFillGrey, surface::kFillGrey);
        gl.drawElements(gl::kTriangles,
                        static_cast<int32_t>(kFloatsPerVertex * mesh_.triangles.size()),
                        gl::kUnsignedInt, mesh_.triangles.data());
        drawOutlines(gl, edges_.edges().data(), edges_.edges().size());
    }

    // Lines between the arrays' vertices given as `count` index pairs.
    template <GlOperations Gl>
    void drawOutlines(Gl& gl, const void* pairs, size_t count) {
        gl.color3f(surface::kOutlineBlack, surface::kOutlineBlack, surface::kOutlineBlack);
        gl.drawElements(gl::kLines, static_cast<int32_t>(2 * count), gl::kUnsignedInt, pairs);
    }

    static constexpr int32_t kFloatsPerVertex = 3;

    MeshExtractor extractor_;
    SurfaceMesh mesh_;
    // What mesh_ was extracted from, for takeMesh; null when nothing was.
    const ScalarGrid* extractedGrid_ = nullptr;
    FaceRule extractedRule_ = FaceRule::kDecider;
    MeshEdges edges_;
    std::vector<Vec3> triangleVertices_;
    std::vector<Vec3> triangleNormals_;
    std::vector<std::array<uint32_t, 2>> flatOutlines_;  // into triangleVertices_
};

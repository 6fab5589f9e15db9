#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "extract/mesh_edges.h"
#include "extract/surface_mesh.h"
#include "render/gl_ops.h"
#include "render/shading.h"
#include "render/surface_pass.h"

// Lists every triangle of `mesh` on `listing` as the per-cell pass lists
// them, in the mesh's order, then flushes: for a processed mesh, which has no
// cells to list in order.
void listMeshTriangles(const SurfaceMesh& mesh, FILE* listing);

// Draws a given mesh with OpenGL 1.1 client-side vertex arrays, under the
// lighting and camera the frame set up: the filled triangles grey, then every
// outline edge once in black, as lines between vertices given as index pairs
// (the per-cell pass draws an edge two triangles share twice). Under smooth
// shading the mesh's shared vertices and normals are drawn as they are (the
// mesh must have normals). Under flat shading each triangle's three corners
// carry its face normal, and each outline is drawn between the corners of
// the first triangle that has it, so it is lit as that triangle is.
//
// A mesh drawn twice in a row (the same stamp) is compiled into a display
// list on its second frame, and the list is called from then on: GL then
// keeps the geometry, so a mesh that stays costs no copying. A mesh that
// changes every frame is never compiled. Without a list (GL has none to
// give) the arrays are drawn each frame. Not reentrant.
class MeshPass {
  public:
    // Draws `mesh` and its outline `edges` under `shading`. `stamp` names what
    // the mesh holds: the caller changes it whenever the mesh, its edges or
    // the shading change.
    template <GlOperations Gl>
    void draw(Gl& gl, const SurfaceMesh& mesh, const MeshEdges& edges, Shading shading,
              uint64_t stamp) {
        if (list_ != 0 && listStamp_ == stamp) {
            gl.callList(list_);
            return;
        }
        const bool stayed = drawnStamp_ == stamp;
        drawnStamp_ = stamp;
        if (stayed && compile(gl, stamp)) {
            gl.newList(list_, gl::kCompile);
            drawArrays(gl, mesh, edges, shading);
            gl.endList();
            releaseFlatArrays();
            gl.callList(list_);
            return;
        }
        drawArrays(gl, mesh, edges, shading);
    }

    // Frees the display list (needs the GL context it was made in) and the
    // arrays.
    template <GlOperations Gl>
    void release(Gl& gl) {
        releaseFlatArrays();
        if (list_ != 0) {
            gl.deleteLists(list_, 1);
            list_ = 0;
        }
    }

  private:
    static constexpr int32_t kFloatsPerVertex = 3;
    static constexpr int32_t kIndicesPerTriangle = 3;

    // Takes a list for `stamp` (the one held, or a new one); false when GL
    // gives none.
    template <GlOperations Gl>
    bool compile(Gl& gl, uint64_t stamp) {
        if (list_ == 0) {
            list_ = gl.genLists(1);
        }
        listStamp_ = stamp;
        return list_ != 0;
    }

    template <GlOperations Gl>
    void drawArrays(Gl& gl, const SurfaceMesh& mesh, const MeshEdges& edges, Shading shading) {
        gl.enableClientState(gl::kVertexArray);
        gl.enableClientState(gl::kNormalArray);
        gl.color3f(surface::kFillGrey, surface::kFillGrey, surface::kFillGrey);
        if (shading == Shading::kSmooth) {
            pointArraysAt(gl, mesh.positions, mesh.normals);
            gl.drawElements(gl::kTriangles,
                            static_cast<int32_t>(kIndicesPerTriangle * mesh.triangles.size()),
                            gl::kUnsignedInt, mesh.triangles.data());
            drawOutlines(gl, edges.edges().data(), edges.edges().size());
        } else {
            expandFlat(mesh, edges);
            pointArraysAt(gl, flatVertices_, flatNormals_);
            gl.drawArrays(gl::kTriangles, 0, static_cast<int32_t>(flatVertices_.size()));
            drawOutlines(gl, flatOutlines_.data(), flatOutlines_.size());
        }
        gl.disableClientState(gl::kNormalArray);
        gl.disableClientState(gl::kVertexArray);
    }

    // Lines between the arrays' vertices given as `count` index pairs.
    template <GlOperations Gl>
    void drawOutlines(Gl& gl, const void* pairs, size_t count) {
        gl.color3f(surface::kOutlineBlack, surface::kOutlineBlack, surface::kOutlineBlack);
        gl.drawElements(gl::kLines, static_cast<int32_t>(2 * count), gl::kUnsignedInt, pairs);
    }

    template <GlOperations Gl>
    void pointArraysAt(Gl& gl, const std::vector<Vec3>& vertices,
                       const std::vector<Vec3>& normals) {
        gl.vertexPointer(kFloatsPerVertex, gl::kFloat, 0, vertices.data());
        gl.normalPointer(gl::kFloat, 0, normals.data());
    }

    // Three corners per triangle, each with the triangle's face normal, and
    // the outline edges as pairs of them.
    void expandFlat(const SurfaceMesh& mesh, const MeshEdges& edges);
    // A compiled list holds its own copy; the arrays would only take memory.
    void releaseFlatArrays();

    std::vector<Vec3> flatVertices_;
    std::vector<Vec3> flatNormals_;
    std::vector<std::array<uint32_t, 2>> flatOutlines_;  // into flatVertices_
    uint64_t drawnStamp_ = 0;
    uint64_t listStamp_ = 0;
    uint32_t list_ = 0;
};

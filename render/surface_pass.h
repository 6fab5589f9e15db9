#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/cube_marcher.h"
#include "extract/cell_visit.h"
#include "extract/crossing_cells.h"
#include "field/scalar_grid.h"
#include "render/gl_ops.h"

// The building blocks of the surface pass (surface_pass.cpp).
namespace surface {

inline constexpr float kFillGrey = 0.9f;
inline constexpr float kOutlineBlack = 0.0f;
inline constexpr int32_t kVerticesPerTriangle = 3;
inline constexpr int32_t kFloatsPerVertex = 3;
// Vertex order of a triangle's outline: segments p0-p1, p1-p2, p2-p0.
inline constexpr int32_t kOutlineVertexCount = 6;
inline constexpr int32_t kOutlineOrder[kOutlineVertexCount] = {0, 1, 1, 2, 2, 0};

// The one workspace of the surface pass (the program has one thread).
CrossingCells& sharedCrossingCells();

// Vertex v (0..2) of the cell-local triangle at `triangle`, moved to the cell
// at `origin`.
inline Vec3 placedVertex(const Vec3& origin, const float* triangle, int32_t v) {
    const float* p = triangle + kFloatsPerVertex * v;
    return {origin.x + p[0], origin.y + p[1], origin.z + p[2]};
}

// The face normal of a cell-local triangle, unnormalised: its direction
// follows the table's winding. Inline, so that a headless pass (NoGl) does not
// compute it at all.
inline Vec3 faceNormal(const float* triangle) {
    const auto vertex = [triangle](int32_t v) {
        const float* p = triangle + kFloatsPerVertex * v;
        return Vec3{p[0], p[1], p[2]};
    };
    return triangleNormal(vertex(0), vertex(1), vertex(2));
}

// One listing line: the triangle's three placed vertices, x y z each, as
//   "%.2f %.2f %.2f \t%.2f %.2f %.2f \t%.2f %.2f %.2f\n".
void printTriangleLine(FILE* out, const Vec3& p0, const Vec3& p1, const Vec3& p2);
// The same for a cell-local triangle moved to the cell at `origin`.
void printTriangle(FILE* out, const Vec3& origin, const float* triangle);

template <GlOperations Gl>
void sendVertex(Gl& gl, const Vec3& origin, const float* triangle, int32_t v) {
    const Vec3 p = placedVertex(origin, triangle, v);
    gl.vertex3f(p.x, p.y, p.z);
}

// Filled triangles of one cell, each with its face normal; each is also
// listed on `listing` unless it is null.
template <GlOperations Gl>
void drawCellTriangles(Gl& gl, const Vec3& origin, const float* triangles, int32_t count,
                       FILE* listing) {
    gl.begin(gl::kTriangles);
    for (int32_t t = 0; t < count; ++t) {
        const float* triangle = triangles + kFloatsPerTriangle * t;
        gl.color3f(kFillGrey, kFillGrey, kFillGrey);
        const Vec3 normal = faceNormal(triangle);
        gl.normal3f(normal.x, normal.y, normal.z);
        for (int32_t v = 0; v < kVerticesPerTriangle; ++v) {
            sendVertex(gl, origin, triangle, v);
        }
        if (listing != nullptr) {
            printTriangle(listing, origin, triangle);
        }
    }
    gl.end();
}

// Outlines of one cell's triangles; an edge two triangles share is drawn twice.
template <GlOperations Gl>
void drawCellOutlines(Gl& gl, const Vec3& origin, const float* triangles, int32_t count) {
    gl.begin(gl::kLines);
    for (int32_t t = 0; t < count; ++t) {
        const float* triangle = triangles + kFloatsPerTriangle * t;
        gl.color3f(kOutlineBlack, kOutlineBlack, kOutlineBlack);
        for (int32_t v : kOutlineOrder) {
            sendVertex(gl, origin, triangle, v);
        }
    }
    gl.end();
}

}  // namespace surface

// Extracts and draws the zero iso-surface of `grid`, one cell at a time, with
// x outermost and z fastest (forEachPolygonisedCell). Every crossing cell
// (some corner below 0 and some above; exactly 0.0 and NaN count as neither)
// is polygonised by `marcher` (with `decider`: cells with an ambiguous face
// as it decides them, see polygoniseCell), which counts it under its case,
// and drawn as one GL_TRIANGLES
// block (grey, one unnormalised face normal per triangle) and, unless
// `outlines` is false, one GL_LINES block of black outlines. Cells that do not cross are skipped
// without being read one by one (see CrossingCells). Vertices are in grid units: cell origin plus
// cell-local vertex. While `listingRequested`, every filled triangle is also written to `out` as
//   "%.2f %.2f %.2f \t%.2f %.2f %.2f \t%.2f %.2f %.2f\n"
// and `out` is flushed after the pass; a null `out` lists nothing.
//
// `marcher` must hold its generated table. A grid without samples draws,
// counts and lists nothing. The first pass over a grid of a new shape sizes
// the pass's workspace; after that a pass allocates nothing. Not reentrant.
// Returns the number of crossing cells polygonised.
template <GlOperations Gl>
int64_t drawSurface(Gl& gl, CubeMarcher& marcher, const ScalarGrid& grid, bool listingRequested,
                    FILE* out, const AmbiguousCaseTable* decider = nullptr,
                    const ReachedRows* rows = nullptr, bool outlines = true) {
    if (!grid.hasSamples()) {
        return 0;
    }
    FILE* listing = listingRequested ? out : nullptr;
    const int64_t crossingCells = forEachPolygonisedCell(
        marcher, grid, surface::sharedCrossingCells(), decider,
        [&](const Vec3& origin, const float* triangles, int32_t count) {
            if (count > 0) {
                surface::drawCellTriangles(gl, origin, triangles, count, listing);
                if (outlines) {
                    surface::drawCellOutlines(gl, origin, triangles, count);
                }
            }
        },
        rows);
    if (listing != nullptr) {
        std::fflush(listing);
    }
    return crossingCells;
}

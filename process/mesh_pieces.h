#pragma once

#include <cstdint>
#include <vector>

#include "extract/surface_mesh.h"

// The connected pieces of a mesh: triangles that share a vertex, directly or
// through others, are one piece. Pieces are numbered in the order of their
// first triangle.
class MeshPieces {
  public:
    explicit MeshPieces(const SurfaceMesh& mesh);

    int64_t count() const { return static_cast<int64_t>(triangleCounts_.size()); }
    // The piece of each triangle, and each piece's number of triangles.
    const std::vector<int32_t>& pieceOfTriangle() const { return pieceOfTriangle_; }
    const std::vector<int64_t>& triangleCounts() const { return triangleCounts_; }

  private:
    std::vector<int32_t> pieceOfTriangle_;
    std::vector<int64_t> triangleCounts_;
};

// MeshPieces(mesh).count() without labelling the triangles.
int64_t countPieces(const SurfaceMesh& mesh);
// `mesh` with only its piece of the most triangles (the first of equals);
// an empty mesh stays empty.
SurfaceMesh keepLargestPiece(const SurfaceMesh& mesh);
// `mesh` without the pieces of fewer than `minTriangles` triangles.
SurfaceMesh dropSmallPieces(const SurfaceMesh& mesh, int64_t minTriangles);

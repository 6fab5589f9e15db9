#include "process/mesh_pieces.h"

#include <algorithm>
#include <numeric>

#include "process/mesh_compact.h"

namespace {

// Union-find over vertices, with path halving.
class VertexSets {
  public:
    explicit VertexSets(size_t count) : parent_(count) {
        std::iota(parent_.begin(), parent_.end(), 0);
    }

    int32_t find(int32_t v) {
        while (parent_[v] != v) {
            parent_[v] = parent_[parent_[v]];
            v = parent_[v];
        }
        return v;
    }

    void join(int32_t a, int32_t b) {
        const int32_t rootA = find(a);
        const int32_t rootB = find(b);
        parent_[std::max(rootA, rootB)] = std::min(rootA, rootB);
    }

  private:
    std::vector<int32_t> parent_;
};

// `mesh` with the triangles of the pieces `choose` keeps: given each piece's
// triangle count, it says which pieces stay.
template <class Choose>
SurfaceMesh keepPieces(const SurfaceMesh& mesh, Choose choose) {
    const MeshPieces pieces(mesh);
    const std::vector<bool> kept = choose(pieces.triangleCounts());
    std::vector<std::array<int32_t, 3>> triangles;
    for (size_t t = 0; t < mesh.triangles.size(); ++t) {
        if (kept[pieces.pieceOfTriangle()[t]]) {
            triangles.push_back(mesh.triangles[t]);
        }
    }
    return compactMesh(mesh.positions, triangles);
}

}  // namespace

MeshPieces::MeshPieces(const SurfaceMesh& mesh) : pieceOfTriangle_(mesh.triangles.size()) {
    VertexSets sets(mesh.positions.size());
    for (const auto& triangle : mesh.triangles) {
        sets.join(triangle[0], triangle[1]);
        sets.join(triangle[0], triangle[2]);
    }
    constexpr int32_t kNoPiece = -1;
    std::vector<int32_t> pieceOfRoot(mesh.positions.size(), kNoPiece);
    for (size_t t = 0; t < mesh.triangles.size(); ++t) {
        int32_t& piece = pieceOfRoot[sets.find(mesh.triangles[t][0])];
        if (piece == kNoPiece) {
            piece = static_cast<int32_t>(triangleCounts_.size());
            triangleCounts_.push_back(0);
        }
        pieceOfTriangle_[t] = piece;
        ++triangleCounts_[piece];
    }
}

SurfaceMesh keepLargestPiece(const SurfaceMesh& mesh) {
    return keepPieces(mesh, [](const std::vector<int64_t>& counts) {
        std::vector<bool> kept(counts.size(), false);
        if (!counts.empty()) {
            kept[std::ranges::max_element(counts) - counts.begin()] = true;
        }
        return kept;
    });
}

SurfaceMesh dropSmallPieces(const SurfaceMesh& mesh, int64_t minTriangles) {
    return keepPieces(mesh, [minTriangles](const std::vector<int64_t>& counts) {
        std::vector<bool> kept;
        for (const int64_t count : counts) {
            kept.push_back(count >= minTriangles);
        }
        return kept;
    });
}

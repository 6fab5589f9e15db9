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

    // Whether a and b were in different sets.
    bool join(int32_t a, int32_t b) {
        const int32_t rootA = find(a);
        const int32_t rootB = find(b);
        parent_[std::max(rootA, rootB)] = std::min(rootA, rootB);
        return rootA != rootB;
    }

  private:
    std::vector<int32_t> parent_;
};

// Joins each triangle's vertices; returns the number of joins that merged
// two sets.
int64_t joinTriangles(VertexSets& sets, const SurfaceMesh& mesh) {
    int64_t merges = 0;
    for (const auto& triangle : mesh.triangles) {
        merges += sets.join(triangle[0], triangle[1]) ? 1 : 0;
        merges += sets.join(triangle[0], triangle[2]) ? 1 : 0;
    }
    return merges;
}

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
    joinTriangles(sets, mesh);
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

// Each vertex a triangle uses starts a set of its own, and each merge
// leaves one set fewer.
int64_t countPieces(const SurfaceMesh& mesh) {
    VertexSets sets(mesh.positions.size());
    const int64_t merges = joinTriangles(sets, mesh);
    std::vector<uint8_t> used(mesh.positions.size(), 0);
    for (const auto& triangle : mesh.triangles) {
        for (const int32_t v : triangle) {
            used[v] = 1;
        }
    }
    return std::reduce(used.begin(), used.end(), int64_t{0}) - merges;
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

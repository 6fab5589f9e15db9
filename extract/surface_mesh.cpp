#include "extract/surface_mesh.h"

#include <algorithm>
#include <bit>

#include "extract/cell_visit.h"

namespace {

constexpr int32_t kNoVertex = -1;
constexpr int32_t kXEdges = 0;
constexpr int32_t kYEdges = 1;  // and 2: even and odd planes
constexpr int32_t kZEdges = 3;  // and 4
constexpr int32_t kSlotArrays = 5;
constexpr int32_t kParities = 2;

}  // namespace

// One sweep's state: where each of the twelve cell edges finds its slot in
// the current slab, and from which vertex index on a slot is trusted.
struct MeshExtractor::Sweep {
    const CubeMarcher& table;
    const std::array<CaseEdges, kCaseCount>& cases;
    const AmbiguousCaseTable* decider;  // null under FaceRule::kTable
    const std::vector<CaseEdges>& variants;
    const ScalarGrid& grid;
    SurfaceMesh& mesh;
    int32_t* slots;
    int32_t slabX = -1;
    int32_t slabStart = 0;  // vertices when the slab last visited began
    int32_t planeStart[kParities] = {};
    int32_t* edgeSlots[kEdgeCount] = {};  // the slot of cell (., 0, 0)
    int32_t edgeThreshold[kEdgeCount] = {};

    int32_t vertexCount() const { return static_cast<int32_t>(mesh.positions.size()); }

    // A plane's slots written while the previous slab was visited stay
    // valid; older ones, from the plane two back, are below the threshold.
    void enterSlab(int32_t x) {
        const int32_t now = vertexCount();
        planeStart[x % kParities] = slabX == x - 1 ? slabStart : now;
        planeStart[(x + 1) % kParities] = now;
        slabX = x;
        slabStart = now;
        const int64_t planeSlots = int64_t{grid.ny} * grid.nz;
        for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
            const int32_t lower = table.edgeCorners[edge][0];
            const int32_t axis = table.edgeAxis(edge);
            const int32_t parity = (x + (lower & 1)) % kParities;
            const int32_t array = axis == 0 ? kXEdges : (axis == 1 ? kYEdges : kZEdges) + parity;
            const int32_t offset = ((lower >> 1) & 1) * grid.nz + ((lower >> 2) & 1);
            edgeSlots[edge] = slots + array * planeSlots + offset;
            edgeThreshold[edge] = axis == 0 ? now : planeStart[parity];
        }
    }

    int32_t vertexOn(int32_t edge, int64_t cellSlot, const Vec3& origin,
                     const float corners[kCornerCount]) {
        int32_t& slot = edgeSlots[edge][cellSlot];
        if (slot < edgeThreshold[edge]) {
            slot = vertexCount();
            const Vec3 local = table.interpolateEdge(edge, corners);
            mesh.positions.push_back({origin.x + local.x, origin.y + local.y, origin.z + local.z});
        }
        return slot;
    }

    const CaseEdges& cellEdges(uint32_t caseIndex, const float corners[kCornerCount]) const {
        const uint32_t faces = decider == nullptr ? 0 : decider->ambiguousFaces(caseIndex);
        if (faces == 0) {
            return cases[caseIndex];
        }
        return variants[decider->firstVariant(caseIndex) +
                        AmbiguousCaseTable::decideFaces(faces, corners)];
    }

    void addCell(int32_t x, int32_t y, int32_t z, int32_t* usageCount) {
        if (x != slabX) {
            enterSlab(x);
        }
        float corners[kCornerCount];
        readCellCorners(grid, x, y, z, corners);
        const uint32_t caseIndex = CubeMarcher::caseIndexOf(corners);
        const CaseEdges& cell = cellEdges(caseIndex, corners);
        if (usageCount != nullptr) {
            countSaturating(usageCount[cell.caseNumber]);
        }
        const Vec3 origin{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
        const int64_t cellSlot = int64_t{y} * grid.nz + z;
        int32_t vertices[kEdgeCount];
        for (int32_t e = 0; e < cell.edgeCount; ++e) {
            vertices[e] = vertexOn(cell.edges[e], cellSlot, origin, corners);
        }
        for (int32_t t = 0; t < cell.triangleCount; ++t) {
            const uint8_t* corner = cell.corners + 3 * t;
            mesh.triangles.push_back(
                {vertices[corner[0]], vertices[corner[1]], vertices[corner[2]]});
        }
    }
};

MeshExtractor::CaseEdges::CaseEdges(int32_t number, const int32_t* triangles, int32_t count)
    : caseNumber(number), triangleCount(std::max(count, 0)) {
    int32_t numbered[kEdgeCount];
    std::fill_n(numbered, kEdgeCount, kNoVertex);
    for (int32_t corner = 0; corner < 3 * triangleCount; ++corner) {
        const int32_t edge = triangles[corner];
        if (numbered[edge] == kNoVertex) {
            numbered[edge] = edgeCount;
            edges[edgeCount++] = static_cast<uint8_t>(edge);
        }
        corners[corner] = static_cast<uint8_t>(numbered[edge]);
    }
}

MeshExtractor::MeshExtractor(const CubeMarcher& table, const AmbiguousCaseTable& ambiguous)
    : table_(table), ambiguous_(ambiguous) {
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const CaseEntry& entry = table.caseTable[caseIndex];
        cases_[caseIndex] = CaseEdges(entry.caseNumber, entry.triangles, entry.triangleCount);
        const uint32_t faces = ambiguous.ambiguousFaces(caseIndex);
        for (uint32_t decisions = 0; faces != 0 && decisions < 1u << std::popcount(faces);
             ++decisions) {
            const AmbiguousCaseTable::Variant& variant = ambiguous.variant(caseIndex, decisions);
            variants_.emplace_back(entry.caseNumber, variant.triangles, variant.triangleCount);
        }
    }
}

void MeshExtractor::fitTo(const ScalarGrid& grid) {
    if (grid.ny != ny_ || grid.nz != nz_) {
        ny_ = grid.ny;
        nz_ = grid.nz;
        slots_.resize(static_cast<size_t>(kSlotArrays * int64_t{ny_} * nz_));
    }
    std::fill(slots_.begin(), slots_.end(), kNoVertex);
}

int64_t MeshExtractor::extract(const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                               int32_t* usageCount) {
    mesh.clear();
    if (grid.data == nullptr) {
        return 0;
    }
    fitTo(grid);
    Sweep sweep{.table = table_,
                .cases = cases_,
                .decider = rule == FaceRule::kDecider ? &ambiguous_ : nullptr,
                .variants = variants_,
                .grid = grid,
                .mesh = mesh,
                .slots = slots_.data()};
    int64_t crossingCells = 0;
    cells_.forEach(grid, [&](int32_t x, int32_t y, int32_t z) {
        sweep.addCell(x, y, z, usageCount);
        ++crossingCells;
    });
    return crossingCells;
}

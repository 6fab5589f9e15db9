#include "extract/surface_mesh.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>

#include "extract/cell_visit.h"

namespace {

constexpr int32_t kNoVertex = -1;
constexpr int32_t kZEdges = 0;
constexpr int32_t kXEdges = 1;  // and 2: even and odd planes
constexpr int32_t kYEdges = 3;  // and 4
constexpr int32_t kSlotArrays = 5;
constexpr int32_t kParities = 2;
constexpr int32_t kAcrossSlabs = 2;  // z: the axis the slabs are stacked along

}  // namespace

// One sweep's state: where each of the twelve cell edges finds its slot in
// the current slab, and from which vertex index on a slot is trusted.
struct MeshExtractor::Sweep {
    const CubeMarcher& table;
    const std::array<CaseEdges, kCaseCount>& cases;
    const AmbiguousCaseTable* decider;  // null under FaceRule::kTable
    const std::vector<CaseEdges>& variants;
    bool withNormals;
    const ScalarGrid& grid;
    SurfaceMesh& mesh;
    int32_t* slots;
    int32_t* usageCount;
    // Vertices on the plane z = lowerPlane, which the part below also sweeps
    // (none recorded when null): (vertex, slot - slots).
    std::vector<std::array<int64_t, 2>>* shared;
    int32_t lowerPlane;
    int32_t slabZ = -1;
    int32_t slabStart = 0;  // vertices when the slab last visited began
    int32_t planeStart[kParities] = {};
    int32_t* edgeSlots[kEdgeCount] = {};  // the slot of cell (0, 0, .)
    int32_t edgeThreshold[kEdgeCount] = {};

    int32_t vertexCount() const { return static_cast<int32_t>(mesh.positions.size()); }

    // A plane's slots written while the previous slab was visited stay
    // valid; older ones, from the plane two back, are below the threshold.
    void enterSlab(int32_t z) {
        const int32_t now = vertexCount();
        planeStart[z % kParities] = slabZ == z - 1 ? slabStart : now;
        planeStart[(z + 1) % kParities] = now;
        slabZ = z;
        slabStart = now;
        for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
            const int32_t lower = table.edgeCorners[edge][0];
            const int32_t axis = table.edgeAxis(edge);
            const int32_t parity = (z + ((lower >> 2) & 1)) % kParities;
            const int32_t array =
                axis == kAcrossSlabs ? kZEdges : (axis == 0 ? kXEdges : kYEdges) + parity;
            const int32_t offset = ((lower >> 1) & 1) * grid.nx + (lower & 1);
            edgeSlots[edge] = slots + offset * kSlotArrays + array;
            edgeThreshold[edge] = axis == kAcrossSlabs ? now : planeStart[parity];
        }
    }

    // The field's gradient at sample (i, j, k).
    Vec3 gradientAt(int32_t i, int32_t j, int32_t k) const {
        const auto sample = [&](int32_t si, int32_t sj, int32_t sk) {
            return grid.valueAt(int64_t{grid.sliceSize} * sk + int64_t{grid.nx} * sj + si);
        };
        const auto slope = [](float below, float above, int32_t span) {
            return (above - below) / static_cast<float>(span);
        };
        const auto derivative = [&](int32_t at, int32_t size, const auto& along) {
            const int32_t low = std::max(at - 1, 0);
            const int32_t high = std::min(at + 1, size - 1);
            return high == low ? 0.0f : slope(along(low), along(high), high - low);
        };
        return {derivative(i, grid.nx, [&](int32_t s) { return sample(s, j, k); }),
                derivative(j, grid.ny, [&](int32_t s) { return sample(i, s, k); }),
                derivative(k, grid.nz, [&](int32_t s) { return sample(i, j, s); })};
    }

    // The outward normal at the crossing on `edge` of the cell at (x, y, z).
    Vec3 normalOn(int32_t edge, int32_t x, int32_t y, int32_t z,
                  const float corners[kCornerCount]) const {
        const int32_t a = table.edgeCorners[edge][0];
        const int32_t b = table.edgeCorners[edge][1];
        const Vec3 ga = gradientAt(x + (a & 1), y + ((a >> 1) & 1), z + ((a >> 2) & 1));
        const Vec3 gb = gradientAt(x + (b & 1), y + ((b >> 1) & 1), z + ((b >> 2) & 1));
        const double t = CubeMarcher::crossingParameter(corners[a], corners[b]);
        const auto lerp = [t](float from, float to) {
            return static_cast<float>(-(from + t * (to - from)));
        };
        return {lerp(ga.x, gb.x), lerp(ga.y, gb.y), lerp(ga.z, gb.z)};
    }

    int32_t vertexOn(int32_t edge, int64_t cellSlot, int32_t x, int32_t y, int32_t z,
                     const float corners[kCornerCount]) {
        int32_t& slot = edgeSlots[edge][cellSlot];
        if (slot < edgeThreshold[edge]) {
            slot = vertexCount();
            const int32_t lower = table.edgeCorners[edge][0];
            if (shared != nullptr && z + ((lower >> 2) & 1) == lowerPlane &&
                table.edgeAxis(edge) != kAcrossSlabs) {
                shared->push_back({slot, &slot - slots});
            }
            const Vec3 local = table.interpolateEdge(edge, corners);
            mesh.positions.push_back({static_cast<float>(x) + local.x,
                                      static_cast<float>(y) + local.y,
                                      static_cast<float>(z) + local.z});
            if (withNormals) {
                mesh.normals.push_back(normalOn(edge, x, y, z, corners));
            }
        }
        return slot;
    }

    const CaseEdges& cellEdges(uint32_t caseIndex, const float corners[kCornerCount]) const {
        const int32_t variant =
            decider == nullptr ? -1 : decider->variantIndexFor(caseIndex, corners);
        return variant < 0 ? cases[caseIndex] : variants[variant];
    }

    // The cell's own vertex, placed as the per-cell path places it; its
    // normal blends the normals at the crossings alike.
    int32_t interiorVertex(const AmbiguousCaseTable::InteriorVertex& vertex, int32_t x, int32_t y,
                           int32_t z, const float corners[kCornerCount]) {
        const Vec3 local = table.blendCrossings(vertex.weight, corners);
        mesh.positions.push_back({static_cast<float>(x) + local.x, static_cast<float>(y) + local.y,
                                  static_cast<float>(z) + local.z});
        if (withNormals) {
            Vec3 normal;
            for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
                const float w = vertex.weight[edge];
                if (w != 0.0f) {
                    const Vec3 n = normalOn(edge, x, y, z, corners);
                    normal = {normal.x + w * n.x, normal.y + w * n.y, normal.z + w * n.z};
                }
            }
            mesh.normals.push_back(normal);
        }
        return vertexCount() - 1;
    }

    // A surface crosses the next cell row near where it crosses this one, and
    // there its cells will look up the slots of sample row y + 2, last written
    // a slab ago and most likely out of the nearer caches by now.
    void prefetchNextRowSlots(int32_t x, int32_t y) const {
        if (y + 2 < grid.ny) {
            __builtin_prefetch(slots + (int64_t{y + 2} * grid.nx + x) * kSlotArrays);
        }
    }

    void addCell(int32_t x, int32_t y, int32_t z) {
        if (z != slabZ) {
            enterSlab(z);
        }
        float corners[kCornerCount];
        readCellCorners(grid, x, y, z, corners);
        const uint32_t caseIndex = CubeMarcher::caseIndexOf(corners);
        const CaseEdges& cell = cellEdges(caseIndex, corners);
        if (usageCount != nullptr) {
            countSaturating(usageCount[cell.caseNumber]);
        }
        const int64_t cellSlot = (int64_t{y} * grid.nx + x) * kSlotArrays;
        prefetchNextRowSlots(x, y);
        int32_t vertices[kEdgeCount + kMaxInteriorVertices];
        for (int32_t e = 0; e < cell.edgeCount; ++e) {
            vertices[e] = vertexOn(cell.edges[e], cellSlot, x, y, z, corners);
        }
        for (int32_t i = 0; i < cell.interiorCount; ++i) {
            vertices[kEdgeCount + i] = interiorVertex(cell.interior[i], x, y, z, corners);
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
        if (edge >= kEdgeCount) {
            corners[corner] = static_cast<uint8_t>(edge);  // an interior vertex
            continue;
        }
        if (numbered[edge] == kNoVertex) {
            numbered[edge] = edgeCount;
            edges[edgeCount++] = static_cast<uint8_t>(edge);
        }
        corners[corner] = static_cast<uint8_t>(numbered[edge]);
    }
}

MeshExtractor::CaseEdges::CaseEdges(int32_t number, const AmbiguousCaseTable::Variant& variant)
    : CaseEdges(number, variant.triangles, variant.triangleCount) {
    interiorCount = variant.interiorCount;
    interior = variant.interior;
}

// One thread's share of a sweep: the cells with firstZ <= z < endZ, its own
// workspace, and what the join needs of it.
struct MeshExtractor::Part {
    int32_t firstZ = 0;
    int32_t endZ = 0;
    CrossingCells cells;
    int32_t nx = -1;
    int32_t ny = -1;
    // Per sample (x, y) of a plane, kSlotArrays slots side by side, so that a
    // cell finds its edges' slots in few cache lines: the z edge of the
    // current slab, then the x and y edges of two sample planes (even and odd
    // z).
    std::vector<int32_t> slots;
    // The first part sweeps straight into the result; the others into their
    // own meshes, which the join copies after it.
    SurfaceMesh mesh;
    SurfaceMesh* target = &mesh;
    std::array<int32_t, kCaseCount> usage{};
    int64_t crossingCells = 0;
    std::vector<std::array<int64_t, 2>> shared;
    int32_t lastSlab = -1;
    int32_t planeStart[kParities] = {};
    // The join: per vertex, the vertex of the part below it stands for
    // (kNoVertex when kept), and its rank among the kept ones; a part with
    // none below keeps every vertex in order and needs neither.
    bool keepsAll = false;
    std::vector<int32_t> sharedWith;
    std::vector<int32_t> keptRank;
    int32_t keptCount = 0;
    int32_t vertexOffset = 0;
    int64_t triangleOffset = 0;
    std::exception_ptr failure;  // what stopped this part's thread (out of memory)

    bool isEmpty() const { return endZ == firstZ; }

    // A part may take any share of a frame's cells: room for as much as the
    // whole mesh has held keeps the frames from allocating once grown.
    void reserveLike(const SurfaceMesh& whole) {
        mesh.positions.reserve(whole.positions.capacity());
        mesh.normals.reserve(whole.normals.capacity());
        mesh.triangles.reserve(whole.triangles.capacity());
        sharedWith.reserve(whole.positions.capacity());
        keptRank.reserve(whole.positions.capacity());
    }

    void fitTo(const ScalarGrid& grid) {
        if (grid.nx != nx || grid.ny != ny) {
            nx = grid.nx;
            ny = grid.ny;
            slots.resize(static_cast<size_t>(kSlotArrays * int64_t{nx} * ny));
        }
        std::fill(slots.begin(), slots.end(), kNoVertex);
    }

    // The vertex this part made for the edge at `slot` on `plane`, its upper
    // boundary, or kNoVertex: slots are trusted only when the part's last
    // slab visited touches the plane, or they may hold the plane two back.
    int32_t vertexAt(int64_t slot, int32_t plane) const {
        const bool swept = lastSlab == plane - 1;
        return swept && slots[slot] >= planeStart[plane % kParities] ? slots[slot] : kNoVertex;
    }

    bool keeps(int32_t v) const { return keepsAll || sharedWith[v] == kNoVertex; }
    int32_t rankOf(int32_t v) const { return keepsAll ? v : keptRank[v]; }

    // Which of its vertices the part below already has, and the ranks of the
    // others.
    void findShared(const Part* below) {
        keepsAll = below == nullptr;
        if (keepsAll) {
            keptCount = static_cast<int32_t>(target->positions.size());
            return;
        }
        sharedWith.assign(target->positions.size(), kNoVertex);
        for (const auto& [vertex, slot] : shared) {
            sharedWith[vertex] = below->vertexAt(slot, firstZ);
        }
        keptRank.resize(sharedWith.size());
        keptCount = 0;
        for (size_t v = 0; v < sharedWith.size(); ++v) {
            keptRank[v] = keptCount;
            keptCount += sharedWith[v] == kNoVertex ? 1 : 0;
        }
    }

    // Copies the kept vertices and the renumbered triangles into `out`,
    // unless they are there already.
    void copyInto(SurfaceMesh& out, const Part* below) const {
        if (target == &out) {
            return;
        }
        const auto globalOf = [&](int32_t v) {
            return keeps(v) ? vertexOffset + rankOf(v)
                            : below->vertexOffset + below->rankOf(sharedWith[v]);
        };
        for (int32_t v = 0; v < static_cast<int32_t>(mesh.positions.size()); ++v) {
            if (keeps(v)) {
                out.positions[vertexOffset + rankOf(v)] = mesh.positions[v];
                if (!out.normals.empty()) {
                    out.normals[vertexOffset + rankOf(v)] = mesh.normals[v];
                }
            }
        }
        for (size_t t = 0; t < mesh.triangles.size(); ++t) {
            const auto& triangle = mesh.triangles[t];
            out.triangles[triangleOffset + t] = {globalOf(triangle[0]), globalOf(triangle[1]),
                                                 globalOf(triangle[2])};
        }
    }
};

MeshExtractor::MeshExtractor(const CubeMarcher& table, const AmbiguousCaseTable& ambiguous,
                             int32_t threads)
    : table_(table), ambiguous_(ambiguous) {
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const CaseEntry& entry = table.caseTable[caseIndex];
        cases_[caseIndex] = CaseEdges(entry.caseNumber, entry.triangles, entry.triangleCount);
    }
    for (const AmbiguousCaseTable::Variant& variant : ambiguous.variants()) {
        variants_.emplace_back(table.caseTable[variant.caseIndex].caseNumber, variant);
    }
    for (int32_t part = 0; part < std::max(threads, 1); ++part) {
        parts_.push_back(std::make_unique<Part>());
    }
    pool_ = std::make_unique<WorkerPool>(static_cast<int32_t>(parts_.size()));
    phases_ = std::make_unique<std::barrier<>>(static_cast<std::ptrdiff_t>(parts_.size()));
}

MeshExtractor::~MeshExtractor() = default;

void MeshExtractor::releaseWorkspace() {
    for (auto& part : parts_) {
        part = std::make_unique<Part>();
    }
}

void MeshExtractor::sweep(Part& part, const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                          VertexNormals normals, const ReachedRows* rows,
                          int64_t* slabCells) const {
    mesh.clear();
    part.shared.clear();
    part.crossingCells = 0;
    part.fitTo(grid);
    Sweep sweep{.table = table_,
                .cases = cases_,
                .decider = rule == FaceRule::kDecider ? &ambiguous_ : nullptr,
                .variants = variants_,
                .withNormals = normals == VertexNormals::kGradient,
                .grid = grid,
                .mesh = mesh,
                .slots = part.slots.data(),
                .usageCount = part.usage.data(),
                .shared = part.firstZ > 0 ? &part.shared : nullptr,
                .lowerPlane = part.firstZ};
    part.cells.forEachInStorageOrder(
        grid, part.firstZ, part.endZ,
        [&](int32_t x, int32_t y, int32_t z) {
            sweep.addCell(x, y, z);
            ++part.crossingCells;
            ++slabCells[z];
        },
        rows);
    part.lastSlab = sweep.slabZ;
    std::copy_n(sweep.planeStart, kParities, part.planeStart);
}

// Between the phases every thread waits for all: every part before the join
// looks across, every offset before copying.
void MeshExtractor::extractInParts(const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                                   VertexNormals normals, const ReachedRows* rows) {
    for (size_t p = 0; p < parts_.size(); ++p) {
        parts_[p]->target = p == 0 ? &mesh : &parts_[p]->mesh;
        if (p > 0) {
            parts_[p]->reserveLike(mesh);
        }
    }
    // The nearest part below each that sweeps something: the one it shares
    // its lower plane with.
    belowOf_.assign(parts_.size(), nullptr);
    for (size_t p = 1; p < parts_.size(); ++p) {
        belowOf_[p] = parts_[p - 1]->isEmpty() ? belowOf_[p - 1] : parts_[p - 1].get();
    }
    // A thread whose phase fails (out of memory) still meets the others at
    // every point, and every later phase is skipped, so no thread waits
    // forever and none builds on a part left half done.
    std::atomic<bool> failed = false;
    const auto phase = [&](Part& part, const auto& work) {
        if (!failed) {
            try {
                work();
            } catch (...) {
                part.failure = std::current_exception();
                failed = true;
            }
        }
        phases_->arrive_and_wait();
    };
    const auto task = [&](int32_t p) {
        Part& part = *parts_[p];
        phase(part,
              [&] { sweep(part, grid, *part.target, rule, normals, rows, slabCells_.data()); });
        phase(part, [&] { part.findShared(belowOf_[p]); });
        phase(part, [&] {
            if (p == 0) {
                sizeJoinedMesh(mesh, normals);
            }
        });
        phase(part, [&] { part.copyInto(mesh, belowOf_[p]); });
    };
    pool_->run(task);
    raisePartFailure();
}

void MeshExtractor::raisePartFailure() {
    std::exception_ptr failure;
    for (const auto& part : parts_) {
        failure = failure ? failure : part->failure;
        part->failure = nullptr;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void MeshExtractor::sizeJoinedMesh(SurfaceMesh& mesh, VertexNormals normals) {
    int32_t vertices = 0;
    int64_t triangles = 0;
    for (const auto& part : parts_) {
        part->vertexOffset = vertices;
        part->triangleOffset = triangles;
        vertices += part->keptCount;
        triangles += static_cast<int64_t>(part->target->triangles.size());
    }
    mesh.positions.resize(static_cast<size_t>(vertices));
    mesh.normals.resize(normals == VertexNormals::kGradient ? static_cast<size_t>(vertices) : 0);
    mesh.triangles.resize(static_cast<size_t>(triangles));
}

// Runs of slabs that held about as many crossing cells each in the last
// extraction of a grid as deep (frames follow one another closely), or as
// many slabs each the first time; the split never changes the mesh.
void MeshExtractor::splitIntoParts(const ScalarGrid& grid) {
    const int32_t cellSlabs = std::max(grid.nz - 1, 0);
    const auto partCount = static_cast<int32_t>(parts_.size());
    const bool countsFit = static_cast<int32_t>(slabCells_.size()) == cellSlabs;
    int64_t total = 0;
    for (int32_t x = 0; countsFit && x < cellSlabs; ++x) {
        total += slabCells_[x];
    }
    int32_t z = 0;
    int64_t sofar = 0;
    for (int32_t p = 0; p < partCount; ++p) {
        Part& part = *parts_[p];
        part.firstZ = z;
        if (total > 0) {
            const int64_t share = total * (p + 1) / partCount;
            for (; z < cellSlabs && (sofar < share || p == partCount - 1); ++z) {
                sofar += slabCells_[z];
            }
        } else {
            z = static_cast<int32_t>(int64_t{cellSlabs} * (p + 1) / partCount);
        }
        part.endZ = z;
        part.usage.fill(0);
    }
    slabCells_.assign(static_cast<size_t>(cellSlabs), 0);
}

int64_t MeshExtractor::extract(const ScalarGrid& grid, SurfaceMesh& mesh, FaceRule rule,
                               int32_t* usageCount, VertexNormals normals,
                               const ReachedRows* rows) {
    if (!grid.hasSamples()) {
        mesh.clear();
        return 0;
    }
    splitIntoParts(grid);
    const auto partCount = static_cast<int32_t>(parts_.size());
    if (partCount == 1) {
        sweep(*parts_[0], grid, mesh, rule, normals, rows, slabCells_.data());
    } else {
        extractInParts(grid, mesh, rule, normals, rows);
    }
    int64_t crossingCells = 0;
    for (const auto& part : parts_) {
        crossingCells += part->crossingCells;
        for (int32_t c = 0; usageCount != nullptr && c < kCaseCount; ++c) {
            usageCount[c] = static_cast<int32_t>(
                std::min<int64_t>(int64_t{usageCount[c]} + part->usage[c], INT32_MAX));
        }
    }
    return crossingCells;
}

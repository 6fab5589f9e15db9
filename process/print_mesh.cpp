#include "process/print_mesh.h"

#include <new>
#include <utility>

#include "process/mesh_pieces.h"
#include "process/mesh_simplify.h"
#include "process/mesh_smooth.h"
#include "process/surface_cap.h"

namespace {

SurfaceMesh selectPieces(SurfaceMesh mesh, const MeshProcessing& processing) {
    if (processing.largest) {
        mesh = keepLargestPiece(mesh);
    }
    if (processing.minPiece > 0) {
        mesh = dropSmallPieces(mesh, processing.minPiece);
    }
    return mesh;
}

// Unnormalised, as the gradient normals are: GL normalises them.
void setAreaWeightedNormals(SurfaceMesh& mesh) {
    mesh.normals.assign(mesh.positions.size(), Vec3{});
    for (const auto& triangle : mesh.triangles) {
        const Vec3 normal = triangleNormal(mesh.positions[triangle[0]], mesh.positions[triangle[1]],
                                           mesh.positions[triangle[2]]);
        for (const int32_t corner : triangle) {
            Vec3& sum = mesh.normals[corner];
            sum = {sum.x + normal.x, sum.y + normal.y, sum.z + normal.z};
        }
    }
}

}  // namespace

SurfaceMesh processMesh(SurfaceMesh mesh, const MeshProcessing& processing) {
    mesh = selectPieces(std::move(mesh), processing);
    if (processing.smoothSteps > 0) {
        smoothTaubin(mesh, processing.smoothSteps);
    }
    if (processing.simplifyRatio) {
        mesh = selectPieces(simplifyMesh(mesh, *processing.simplifyRatio), processing);
    }
    return mesh;
}

Weld weldFor(FaceRule rule) {
    return rule == FaceRule::kDecider ? Weld::kWithinRounding : Weld::kExact;
}

void extractProcessed(MeshExtractor& extractor, const ScalarGrid& grid, FaceRule rule,
                      const MeshProcessing& processing, SurfaceMesh& mesh, int32_t* usageCount,
                      VertexNormals normals) {
    if (processing.cap) {
        ScalarGrid padded;
        if (!padWithOutside(grid, padded)) {
            throw std::bad_alloc();
        }
        extractor.extract(padded, mesh, rule, usageCount);
        shiftOutOfPadding(mesh);
    } else {
        extractor.extract(grid, mesh, rule, usageCount);
    }
    weldCoincidentPositions(mesh, weldFor(rule));
    mesh = processMesh(std::move(mesh), processing);
    if (normals == VertexNormals::kGradient) {
        setAreaWeightedNormals(mesh);
    }
}

#include "process/print_mesh.h"

#include <utility>

#include "extract/mesh_weld.h"
#include "process/mesh_pieces.h"
#include "process/mesh_simplify.h"
#include "process/mesh_smooth.h"
#include "process/surface_cap.h"

bool extractSurface(const ScalarGrid& grid, MeshExtractor& extractor, FaceRule rule, bool cap,
                    SurfaceMesh& mesh) {
    mesh.clear();
    SurfaceMesh extracted;
    if (cap) {
        ScalarGrid padded;
        if (!padWithOutside(grid, padded)) {
            return false;
        }
        extractor.extract(padded, extracted, rule);
    } else {
        extractor.extract(grid, extracted, rule);
    }
    const Weld weld = rule == FaceRule::kDecider ? Weld::kWithinRounding : Weld::kExact;
    mesh = weldCoincidentPositions(extracted, weld);
    if (cap) {
        shiftOutOfPadding(mesh);
    }
    return true;
}

SurfaceMesh processMesh(SurfaceMesh mesh, const MeshProcessing& processing) {
    if (processing.largest) {
        mesh = keepLargestPiece(mesh);
    }
    if (processing.minPiece > 0) {
        mesh = dropSmallPieces(mesh, processing.minPiece);
    }
    if (processing.smoothSteps > 0) {
        smoothTaubin(mesh, processing.smoothSteps);
    }
    if (processing.simplifyRatio) {
        mesh = simplifyMesh(mesh, *processing.simplifyRatio);
    }
    return mesh;
}

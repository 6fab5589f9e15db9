#include "process/print_mesh.h"

#include <utility>

#include "process/mesh_pieces.h"
#include "process/mesh_simplify.h"
#include "process/mesh_smooth.h"

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

#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "extract/surface_mesh.h"

// What a mesh is as a solid: whether it is closed and consistently wound,
// how many pieces it has, its area and the volume it encloses.
struct MeshMeasure {
    int64_t triangles = 0;
    int64_t pieces = 0;  // sets of triangles joined through shared vertices
    // Edges with one face, or with three or more (a side from a vertex to
    // itself counts here too).
    int64_t unpairedEdges = 0;
    // Edges with two faces that run along them the same way: one of the two
    // is wound against its neighbour.
    int64_t orientationConflicts = 0;
    double area = 0.0;
    // Signed: positive when the faces' normals point outwards. Only a
    // watertight mesh encloses a volume; for others it is what the faces sum to.
    double volume = 0.0;

    bool watertight() const { return unpairedEdges == 0 && orientationConflicts == 0; }
};

// With `threads` above 1, the edge check runs on a thread of its own beside
// the rest. `alongside`, when given, runs on the calling thread first: the
// caller's own work on the mesh (writing it, say) shares the edge check's
// time. Throws std::bad_alloc when the memory runs out.
MeshMeasure measureMesh(const SurfaceMesh& mesh, int32_t threads = 1,
                        const std::function<void()>& alongside = {});

// One line, without its end: "N triangles, P pieces, watertight, area A
// UNIT^2, volume V UNIT^3", or "not watertight (E edges not shared by two
// faces, C edges whose two faces disagree in winding)" in its place.
std::string describeMeasure(const MeshMeasure& measure, const std::string& unit);

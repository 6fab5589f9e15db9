#include "engine/cube_marcher.h"

namespace {

constexpr int32_t axisBit(int32_t axis) {
    return 1 << axis;
}

}  // namespace

void CubeMarcher::buildCornerOffsets() {
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            cornerOffset[corner][axis] = isLowSide(corner, axis) ? 0.0f : 1.0f;
        }
    }
}

void CubeMarcher::buildEdges() {
    int32_t edge = 0;
    for (int32_t first = 0; first < kCornerCount - 1; ++first) {
        for (int32_t second = first + 1; second < kCornerCount; ++second) {
            if (areAdjacent(first, second)) {
                edgeCorners[edge][0] = first;
                edgeCorners[edge][1] = second;
                ++edge;
            }
        }
    }
}

bool CubeMarcher::areAdjacent(int32_t a, int32_t b) {
    const int32_t differing = a ^ b;
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (differing == axisBit(axis)) {
            return true;
        }
    }
    return false;
}

int32_t CubeMarcher::findEdge(int32_t a, int32_t b) const {
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        const int32_t first = edgeCorners[edge][0];
        const int32_t second = edgeCorners[edge][1];
        if ((first == a && second == b) || (first == b && second == a)) {
            return edge;
        }
    }
    return -1;
}

int32_t CubeMarcher::edgeAxis(int32_t edge) const {
    const int32_t differing = edgeCorners[edge][0] ^ edgeCorners[edge][1];
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (differing == axisBit(axis)) {
            return axis;
        }
    }
    return -1;
}

int32_t CubeMarcher::flipCorner(int32_t corner, int32_t axis) {
    return corner ^ axisBit(axis);
}

int32_t CubeMarcher::shiftedEdge(int32_t edge, int32_t axis) const {
    return findEdge(flipCorner(edgeCorners[edge][0], axis), flipCorner(edgeCorners[edge][1], axis));
}

bool CubeMarcher::isLowSide(int32_t corner, int32_t axis) {
    return (corner & axisBit(axis)) == 0;
}

void CubeMarcher::edgesAlongAxis(int32_t axis, int32_t out[4]) const {
    int32_t written = 0;
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        if (isLowSide(edgeCorners[edge][0], axis) != isLowSide(edgeCorners[edge][1], axis)) {
            out[written++] = edge;
        }
    }
}

void CubeMarcher::cornerSigns(int32_t caseIndex, int32_t out[kCornerCount]) {
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        out[corner] = (caseIndex & (1 << corner)) != 0 ? 1 : -1;
    }
}

Vec3 CubeMarcher::cornerDirection(int32_t corner) {
    float component[kAxisCount];
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        component[axis] = isLowSide(corner, axis) ? -1.0f : 1.0f;
    }
    return {component[0], component[1], component[2]};
}

Vec3 CubeMarcher::edgeMidpoint(int32_t edge) const {
    const float* a = cornerOffset[edgeCorners[edge][0]];
    const float* b = cornerOffset[edgeCorners[edge][1]];
    return {(a[0] + b[0]) * 0.5f, (a[1] + b[1]) * 0.5f, (a[2] + b[2]) * 0.5f};
}

#include <cstdint>

#ifdef __SSE2__
#include <xmmintrin.h>
#endif

#include "engine/ambiguous_table.h"
#include "engine/cube_marcher.h"

// Zero (either sign) counts as inside; NaN fails the test and counts as outside.
uint32_t CubeMarcher::caseIndexOf(const float values[kCornerCount]) {
#ifdef __SSE2__
    // Four corners per compare: the ordered compare is false for NaN and true
    // for -0.0, as >= is, and one short chain replaces eight dependent steps.
    constexpr int32_t kLanes = 4;
    const __m128 zero = _mm_setzero_ps();
    const auto insideBits = [&](const float* corners) {
        return static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpge_ps(_mm_loadu_ps(corners), zero)));
    };
    return insideBits(values) | insideBits(values + kLanes) << kLanes;
#else
    uint32_t caseIndex = 0;
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        if (values[corner] >= 0.0f) {
            caseIndex |= 1u << corner;
        }
    }
    return caseIndex;
#endif
}

void CubeMarcher::setCornerValues(const float values[kCornerCount]) {
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        cornerValue[corner] = values[corner];
    }
}

// Only edges whose corners lie on different sides are interpolated, so the
// denominator is never zero and t stays within [0, 1].
Vec3 CubeMarcher::interpolateEdge(int32_t edge, const float values[kCornerCount]) const {
    const int32_t a = edgeCorners[edge][0];
    const int32_t b = edgeCorners[edge][1];
    const double va = values[a];
    const double vb = values[b];
    const double t = crossingParameter(va, vb);
    const auto lerp = [&](int32_t axis) {
        const double from = cornerOffset[a][axis];
        return static_cast<float>(from + t * (cornerOffset[b][axis] - from));
    };
    return {lerp(0), lerp(1), lerp(2)};
}

Vec3 CubeMarcher::blendCrossings(const float weights[kEdgeCount],
                                 const float values[kCornerCount]) const {
    double sum[kAxisCount] = {};
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        if (weights[edge] != 0.0f) {
            const Vec3 crossing = interpolateEdge(edge, values);
            sum[0] += weights[edge] * double{crossing.x};
            sum[1] += weights[edge] * double{crossing.y};
            sum[2] += weights[edge] * double{crossing.z};
        }
    }
    return {static_cast<float>(sum[0]), static_cast<float>(sum[1]), static_cast<float>(sum[2])};
}

int32_t CubeMarcher::polygoniseCell(float* out, const AmbiguousCaseTable* decider) {
    const uint32_t caseIndex = caseIndexOf(cornerValue);
    const CaseEntry& entry = caseTable[caseIndex];
    countSaturating(usageCount[entry.caseNumber]);
    const int32_t* triangles = entry.triangles;
    int32_t count = entry.triangleCount;
    const AmbiguousCaseTable::Variant* variant = nullptr;
    const int32_t decided =
        decider == nullptr ? -1 : decider->variantIndexFor(caseIndex, cornerValue);
    if (decided >= 0) {
        variant = &decider->variants()[decided];
        triangles = variant->triangles;
        count = variant->triangleCount;
    }
    for (int32_t t = 0; t < count; ++t) {
        for (int32_t vertex = 0; vertex < 3; ++vertex) {
            const int32_t corner = triangles[3 * t + vertex];
            const Vec3 point =
                corner < kEdgeCount
                    ? interpolateEdge(corner)
                    : blendCrossings(variant->interior[corner - kEdgeCount].weight, cornerValue);
            float* slot = out + kFloatsPerTriangle * t + kAxisCount * vertex;
            slot[0] = point.x;
            slot[1] = point.y;
            slot[2] = point.z;
        }
    }
    return count > 0 ? count : 0;
}

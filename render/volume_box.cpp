#include "render/volume_box.h"

#include <algorithm>
#include <array>

namespace scene {

namespace {

using Vector = IndexToWorld::Vector;

struct Bounds {
    Vector low{};
    Vector high{};
};

// The bounds in view of the grid's corners from sample 0 to `last` on each
// axis.
Bounds boundsOf(const IndexToWorld& view, const Vector& last) {
    Bounds bounds{view.origin, view.origin};
    for (int32_t corner = 1; corner < 8; ++corner) {
        Vector index{};
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            index[axis] = (corner >> axis & 1) != 0 ? last[axis] : 0.0;
        }
        const Vector at = view.apply(index);
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            bounds.low[axis] = std::min(bounds.low[axis], at[axis]);
            bounds.high[axis] = std::max(bounds.high[axis], at[axis]);
        }
    }
    return bounds;
}

void storeInGrid(const IndexToWorld& view, const Vector& at, float* out) {
    const Vector index = view.unapply(at);
    std::copy(index.begin(), index.end(), out);
}

}  // namespace

VolumeBox volumeBoxFor(const int32_t sizes[3], const IndexToWorld& toWorld) {
    VolumeBox box;
    const std::array<float, 3> spacing = toWorld.spacing();
    const double largest = std::max({spacing[0], spacing[1], spacing[2]});
    IndexToWorld view = toWorld;
    for (int32_t column = 0; column <= kAxisCount; ++column) {
        auto& entries = column < kAxisCount ? view.axes[column] : view.origin;
        for (int32_t row = 0; row < kAxisCount; ++row) {
            entries[row] /= largest;
            box.toView[4 * column + row] = static_cast<float>(entries[row]);
        }
    }
    const Bounds samples = boundsOf(view, {sizes[0] - 1.0, sizes[1] - 1.0, sizes[2] - 1.0});
    const Bounds cells = boundsOf(view, {double(sizes[0]), double(sizes[1]), double(sizes[2])});
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        box.centre[axis] = static_cast<float>((samples.low[axis] + samples.high[axis]) / 2.0);
        box.size = std::max(box.size, static_cast<float>(cells.high[axis] - cells.low[axis]));
    }
    for (int32_t light = 0; light < kLightCount; ++light) {
        Vector at{};
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            const bool outwards = light == axis || light == kLightCount - 1;
            at[axis] = box.centre[axis] + (outwards ? box.size : 0.0f);
        }
        storeInGrid(view, at, box.lights[light]);
        box.lights[light][3] = 1.0f;  // point lights, as the blobs'
    }
    for (int32_t end = 0; end <= kAxisCount; ++end) {
        Vector at{};
        if (end > 0) {
            at[end - 1] = box.size;
        }
        storeInGrid(view, at, box.axes[end]);
    }
    return box;
}

}  // namespace scene

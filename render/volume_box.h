#pragma once

#include <cstdint>

#include "field/world_transform.h"

namespace scene {

inline constexpr int32_t kLightCount = 4;
inline constexpr int32_t kAxisCount = 3;

// How a volume sits in the scene: in its file's world frame, scaled down by
// its largest spacing so that an isotropic volume keeps its grid units.
// `toView` takes grid units there (column-major, as GL takes a matrix); the
// box of its samples there is centred on `centre`, and `size` is its largest
// side counting one sample step more, as a grid of that many samples has.
// The start distance and the far plane scale with size / kReferenceGridSize.
struct VolumeBox {
    float toView[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                        0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    float centre[3] = {0.0f, 0.0f, 0.0f};
    float size = 0.0f;
    // Point lights around the box, so the whole surface in view is lit: red,
    // green and blue one box size out from the centre along the world's x, y
    // and z, grey one box size out along all three at once. In grid units, as
    // GL places them through the model-view matrix of the last frame's camera.
    float lights[kLightCount][4] = {};
    // The world's axes, drawn in place of the grid's: the world's origin, then
    // one box size from it along x, y and z; in grid units.
    float axes[kAxisCount + 1][3] = {};
};

// The box of a volume of `sizes` samples placed by `toWorld`, which must be
// invertible.
VolumeBox volumeBoxFor(const int32_t sizes[3], const IndexToWorld& toWorld);

}  // namespace scene

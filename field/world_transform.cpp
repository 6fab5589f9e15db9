#include "field/world_transform.h"

#include <cmath>

namespace {

using Vector = IndexToWorld::Vector;

Vector cross(const Vector& u, const Vector& v) {
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

double dot(const Vector& u, const Vector& v) {
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

// Below this, relative to the product of the axes' lengths, the axes are
// taken for lying in one plane.
constexpr double kFlatness = 1e-9;

}  // namespace

IndexToWorld IndexToWorld::scaled(const std::array<float, 3>& spacing) {
    IndexToWorld transform;
    for (size_t axis = 0; axis < 3; ++axis) {
        transform.axes[axis][axis] = spacing[axis];
    }
    return transform;
}

Vector IndexToWorld::apply(const Vector& index) const {
    Vector world = origin;
    for (size_t axis = 0; axis < 3; ++axis) {
        for (size_t row = 0; row < 3; ++row) {
            world[row] += index[axis] * axes[axis][row];
        }
    }
    return world;
}

// The rows of the inverse are the cross products of pairs of axes over the
// determinant, so the inverse transpose sends n to sum n[a] * cross(...) / det.
Vector IndexToWorld::applyToNormal(const Vector& normal) const {
    const double det = determinant();
    const std::array<Vector, 3> rows{cross(axes[1], axes[2]), cross(axes[2], axes[0]),
                                     cross(axes[0], axes[1])};
    Vector mapped{};
    for (size_t axis = 0; axis < 3; ++axis) {
        for (size_t row = 0; row < 3; ++row) {
            mapped[row] += normal[axis] * rows[axis][row] / det;
        }
    }
    return mapped;
}

double IndexToWorld::determinant() const {
    return dot(axes[0], cross(axes[1], axes[2]));
}

bool IndexToWorld::invertible() const {
    double lengths = 1.0;
    for (size_t axis = 0; axis < 3; ++axis) {
        for (size_t row = 0; row < 3; ++row) {
            if (!std::isfinite(axes[axis][row]) || !std::isfinite(origin[row])) {
                return false;
            }
        }
        lengths *= std::sqrt(dot(axes[axis], axes[axis]));
    }
    const double det = determinant();
    return std::isfinite(det) && lengths > 0.0 && std::fabs(det) > kFlatness * lengths;
}

std::array<float, 3> IndexToWorld::spacing() const {
    std::array<float, 3> lengths{};
    for (size_t axis = 0; axis < 3; ++axis) {
        lengths[axis] = static_cast<float>(std::sqrt(dot(axes[axis], axes[axis])));
    }
    return lengths;
}

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

// The rows of the inverse of the axes' matrix are the cross products of pairs
// of axes over the determinant.
std::array<Vector, 3> IndexToWorld::inverseRows() const {
    const double det = determinant();
    std::array<Vector, 3> rows{cross(axes[1], axes[2]), cross(axes[2], axes[0]),
                               cross(axes[0], axes[1])};
    for (Vector& row : rows) {
        for (double& entry : row) {
            entry /= det;
        }
    }
    return rows;
}

// The inverse transpose sends n to the sum of n[a] times row a of the inverse.
Vector IndexToWorld::applyToNormal(const Vector& normal) const {
    const std::array<Vector, 3> rows = inverseRows();
    Vector mapped{};
    for (size_t axis = 0; axis < 3; ++axis) {
        for (size_t row = 0; row < 3; ++row) {
            mapped[row] += normal[axis] * rows[axis][row];
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
            // Held as floats by the mesh, so within their range.
            if (!std::isfinite(static_cast<float>(axes[axis][row])) ||
                !std::isfinite(static_cast<float>(origin[row]))) {
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

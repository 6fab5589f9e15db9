#pragma once

#include <array>

// Where a volume's samples lie in its file's world frame, in the file's own
// space and units (NRRD's space, NIfTI's RAS+, DICOM's patient LPS):
//   world = origin + i * axes[0] + j * axes[1] + k * axes[2]
// for sample (i, j, k). An axis is one sample step along the grid's axis, so
// its length is that axis's spacing; the axes need not be orthogonal, and a
// negative determinant means the grid is a mirror image of the world.
struct IndexToWorld {
    using Vector = std::array<double, 3>;

    std::array<Vector, 3> axes{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
    Vector origin{};

    // The grid's axes scaled by `spacing`, sample (0, 0, 0) at the origin.
    static IndexToWorld scaled(const std::array<float, 3>& spacing);

    Vector apply(const Vector& index) const;
    // Maps a normal (a gradient, or a face's normal) so that it stays at right
    // angles to the mapped surface, pointing to the same side: the inverse
    // transpose. Needs an invertible transform.
    Vector applyToNormal(const Vector& normal) const;
    double determinant() const;
    // Every entry a finite float and the axes spanning space, so that
    // surfaces keep their shape and normals can be mapped.
    bool invertible() const;
    // The lengths of the axes: the spacings.
    std::array<float, 3> spacing() const;

  private:
    std::array<Vector, 3> inverseRows() const;
};

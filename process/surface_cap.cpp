#include "process/surface_cap.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Outside for padding along the padded box's edges and corners, and beside a
// border sample of exactly 0.
constexpr float kOutside = -1.0f;

float outsideBeside(float sample) {
    const float mirrored = -std::fabs(sample);
    return mirrored < 0.0f ? mirrored : kOutside;
}

// Row (j, k) of the padded grid, `source` the grid's row it lies beside or
// holds, or null when none does (two coordinates out of the grid).
void fillRow(const float* source, bool inGrid, int32_t nx, float* row) {
    const int32_t paddedX = nx + 2;
    if (source == nullptr) {
        std::fill_n(row, paddedX, kOutside);
        return;
    }
    if (inGrid) {
        std::copy_n(source, nx, row + 1);
        row[0] = outsideBeside(source[0]);
        row[nx + 1] = outsideBeside(source[nx - 1]);
        return;
    }
    std::transform(source, source + nx, row + 1, outsideBeside);
    row[0] = kOutside;
    row[nx + 1] = kOutside;
}

}  // namespace

bool padWithOutside(const ScalarGrid& grid, ScalarGrid& padded) {
    const int64_t paddedSamples =
        (int64_t{grid.nx} + 2) * (int64_t{grid.ny} + 2) * (int64_t{grid.nz} + 2);
    if (!grid.hasSamples() || paddedSamples > ScalarGrid::kMaxSamples) {
        padded.allocate(0, 0, 0);  // refused, and so left empty
        return false;
    }
    if (!padded.allocate(grid.nx + 2, grid.ny + 2, grid.nz + 2)) {
        return false;
    }
    // A volume's grid reads its samples at the iso value: one row at a time.
    std::vector<float> sourceRow(static_cast<size_t>(grid.nx));
    for (int32_t k = 0; k < padded.nz; ++k) {
        for (int32_t j = 0; j < padded.ny; ++j) {
            const int32_t sourceJ = std::clamp(j - 1, 0, grid.ny - 1);
            const int32_t sourceK = std::clamp(k - 1, 0, grid.nz - 1);
            const int32_t outOfGrid = (sourceJ != j - 1 ? 1 : 0) + (sourceK != k - 1 ? 1 : 0);
            const float* source = nullptr;
            if (outOfGrid < 2) {
                const int64_t rowStart =
                    int64_t{sourceJ} * grid.nx + int64_t{sourceK} * grid.sliceSize;
                for (int32_t i = 0; i < grid.nx; ++i) {
                    sourceRow[i] = grid.valueAt(rowStart + i);
                }
                source = sourceRow.data();
            }
            fillRow(source, outOfGrid == 0, grid.nx,
                    padded.data + int64_t{j} * padded.nx + int64_t{k} * padded.sliceSize);
        }
    }
    return true;
}

void shiftOutOfPadding(SurfaceMesh& mesh) {
    for (Vec3& p : mesh.positions) {
        p = {p.x - 1.0f, p.y - 1.0f, p.z - 1.0f};
    }
}

#pragma once

// VTK's contour filters behind a plain interface. VTK 9.1's headers do not
// compile as C++20, so they stay inside vtk_contour.cpp, built as C++17.

#include <cstdint>
#include <memory>

#include "field/sample_type.h"

enum class VtkAlgorithm { kFlyingEdges3D, kMarchingCubes };

// One filter on its own copy of an nx * ny * nz volume of float samples laid
// out x fastest, then y, then z (ScalarGrid's layout), spacing 1, origin 0.
// Asked for triangles only: no normals, gradients or scalars.
class VtkContour {
  public:
    VtkContour(VtkAlgorithm algorithm, const float* samples, int32_t nx, int32_t ny, int32_t nz,
               double contourValue);
    // The same on samples of `type` (uint8, int8, uint16, int16 or float32,
    // as a volume keeps them), which VTK reads in that type.
    VtkContour(VtkAlgorithm algorithm, const void* samples, SampleType type, int32_t nx, int32_t ny,
               int32_t nz, double contourValue);
    ~VtkContour();

    void setContourValue(double value);
    void run();                 // extracts the surface again
    int64_t triangles() const;  // of the last run
    int64_t points() const;     // of the last run

  private:
    struct Filter;
    std::unique_ptr<Filter> filter_;
};

// Makes every VTK filter run on the calling thread alone (threads 1), or on
// VTK's TBB backend with `threads` threads. Exits when TBB is not there.
void useVtkThreads(int32_t threads);

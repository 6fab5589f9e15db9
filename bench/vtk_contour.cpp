#include "vtk_contour.h"

#include <vtkFlyingEdges3D.h>
#include <vtkImageData.h>
#include <vtkMarchingCubes.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkSmartPointer.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

struct VtkContour::Filter {
    vtkNew<vtkImageData> image;
    vtkSmartPointer<vtkPolyDataAlgorithm> algorithm;
};

namespace {

template <class Algorithm>
vtkSmartPointer<vtkPolyDataAlgorithm> trianglesOnly(vtkImageData* image, double contourValue) {
    auto filter = vtkSmartPointer<Algorithm>::New();
    filter->SetInputData(image);
    filter->SetValue(0, contourValue);
    filter->ComputeNormalsOff();
    filter->ComputeGradientsOff();
    filter->ComputeScalarsOff();
    return filter;
}

}  // namespace

VtkContour::VtkContour(VtkAlgorithm algorithm, const float* samples, int32_t nx, int32_t ny,
                       int32_t nz, double contourValue)
    : filter_(std::make_unique<Filter>()) {
    vtkImageData* image = filter_->image;
    image->SetDimensions(nx, ny, nz);
    image->SetOrigin(0.0, 0.0, 0.0);
    image->SetSpacing(1.0, 1.0, 1.0);
    image->AllocateScalars(VTK_FLOAT, 1);
    std::copy_n(samples, int64_t{nx} * ny * nz, static_cast<float*>(image->GetScalarPointer()));
    filter_->algorithm = algorithm == VtkAlgorithm::kFlyingEdges3D
                             ? trianglesOnly<vtkFlyingEdges3D>(image, contourValue)
                             : trianglesOnly<vtkMarchingCubes>(image, contourValue);
}

VtkContour::~VtkContour() = default;

void VtkContour::run() {
    filter_->algorithm->Modified();
    filter_->algorithm->Update();
}

int64_t VtkContour::triangles() const {
    return filter_->algorithm->GetOutput()->GetNumberOfPolys();
}

int64_t VtkContour::points() const {
    return filter_->algorithm->GetOutput()->GetNumberOfPoints();
}

void useVtkThreads(int32_t threads) {
    if (threads == 1) {
        vtkSMPTools::SetBackend("Sequential");
        return;
    }
    if (!vtkSMPTools::SetBackend("TBB")) {
        std::fprintf(stderr, "VTK has no TBB backend here\n");
        std::exit(1);
    }
    vtkSMPTools::Initialize(threads);
}

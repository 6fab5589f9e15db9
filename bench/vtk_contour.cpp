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
#include <cstring>

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

int vtkTypeOf(SampleType type) {
    switch (type) {
        case SampleType::kUint8:
            return VTK_UNSIGNED_CHAR;
        case SampleType::kInt8:
            return VTK_SIGNED_CHAR;
        case SampleType::kUint16:
            return VTK_UNSIGNED_SHORT;
        case SampleType::kInt16:
            return VTK_SHORT;
        default:
            return VTK_FLOAT;
    }
}

}  // namespace

VtkContour::VtkContour(VtkAlgorithm algorithm, const float* samples, int32_t nx, int32_t ny,
                       int32_t nz, double contourValue)
    : VtkContour(algorithm, samples, SampleType::kFloat32, nx, ny, nz, contourValue) {}

VtkContour::VtkContour(VtkAlgorithm algorithm, const void* samples, SampleType type, int32_t nx,
                       int32_t ny, int32_t nz, double contourValue)
    : filter_(std::make_unique<Filter>()) {
    vtkImageData* image = filter_->image;
    image->SetDimensions(nx, ny, nz);
    image->SetOrigin(0.0, 0.0, 0.0);
    image->SetSpacing(1.0, 1.0, 1.0);
    image->AllocateScalars(vtkTypeOf(type), 1);
    std::memcpy(image->GetScalarPointer(), samples, size_t(nx) * ny * nz * image->GetScalarSize());
    filter_->algorithm = algorithm == VtkAlgorithm::kFlyingEdges3D
                             ? trianglesOnly<vtkFlyingEdges3D>(image, contourValue)
                             : trianglesOnly<vtkMarchingCubes>(image, contourValue);
}

VtkContour::~VtkContour() = default;

void VtkContour::setContourValue(double value) {
    if (auto* flyingEdges = vtkFlyingEdges3D::SafeDownCast(filter_->algorithm)) {
        flyingEdges->SetValue(0, value);
    } else {
        vtkMarchingCubes::SafeDownCast(filter_->algorithm)->SetValue(0, value);
    }
}

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

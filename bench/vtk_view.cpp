// The VTK peer of our windowed volume view: a raw uint8 volume's iso-surface
// from vtkFlyingEdges3D (with its point normals), drawn by vtkPolyDataMapper
// in an 800x600 window. Prints the frames per second of FRAMES frames after
// the first, and the median frame time (ours is read from --timing's stage
// medians):
//   orbit  the camera turns 5 degrees about the view's up axis each frame
//   iso    the contour value alternates between ISO and ISO + 1, so each
//          frame runs the filter again and draws its new surface
// With THREADS, the filter runs on VTK's TBB backend with that many threads
// (1: sequential); without, on VTK's default.
// Usage: mc_vtk_view orbit|iso FILE NX NY NZ ISO FRAMES [THREADS]
#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkFlyingEdges3D.h>
#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench/vtk_contour.h"

int main(int argc, char** argv) {
    if (argc != 8 && argc != 9) {
        std::fprintf(stderr, "usage: mc_vtk_view orbit|iso FILE NX NY NZ ISO FRAMES [THREADS]\n");
        return 2;
    }
    if (argc == 9) {
        useVtkThreads(std::atoi(argv[8]));
    }
    const bool orbit = std::strcmp(argv[1], "orbit") == 0;
    const int sizes[3] = {std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
    const double iso = std::atof(argv[6]);
    const int frames = std::atoi(argv[7]);
    std::ifstream file(argv[2], std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    if (bytes.size() != static_cast<size_t>(sizes[0]) * sizes[1] * sizes[2]) {
        std::fprintf(stderr, "mc_vtk_view: %s is not %dx%dx%d uint8 samples\n", argv[2], sizes[0],
                     sizes[1], sizes[2]);
        return 1;
    }
    vtkNew<vtkImageData> volume;
    volume->SetDimensions(sizes[0], sizes[1], sizes[2]);
    volume->AllocateScalars(VTK_UNSIGNED_CHAR, 1);
    std::memcpy(volume->GetScalarPointer(), bytes.data(), bytes.size());

    vtkNew<vtkFlyingEdges3D> contour;
    contour->SetInputData(volume);
    contour->SetValue(0, iso);
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(contour->GetOutputPort());
    mapper->ScalarVisibilityOff();
    vtkNew<vtkActor> actor;
    actor->SetMapper(mapper);
    vtkNew<vtkRenderer> renderer;
    renderer->AddActor(actor);
    vtkNew<vtkRenderWindow> window;
    window->SetSize(800, 600);
    window->AddRenderer(renderer);
    window->Render();
    renderer->ResetCamera();
    window->Render();

    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    for (int frame = 1; frame <= frames; ++frame) {
        const Clock::time_point start = Clock::now();
        if (orbit) {
            renderer->GetActiveCamera()->Azimuth(5.0);
        } else {
            contour->SetValue(0, iso + frame % 2);
        }
        window->Render();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    double seconds = 0.0;
    for (const double time : times) {
        seconds += time;
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "%s: %d frames in %.3f s, %.3f frames per second, median frame %.1f ms, "
        "%lld triangles\n",
        argv[1], frames, seconds, frames / seconds, 1000.0 * times[times.size() / 2],
        static_cast<long long>(contour->GetOutput()->GetNumberOfPolys()));
    return 0;
}

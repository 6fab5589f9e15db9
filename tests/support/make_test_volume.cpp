// Writes a sphere test volume (test_volume.h) as a raw file, for the
// end-to-end scripts: make-test-volume TYPE X Y Z RADIUS FILE.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_volume.h"

int main(int argc, char** argv) {
    constexpr int kArguments = 7;
    SampleType type{};
    if (argc != kArguments || !findSampleType(argv[1], type)) {
        std::fprintf(stderr, "usage: make-test-volume TYPE X Y Z RADIUS FILE\n");
        return 2;
    }
    SphereVolume sphere;
    for (int axis = 0; axis < 3; ++axis) {
        sphere.sizes[axis] = std::atoi(argv[2 + axis]);
    }
    sphere.radius = std::atof(argv[5]);
    return writeBytes(argv[6], sphereBytes(sphere, type)) ? 0 : 1;
}

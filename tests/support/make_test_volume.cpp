// Writes a sphere test volume (test_volume.h) as a raw file, for the
// end-to-end scripts, and prints the smallest and largest sample:
//   make-test-volume TYPE X Y Z RADIUS FILE
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "test_volume.h"

int main(int argc, char** argv) {
    constexpr int kArguments = 7;
    SampleType type{};
    if (argc != kArguments || !findSampleType(argv[1], type)) {
        std::fprintf(stderr, "usage: make-test-volume TYPE X Y Z RADIUS FILE\n");
        return 2;
    }
    const SphereVolume sphere{{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4])},
                              {1.0, 1.0, 1.0},
                              std::atof(argv[5])};
    const std::vector<unsigned char> bytes = sphereBytes(sphere, type);
    std::vector<float> samples(bytes.size() / sampleTypeSize(type));
    convertSamples(type, bytes.data(), samples.size(), samples.data());
    const auto [low, high] = std::ranges::minmax_element(samples);
    std::printf("%.9g %.9g\n", *low, *high);
    return writeBytes(argv[6], bytes) ? 0 : 1;
}

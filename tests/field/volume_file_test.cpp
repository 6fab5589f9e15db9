#include "field/volume_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "extract/surface_mesh.h"
#include "test_support.h"
#include "test_volume.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kPlentyOfMemory = uint64_t{1} << 40;

class VolumeFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        directory_ =
            fs::temp_directory_path() /
            ("volume-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    std::string path(const std::string& name) const { return (directory_ / name).string(); }

    // Writes `bytes` under `name` and returns its path.
    std::string rawFile(const std::string& name, const std::vector<unsigned char>& bytes) const {
        EXPECT_TRUE(writeBytes(path(name), bytes));
        return path(name);
    }

    // Runs Teem's own tool in the test directory; its chatter is not ours.
    void unu(const std::string& arguments) const {
        const std::string command =
            "cd '" + directory_.string() + "' && (teem-unu " + arguments + ") 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    std::string refusal(const VolumeRequest& request, uint64_t limit = kPlentyOfMemory) const {
        Volume volume;
        std::string error;
        EXPECT_FALSE(loadVolume(request, volume, error, limit)) << request.path;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(error.starts_with(request.path + ": ")) << error;
        return error;
    }

    fs::path directory_;
};

// --- Raw file names ---

TEST(RawNames, EveryTypeAndShapeReadsBack) {
    for (const char* type :
         {"uint8", "int8", "uint16", "int16", "uint32", "int32", "float32", "float64"}) {
        for (const auto& sizes : {std::array{1, 1, 1}, {256, 256, 113}, {2147483647, 7, 3}}) {
            const std::string name = "dir_1x1x1_uint8.raw/ct_head_" + std::to_string(sizes[0]) +
                                     "x" + std::to_string(sizes[1]) + "x" +
                                     std::to_string(sizes[2]) + "_" + type + ".raw";
            RawLayout layout;
            std::string problem;
            ASSERT_TRUE(parseRawName(name, layout, problem)) << name << ": " << problem;
            EXPECT_EQ(layout.sizes, sizes) << name;
            EXPECT_EQ(sampleTypeName(layout.type), type) << name;
        }
    }
}

TEST(RawNames, MalformedNamesAreRefusedWithAReason) {
    for (const char* name :
         {"v_0x5x5_uint8.raw", "v_5x5_uint8.raw", "v_5x5x5x5_uint8.raw", "v_5x5x-5_uint8.raw",
          "v_5xx5_uint8.raw", "v_5x5x5_uint64.raw", "v_5x5x5_.raw", "v_5x5x5_uint8.dat",
          "5x5x5_uint8.raw", "v_2147483648x1x1_uint8.raw", "v_+5x5x5_uint8.raw", "_uint8.raw"}) {
        RawLayout layout;
        std::string problem;
        EXPECT_FALSE(parseRawName(name, layout, problem)) << name;
        EXPECT_NE(problem, "") << name;
    }
}

// --- NRRD files written by Teem's own tool ---

double areaOf(const SurfaceMesh& mesh, const std::array<double, 3>& spacing) {
    const auto physical = [&](int32_t index) {
        const Vec3& p = mesh.positions[index];
        return std::array{p.x * spacing[0], p.y * spacing[1], p.z * spacing[2]};
    };
    double area = 0.0;
    for (const auto& t : mesh.triangles) {
        const auto a = physical(t[0]), b = physical(t[1]), c = physical(t[2]);
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                             u[0] * v[1] - u[1] * v[0]};
        area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2.0;
    }
    return area;
}

struct NrrdCase {
    SampleType type;
    const char* teemType;
    const char* encoding;
    const char* endian;
    bool detached;  // a .nhdr beside the raw data
};

TEST_F(VolumeFiles, TeemWrittenSpheresGiveTheSurfaceOfTheSamplesInMemory) {
    // A sphere of radius 12 in a box of about 31 units each way, sampled
    // with a different step along each axis.
    const SphereVolume sphere{{32, 22, 42}, {1.0, 1.5, 0.75}, 12.0};
    const double analyticArea = 4.0 * std::numbers::pi * sphere.radius * sphere.radius;
    const auto table = makeGeneratedMarcher();
    const AmbiguousCaseTable ambiguous(*table);
    for (const NrrdCase& c : {NrrdCase{SampleType::kUint8, "uchar", "raw", "little", false},
                              NrrdCase{SampleType::kInt8, "int8", "gzip", "little", false},
                              NrrdCase{SampleType::kInt16, "short", "gzip", "big", false},
                              NrrdCase{SampleType::kUint32, "uint", "raw", "big", false},
                              NrrdCase{SampleType::kFloat32, "float", "gzip", "little", false},
                              NrrdCase{SampleType::kFloat64, "double", "raw", "big", false},
                              NrrdCase{SampleType::kUint16, "ushort", "raw", "little", true}}) {
        const std::string context = std::string(c.teemType) + " " + c.encoding + " " + c.endian;
        const std::vector<unsigned char> bytes = sphereBytes(sphere, c.type);
        fs::remove(path("sphere.nrrd"));
        rawFile("sphere.raw", bytes);
        const std::string made = "make -i sphere.raw -t " + std::string(c.teemType) +
                                 " -s 32 22 42 -sp 1 1.5 0.75 -en little";
        const std::string file = c.detached ? "sphere.nhdr" : "sphere.nrrd";
        if (c.detached) {
            unu(made + " -h -o sphere.nhdr");
        } else {
            unu(made + " | teem-unu save -f nrrd -e " + c.encoding + " -en " + c.endian +
                " -o sphere.nrrd");
        }

        Volume volume;
        std::string error;
        ASSERT_TRUE(loadVolume({path(file), {}, {}}, volume, error, kPlentyOfMemory)) << error;
        std::vector<float> inMemory(bytes.size() / sampleTypeSize(c.type));
        convertSamples(c.type, bytes.data(), inMemory.size(), inMemory.data());
        EXPECT_EQ(volume.samples, inMemory) << context;
        EXPECT_EQ(volume.sizes, sphere.sizes) << context;
        EXPECT_EQ(volume.spacing, (std::array{1.0f, 1.5f, 0.75f})) << context;

        const auto surfaceOf = [&](const std::vector<float>& samples) {
            ScalarGrid grid;
            EXPECT_TRUE(grid.allocate(sphere.sizes[0], sphere.sizes[1], sphere.sizes[2]));
            Volume copy = volume;
            copy.samples = samples;
            writeIsoSamples(copy, sphereIsoFor(c.type), grid);
            SurfaceMesh mesh;
            MeshExtractor(*table, ambiguous).extract(grid, mesh, FaceRule::kDecider);
            return mesh;
        };
        const SurfaceMesh read = surfaceOf(volume.samples);
        EXPECT_EQ(read.triangles.size(), surfaceOf(inMemory).triangles.size()) << context;
        EXPECT_NEAR(areaOf(read, sphere.spacing), analyticArea, 0.01 * analyticArea) << context;
    }
}

TEST_F(VolumeFiles, RawFilesAreReadByNameOrByTheGivenShape) {
    const SphereVolume sphere{{6, 5, 4}, {1, 1, 1}, 2.0};
    const std::vector<unsigned char> bytes = sphereBytes(sphere, SampleType::kInt16);
    std::vector<float> expected(bytes.size() / 2);
    convertSamples(SampleType::kInt16, bytes.data(), expected.size(), expected.data());
    const std::string named = rawFile("s_6x5x4_int16.raw", bytes);
    const std::string unnamed = rawFile("samples.bin", bytes);
    // The name's uint8 shape is overridden by the request.
    const std::string misnamed = rawFile("s_12x10x4_uint8.raw", bytes);
    for (const VolumeRequest& request :
         {VolumeRequest{named, {}, {}},
          VolumeRequest{unnamed, std::array{6, 5, 4}, SampleType::kInt16},
          VolumeRequest{misnamed, std::array{6, 5, 4}, SampleType::kInt16}}) {
        Volume volume;
        std::string error;
        ASSERT_TRUE(loadVolume(request, volume, error, kPlentyOfMemory)) << error;
        EXPECT_EQ(volume.samples, expected) << request.path;
        EXPECT_EQ(volume.sizes, (std::array{6, 5, 4}));
        EXPECT_EQ(volume.minimum, *std::ranges::min_element(expected));
        EXPECT_EQ(volume.maximum, *std::ranges::max_element(expected));
    }
}

// --- The memory limit ---

// The bad-file table runs end to end (tests/e2e/volume_test.sh); here only
// the limit's edge: two 2x2x2 float copies take exactly 64 bytes.
TEST_F(VolumeFiles, AVolumeNeedingMoreThanTheLimitIsRefused) {
    rawFile("v_2x2x2_uint8.raw", std::vector<unsigned char>(8, 1));
    EXPECT_NE(refusal({path("v_2x2x2_uint8.raw"), {}, {}}, 63).find("more than the 0 MiB"),
              std::string::npos);
    Volume volume;
    std::string error;
    EXPECT_TRUE(loadVolume({path("v_2x2x2_uint8.raw"), {}, {}}, volume, error, 64)) << error;
}

// --- Iso samples ---

// A cube of 1s in 0s: at iso 1 the samples on the iso value are inside, and
// the surface closes around them as it does at iso 0.5.
TEST(IsoSamples, ALabelVolumeAtItsLabelValueHasItsSurface) {
    Volume volume;
    volume.sizes = {10, 10, 10};
    volume.samples.assign(1000, 0.0f);
    for (int32_t k = 3; k < 7; ++k) {
        for (int32_t j = 3; j < 7; ++j) {
            for (int32_t i = 3; i < 7; ++i) {
                volume.samples[i + 10 * j + 100 * k] = 1.0f;
            }
        }
    }
    const auto table = makeGeneratedMarcher();
    const AmbiguousCaseTable ambiguous(*table);
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(10, 10, 10));
    const auto trianglesAt = [&](float iso) {
        writeIsoSamples(volume, iso, grid);
        SurfaceMesh mesh;
        MeshExtractor(*table, ambiguous).extract(grid, mesh, FaceRule::kDecider);
        return mesh.triangles.size();
    };
    EXPECT_EQ(trianglesAt(1.0f), trianglesAt(0.5f));
}

TEST(IsoSamples, AreValueMinusIsoWithEveryNonFiniteSampleOutside) {
    const float inf = std::numeric_limits<float>::infinity();
    const float lowest = std::numeric_limits<float>::lowest();
    const float highest = std::numeric_limits<float>::max();
    Volume volume;
    volume.sizes = {8, 1, 1};
    volume.samples = {0.0f, 10.0f, 2.5f, std::nanf(""), inf, -inf, highest, lowest};
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(8, 1, 1));
    writeIsoSamples(volume, 2.5f, grid);
    const float smallestInside = std::numeric_limits<float>::min();
    EXPECT_EQ(
        std::vector<float>(grid.data, grid.data + 8),
        (std::vector<float>{-2.5f, 7.5f, smallestInside, lowest, lowest, lowest, highest, lowest}));
    writeIsoSamples(volume, -highest, grid);  // the difference exceeds the floats
    EXPECT_EQ(grid.data[6], highest);
}

}  // namespace

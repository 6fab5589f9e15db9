#include "field/volume_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "test_volume.h"

// The bad files, each refused in one line naming it, are a table in
// tests/e2e/volume_test.sh, run through the program.
namespace {

namespace fs = std::filesystem;

std::vector<float> floatsOf(const VolumeSamples& samples) {
    std::vector<float> floats;
    for (size_t i = 0; i < samples.size(); ++i) {
        floats.push_back(samples[i]);
    }
    return floats;
}

// Good names are read in every file of the next test.
TEST(RawNames, MalformedOnesAreRefusedWithAReason) {
    for (const char* name : {"v_0x5x5_uint8.raw", "v_5x5_uint8.raw", "v_5x5x5x5_uint8.raw",
                             "v_5xx5_uint8.raw", "v_2147483648x1x1_uint8.raw", "v_5x5x5_uint64.raw",
                             "v_5x5x5_uint8.dat", "5x5x5_uint8.raw", "_uint8.raw"}) {
        RawLayout layout;
        std::string reason;
        EXPECT_FALSE(parseRawName(name, layout, reason) || reason.empty()) << name;
    }
}

// Values at and beyond each type's range, and ones a float cannot hold
// exactly, stored as every sample type: in raw files shaped by the name (in a
// folder named like a raw file) or by the request, and in NRRD files Teem's
// own tool writes (raw and gzip, both byte orders, a detached header with
// space directions and units, another with units that differ). Each file reads back as the floats
// the stored values stand for, kept in no more bytes than in the file, with its spacings and the
// unit its axes all name (none when they differ). A raw file needs its kept samples and no byte
// more, and is refused when it holds more bytes than the request's shape takes. A .nrrd file must
// start with a NRRD magic line, and a sample that is no number is left out of the range.
TEST(VolumeFiles, EveryTypeAndEncodingReadsBackTheStoredValues) {
    const fs::path directory = fs::temp_directory_path() /
                               ("volume-test-" + std::to_string(::getpid()) + "_1x1x1_int8.raw");
    fs::create_directories(directory);
    const auto path = [&](const std::string& name) { return (directory / name).string(); };
    const std::vector<double> values = {-1e30, -32769, -129, -1, 0, 0.1, 1, 255, 16777217, 1e30};
    const std::array<float, 3> unit{1, 1, 1}, spaced{1, 1.5f, 0.75f};
    const std::string teemTypes[] = {"uint8",  "int8",  "uint16", "int16",
                                     "uint32", "int32", "float",  "double"};
    for (size_t t = 0; t < std::size(teemTypes); ++t) {
        const auto type = static_cast<SampleType>(t);
        const std::string named = "v_5x2x1_" + std::string(sampleTypeName(type)) + ".RAW";
        const StoredSamples stored = storeAs(type, values);
        const uint64_t rawLimit = values.size() * sampleTypeSize(VolumeSamples::keptType(type));
        ASSERT_TRUE(writeBytes(path("data.raw"), stored.bytes) &&
                    writeBytes(path(named), stored.bytes));
        const std::string unu = "cd '" + directory.string() + "' && (teem-unu make -i data.raw" +
                                " -s 5 2 1 -en little -t " + teemTypes[t];
        for (const char* how :
             {" -sp 1 1.5 0.75 -o raw.nrrd",
              " -sp 1 1.5 0.75 | teem-unu save -f nrrd -e gzip -en big -o gzip.nrrd",
              " -spc 3 -dirs '(1,0,0) (0,1.5,0) (0,0,-0.75)' -spu mm mm mm -h -o detached.nhdr",
              " -spc 3 -dirs '(1,0,0) (0,1.5,0) (0,0,-0.75)' -spu mm mm cm -h -o mixed.nhdr"}) {
            ASSERT_EQ(std::system((unu + how + ") 2>/dev/null").c_str()), 0) << unu << how;
        }
        for (const auto& [request, spacing, limit, lengthUnit] :
             std::vector<std::tuple<VolumeRequest, std::array<float, 3>, uint64_t, std::string>>{
                 {{path(named), {}, {}}, unit, rawLimit, ""},
                 {{path("data.raw"), std::array{5, 2, 1}, type}, unit, rawLimit, ""},
                 {{path("raw.nrrd"), {}, {}}, spaced, UINT64_MAX, ""},
                 {{path("gzip.nrrd"), {}, {}}, spaced, UINT64_MAX, ""},
                 {{path("detached.nhdr"), {}, {}}, spaced, UINT64_MAX, "mm"},
                 {{path("mixed.nhdr"), {}, {}}, spaced, UINT64_MAX, ""}}) {
            Volume volume;
            std::string error;
            ASSERT_TRUE(loadVolume(request, volume, error, limit)) << error;
            EXPECT_EQ(floatsOf(volume.samples), stored.floats) << request.path;
            EXPECT_LE(volume.samples.bytes(), stored.bytes.size()) << request.path;
            EXPECT_EQ(std::tuple(volume.sizes, volume.spacing, volume.unit, volume.minimum,
                                 volume.maximum),
                      std::tuple(std::array{5, 2, 1}, spacing, lengthUnit,
                                 std::ranges::min(stored.floats), std::ranges::max(stored.floats)))
                << request.path;
        }
        Volume volume;
        std::string error;
        EXPECT_FALSE(loadVolume({path(named), {}, {}}, volume, error, rawLimit - 1));
        EXPECT_EQ(error, path(named) + ": the volume needs 0 MiB, more than the 0 MiB of memory");
        EXPECT_FALSE(loadVolume({path(named), std::array{5, 1, 1}, type}, volume, error, rawLimit));
        EXPECT_TRUE(error.starts_with(path(named) + ": the file holds")) << error;
    }
    // Teem would read it as a text table, and leak on refusing it.
    std::ofstream(path("table.nrrd")) << "NRRD00nan01\n1 2\n";
    Volume volume;
    std::string error;
    EXPECT_FALSE(loadVolume({path("table.nrrd"), {}, {}}, volume, error, UINT64_MAX));
    EXPECT_TRUE(error.starts_with(path("table.nrrd") + ": not a NRRD file")) << error;
    // A sample that is no number has no say in the range.
    const std::string holes = path("holes_2x1x1_float64.raw");
    ASSERT_TRUE(writeBytes(holes, storeAs(SampleType::kFloat64, {std::nan(""), 1}).bytes));
    ASSERT_TRUE(loadVolume({holes, {}, {}}, volume, error, UINT64_MAX)) << error;
    EXPECT_EQ(std::pair(volume.minimum, volume.maximum), std::pair(1.0f, 1.0f));
    fs::remove_all(directory);
}

// A volume read at an iso value: value - iso in float, the iso value itself
// just inside, every non-finite sample outside, differences beyond the floats
// kept finite.
TEST(IsoSamples, AreValueMinusIsoWithEveryNonFiniteSampleOutside) {
    const float lowest = std::numeric_limits<float>::lowest();
    const float highest = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> values = {0.0f, 10.0f, 2.5f,    std::nanf(""),
                                       inf,  -inf,  highest, lowest};
    ScalarGrid grid;
    ASSERT_TRUE(grid.readVolume(8, 1, 1, {values.data(), SampleType::kFloat32, 2.5f}));
    std::vector<float> read(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        read[i] = grid.valueAt(static_cast<int64_t>(i));
    }
    EXPECT_EQ(read, (std::vector{-2.5f, 7.5f, std::numeric_limits<float>::min(), lowest, lowest,
                                 lowest, highest, lowest}));
    grid.volume.iso = -highest;
    EXPECT_EQ(grid.valueAt(6), highest);
}

// The start iso value lies within the range, whatever the range: at the
// floats' limits the difference overflows a float.
TEST(IsoSamples, TheMiddleValueLiesWithinAnyRange) {
    const float limits[] = {std::numeric_limits<float>::lowest(),
                            -1e30f,
                            -1.0f,
                            0.0f,
                            std::numeric_limits<float>::denorm_min(),
                            3.0f,
                            std::numeric_limits<float>::max()};
    for (const float low : limits) {
        for (const float high : limits) {
            Volume volume;
            volume.minimum = low;
            volume.maximum = std::max(low, high);
            const float middle = volume.middleValue();
            EXPECT_TRUE(middle >= volume.minimum && middle <= volume.maximum) << low << " " << high;
        }
    }
}

}  // namespace

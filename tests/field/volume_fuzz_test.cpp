#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "field/volume_file.h"

// Valid NRRD files (attached raw, gzip and big-endian data, a detached
// header), written by Teem's own tool and then corrupted at random: bytes
// changed, field values swapped for awkward ones, lines dropped or repeated,
// the file cut short. FIFOs lie beside them: a header that names one as its
// data must be refused, not left waiting. NIfTI files, DICOM slices and
// an enhanced multi-frame DICOM file written by nibabel and pydicom, corrupted likewise in their
// binary fields. Whatever the file holds, loading it either succeeds with a consistent volume or
// fails with one line naming the file; the sanitizer build turns any memory error into a failure.
// Deterministic for a given seed; MC_FUZZ_SEED and MC_FUZZ_ROUNDS override the defaults.
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kDefaultSeed = 20261207;
constexpr int64_t kDefaultRounds = 300;
constexpr size_t kMaxMutationsPerRound = 3;
// Small, so a header that claims a large volume is refused, not read.
constexpr uint64_t kFuzzMemoryLimit = uint64_t{64} << 20;

// Among them: FIFOs as data files (named, listed, counted), spacings no
// float holds, sizes far beyond the data.
const char* const kAwkwardValues[] = {"0",
                                      "-1",
                                      "4294967296",
                                      "18446744073709551616",
                                      "nan",
                                      "",
                                      "3 3",
                                      "4 4 4 4",
                                      "block",
                                      "double",
                                      "ascii",
                                      "hex",
                                      "big",
                                      "???",
                                      "pipe.raw",
                                      "LIST\npipe.raw",
                                      "pipe%d.raw 1 2 1",
                                      "1e39",
                                      "1e-320",
                                      "64 64 64"};

int64_t fromEnvironment(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    return text == nullptr ? fallback : std::strtoll(text, nullptr, 10);
}

// Replaces a span of the file (from a place in the header, after a field's
// name, or anywhere) with an awkward value, a random byte, the rest of its
// line again, or nothing: values spoiled, bytes changed, lines repeated or
// dropped, the file cut short.
void mutate(std::string& file, std::mt19937_64& random) {
    const auto upTo = [&](size_t n) { return static_cast<size_t>(random() % (n + 1)); };
    const size_t inHeader = upTo(std::min(file.find("\n\n"), file.size()));
    const size_t starts[] = {inHeader, std::min(file.find(": ", inHeader) + 2, file.size()),
                             upTo(file.size())};
    const size_t at = starts[upTo(2)];
    const size_t lineLength = std::min(file.find('\n', at), file.size()) - at;
    const size_t lengths[] = {0, 1, lineLength, lineLength + 1, file.size() - at};
    const std::string pieces[] = {kAwkwardValues[upTo(std::size(kAwkwardValues) - 1)],
                                  std::string(1, static_cast<char>(random())),
                                  file.substr(at, lineLength + 1), ""};
    // Drawn before the piece, so a seed gives the same files whatever the compiler.
    const size_t length = lengths[upTo(std::size(lengths) - 1)];
    file.replace(at, length, pieces[upTo(3)]);
}

// A fresh folder for one test's files, removed with it.
struct FuzzFolder {
    fs::path path;

    explicit FuzzFolder(const std::string& kind)
        : path(fs::temp_directory_path() / (kind + "-fuzz-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~FuzzFolder() { fs::remove_all(path); }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    // Runs the shell `command` in the folder; true when it succeeded.
    bool run(const std::string& command) const {
        return std::system(("cd '" + path.string() + "' && " + command).c_str()) == 0;
    }
};

// A program for the system's Python with nibabel, numpy and pydicom.
std::string python(const std::string& program) {
    return "/usr/bin/python3 -c '" + program + "'";
}

// Where a corrupted file is written: beside its original.
std::string fuzzedCopy(const std::string& name) {
    return "fuzzed-" + name;
}

std::string contents(const fs::path& path) {
    return (std::ostringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str();
}

void expectReadOrRefused(const std::string& path) {
    Volume volume;
    std::string error;
    EXPECT_TRUE(loadVolume({path, {}, {}}, volume, error, kFuzzMemoryLimit)
                    ? volume.samples.size() == uint64_t(volume.sizes[0]) * volume.sizes[1] *
                                                   uint64_t(volume.sizes[2]) &&
                          volume.minimum <= volume.maximum
                    : error.starts_with(path + ": ") && error.find('\n') == std::string::npos)
        << error;
}

// Runs the rounds: each writes one of `names` from `directory`, spoilt by up
// to kMaxMutationsPerRound calls of `mutation`, as `corrupted(name)`, loads
// `loaded` (that file when empty, or its folder), then writes it unspoilt.
template <class Mutation>
void fuzz(const fs::path& directory, std::span<const std::string> names,
          const std::function<std::string(const std::string&)>& corrupted, const fs::path& loaded,
          Mutation mutation) {
    const auto seed = static_cast<uint64_t>(fromEnvironment("MC_FUZZ_SEED", kDefaultSeed));
    const int64_t rounds = fromEnvironment("MC_FUZZ_ROUNDS", kDefaultRounds);
    std::mt19937_64 random(seed);
    for (int64_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        const std::string& name = names[random() % names.size()];
        std::string file = contents(directory / name);
        for (size_t m = random() % kMaxMutationsPerRound; m < kMaxMutationsPerRound; ++m) {
            mutation(file, random);
        }
        const fs::path path = directory / corrupted(name);
        std::ofstream(path, std::ios::binary) << file;
        expectReadOrRefused((loaded.empty() ? path : loaded).string());
        std::ofstream(path, std::ios::binary) << contents(directory / name);  // for the next round
    }
}

// Binary headers: a span (mostly within the first `headerBytes`, where the
// fields are) replaced by an awkward little-endian integer, random bytes,
// a copy of what follows, or nothing; or the file cut short.
void mutateBinary(std::string& file, std::mt19937_64& random, size_t headerBytes) {
    const auto upTo = [&](size_t n) { return static_cast<size_t>(random() % (n + 1)); };
    const size_t at = upTo(std::min(random() % 4 == 0 ? file.size() : headerBytes, file.size()));
    const uint64_t awkward[] = {
        0, 1, 0x7f, 0xff, 0x7fff, 0xffff, 0x7fffffff, 0xffffffff, 0x8000000000000000};
    const uint64_t value = awkward[upTo(std::size(awkward) - 1)];
    const size_t width = size_t{1} << upTo(3);
    const size_t kind = upTo(3);
    std::string piece;
    if (kind == 0) {
        piece.assign(reinterpret_cast<const char*>(&value), width);
    } else if (kind == 1) {
        piece.assign(width, static_cast<char>(random()));
    } else if (kind == 2) {
        piece = file.substr(at, width * 8);
    }
    file.replace(at, kind == 3 ? file.size() - at : std::min(width, file.size() - at), piece);
}

// mutateBinary over headers of `headerBytes`.
auto binaryMutation(size_t headerBytes) {
    return [headerBytes](std::string& file, std::mt19937_64& random) {
        mutateBinary(file, random, headerBytes);
    };
}

TEST(VolumeFuzz, CorruptedNrrdFilesAreReadOrRefusedInOneLine) {
    const FuzzFolder folder("volume");
    const std::string unu = " && teem-unu make -i data.raw -s 4 4 4 -t ";
    ASSERT_TRUE(folder.run("mkfifo pipe.raw pipe1.raw && (printf '%0256d' 0 >data.raw" + unu +
                           "uchar -sp 1 2 3 -o raw.nrrd" + unu +
                           "float | teem-unu save -f nrrd -e gzip -o gzip.nrrd" + unu +
                           "short | teem-unu save -f nrrd -en big -o big.nrrd" + unu +
                           "uint -h -o detached.nhdr) 2>/dev/null"));
    const std::string names[] = {"raw.nrrd", "gzip.nrrd", "big.nrrd", "detached.nhdr"};
    fuzz(folder.path, names, fuzzedCopy, {}, mutate);
}

TEST(VolumeFuzz, CorruptedNiftiFilesAreReadOrRefusedInOneLine) {
    const FuzzFolder folder("nifti");
    ASSERT_TRUE(
        folder.run(python("import nibabel, numpy\n"
                          "data = numpy.arange(60, dtype=numpy.int16).reshape(3, 4, 5)\n"
                          "affine = numpy.diag([2.0, -1.0, 1.5, 1.0])\n"
                          "nibabel.save(nibabel.Nifti1Image(data, affine), \"one.nii\")\n"
                          "nibabel.save(nibabel.Nifti1Image(data, affine), \"one.nii.gz\")\n"
                          "nibabel.save(nibabel.Nifti2Image(data.astype(\"f8\"), affine), "
                          "\"two.nii\")\n"
                          "nibabel.save(nibabel.Nifti1Image(numpy.stack([data] * 2, 3), affine), "
                          "\"four.nii\")\n")));
    const std::string names[] = {"one.nii", "one.nii.gz", "two.nii", "four.nii"};
    constexpr size_t kNifti2HeaderBytes = 540;
    fuzz(folder.path, names, fuzzedCopy, {}, binaryMutation(kNifti2HeaderBytes));
}

TEST(VolumeFuzz, CorruptedDicomSlicesAreReadOrRefusedInOneLine) {
    const FuzzFolder folder("dicom");
    ASSERT_TRUE(folder.run(
        python("import sys\n"
               "sys.path.insert(0, \"" MC_TESTS_DIR "/e2e\")\n"
               "import numpy\n"
               "from dicom_files import write_enhanced, write_slice\n"
               "from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian\n"
               "pixels = numpy.arange(12, dtype=\"i2\").reshape(3, 4).T\n"
               "for k in range(3):\n"
               "    write_slice(\"slice%d.dcm\" % k, pixels, [0, 0, 2 * k], [1, 0, 0, 0, 1, 0],\n"
               "                (1, 1), \"1.2.3\", (2, -1),\n"
               "                [ExplicitVRLittleEndian, ImplicitVRLittleEndian][k == 1])\n"
               "write_enhanced(\"frames.dcm\", numpy.arange(36, dtype=\"i2\").reshape(3, 3, 4).T,\n"
               "               numpy.zeros(3), numpy.diag([2, 1, 2]), (2, -1), [0, 2, 1])\n")));
    const fs::path& directory = folder.path;
    const std::string names[] = {"slice0.dcm", "slice1.dcm", "slice2.dcm"};
    // The corrupted slice takes the place of its original in a folder of all three.
    const fs::path series = directory / "series";
    fs::create_directories(series);
    for (const std::string& name : names) {
        fs::copy_file(directory / name, series / name);
    }
    // Unspoilt, the series reads, its middle slice in implicit VR.
    Volume volume;
    std::string error;
    EXPECT_TRUE(loadVolume({series.string(), {}, {}}, volume, error, kFuzzMemoryLimit)) << error;
    constexpr size_t kHeaderBytes = 700;
    fuzz(
        directory, names, [](const std::string& name) { return "series/" + name; }, series,
        binaryMutation(kHeaderBytes));
    // An enhanced file alone: its frames placed by functional groups only.
    // All its frames are decoded at once, so a limit that holds the samples
    // and one frame's doubles is not enough (36 samples, 12 a frame).
    const std::string enhanced = (directory / "frames.dcm").string();
    EXPECT_FALSE(loadVolume({enhanced, {}, {}}, volume, error, 36 * sizeof(float) + 24 * 8));
    EXPECT_TRUE(loadVolume({enhanced, {}, {}}, volume, error, 36 * (sizeof(float) + 8))) << error;
    // Its Plane Orientation Sequence's tag spoilt: GDCM asserted on the file.
    std::string unoriented = contents(enhanced);
    const std::string orientationTag("\x20\x00\x16\x91", 4);
    ASSERT_NE(unoriented.find(orientationTag), std::string::npos);
    unoriented.replace(unoriented.find(orientationTag), 4, "\x20\x00\x16\xff", 4);
    fs::create_directories(directory / "unoriented");  // alone in its folder, so its series
    std::ofstream(directory / "unoriented" / "frames.dcm", std::ios::binary) << unoriented;
    expectReadOrRefused((directory / "unoriented" / "frames.dcm").string());
    fs::create_directories(directory / "frames");
    const std::string frames[] = {"frames.dcm"};
    constexpr size_t kFramesHeaderBytes = 1000;
    fuzz(
        directory, frames, [](const std::string& name) { return "frames/" + name; }, {},
        binaryMutation(kFramesHeaderBytes));
}

}  // namespace

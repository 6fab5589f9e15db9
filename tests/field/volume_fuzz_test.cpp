#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "field/volume_file.h"

// Valid NRRD files (attached raw, gzip and big-endian data, a detached
// header), written by Teem's own tool and then corrupted at random: bytes
// changed, field values swapped for awkward ones, lines dropped or repeated,
// the file cut short. FIFOs lie beside them: a header that names one as its
// data must be refused, not left waiting. Whatever the file holds, loading it either succeeds
// with a consistent volume or fails with one line naming the file; the
// sanitizer build turns any memory error into a failure. Deterministic for a
// given seed; MC_FUZZ_SEED and MC_FUZZ_ROUNDS override the defaults.
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

TEST(VolumeFuzz, CorruptedNrrdFilesAreReadOrRefusedInOneLine) {
    const fs::path directory =
        fs::temp_directory_path() / ("volume-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string unu = " && teem-unu make -i data.raw -s 4 4 4 -t ";
    ASSERT_EQ(std::system(("cd '" + directory.string() +
                           "' && mkfifo pipe.raw pipe1.raw && (printf '%0256d' 0 >data.raw" + unu +
                           "uchar -sp 1 2 3 -o raw.nrrd" + unu +
                           "float | teem-unu save -f nrrd -e gzip -o gzip.nrrd" + unu +
                           "short | teem-unu save -f nrrd -en big -o big.nrrd" + unu +
                           "uint -h -o detached.nhdr) 2>/dev/null")
                              .c_str()),
              0);
    const std::string names[] = {"raw.nrrd", "gzip.nrrd", "big.nrrd", "detached.nhdr"};
    const auto seed = static_cast<uint64_t>(fromEnvironment("MC_FUZZ_SEED", kDefaultSeed));
    const int64_t rounds = fromEnvironment("MC_FUZZ_ROUNDS", kDefaultRounds);
    std::mt19937_64 random(seed);
    for (int64_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        const std::string& name = names[random() % std::size(names)];
        std::string file =
            (std::ostringstream() << std::ifstream(directory / name, std::ios::binary).rdbuf())
                .str();
        for (size_t m = random() % kMaxMutationsPerRound; m < kMaxMutationsPerRound; ++m) {
            mutate(file, random);
        }
        const std::string path = (directory / ("fuzzed-" + name)).string();
        std::ofstream(path, std::ios::binary) << file;
        Volume volume;
        std::string error;
        EXPECT_TRUE(loadVolume({path, {}, {}}, volume, error, kFuzzMemoryLimit)
                        ? volume.samples.size() == uint64_t(volume.sizes[0]) * volume.sizes[1] *
                                                       uint64_t(volume.sizes[2]) &&
                              volume.minimum <= volume.maximum
                        : error.starts_with(path + ": ") && error.find('\n') == std::string::npos)
            << error;
    }
    fs::remove_all(directory);
}

}  // namespace

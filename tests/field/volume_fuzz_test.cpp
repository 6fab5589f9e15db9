#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "field/volume_file.h"

// Valid NRRD files (attached raw, gzip and big-endian data, a detached
// header), written by Teem's own tool and then corrupted at random: bytes
// changed, field values swapped for awkward ones, lines dropped or repeated,
// the file cut short. Whatever the file holds, loading it either succeeds
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

const char* const kAwkwardValues[] = {"0",     "-1",  "4294967296", "18446744073709551616",
                                      "nan",   "",    "3 3",        "4 4 4 4",
                                      "int64", "hex", "???"};

int64_t fromEnvironment(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    return text == nullptr ? fallback : std::strtoll(text, nullptr, 10);
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One random change, most often in the header (before the blank line).
void mutate(std::string& file, std::mt19937_64& random) {
    if (file.empty()) {
        return;
    }
    const auto below = [&](size_t n) { return n == 0 ? size_t{0} : size_t(random() % n); };
    const size_t at = below(std::min(file.find("\n\n"), file.size()));
    const size_t lineStart = file.rfind('\n', at) + 1;  // npos + 1 == 0
    const size_t lineEnd = std::min(file.find('\n', lineStart), file.size());
    const size_t colon = file.find(": ", lineStart);
    switch (below(4)) {
        case 0:  // a byte of the header, or of the data
            file[below(2) == 0 ? at : below(file.size())] = static_cast<char>(random());
            break;
        case 1:  // a field's value
            if (colon < lineEnd) {
                file.replace(colon + 2, lineEnd - colon - 2,
                             kAwkwardValues[below(std::size(kAwkwardValues))]);
            }
            break;
        case 2: {  // a line dropped or repeated
            const std::string line = file.substr(lineStart, lineEnd + 1 - lineStart);
            const bool drop = below(2) == 0;
            file.replace(lineStart, drop ? line.size() : 0, drop ? "" : line);
            break;
        }
        default:
            file.resize(below(file.size() + 1));
    }
}

TEST(VolumeFuzz, CorruptedNrrdFilesAreReadOrRefusedInOneLine) {
    const fs::path directory =
        fs::temp_directory_path() / ("volume-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string unu = " && teem-unu make -i data.raw -s 4 4 4 -t ";
    ASSERT_EQ(std::system(("cd '" + directory.string() + "' && (printf '%0256d' 0 >data.raw" + unu +
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
        std::string file = readAll(directory / name);
        for (size_t m = random() % kMaxMutationsPerRound; m < kMaxMutationsPerRound; ++m) {
            mutate(file, random);
        }
        const std::string path =
            (directory / ("fuzzed" + fs::path(name).extension().string())).string();
        std::ofstream(path, std::ios::binary) << file;
        Volume volume;
        std::string error;
        if (loadVolume({path, {}, {}}, volume, error, kFuzzMemoryLimit)) {
            EXPECT_EQ(volume.samples.size(),
                      uint64_t(volume.sizes[0]) * volume.sizes[1] * uint64_t(volume.sizes[2]));
            EXPECT_LE(volume.minimum, volume.maximum);
        } else {
            EXPECT_TRUE(error.starts_with(path + ": ") && error.find('\n') == std::string::npos)
                << error;
        }
    }
    fs::remove_all(directory);
}

}  // namespace

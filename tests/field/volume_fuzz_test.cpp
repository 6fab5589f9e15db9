#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
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
// changed, numbers and field values swapped for awkward ones, lines dropped
// or repeated, the file cut short. Whatever the file holds, loading it either
// succeeds with a consistent volume or fails with one line naming the file;
// the sanitizer build turns any memory error into a failure. Deterministic
// for a given seed; MC_FUZZ_SEED and MC_FUZZ_ROUNDS override the defaults.

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kDefaultSeed = 20261207;
constexpr int64_t kDefaultRounds = 300;
constexpr int kMaxMutationsPerRound = 3;
// Small, so a header that claims a large volume is refused, not read.
constexpr uint64_t kFuzzMemoryLimit = uint64_t{64} << 20;

const std::vector<std::string> kAwkwardValues = {
    "0",       "-1",     "1",     "2147483647", "2147483648", "4294967296", "18446744073709551616",
    "nan",     "inf",    "1e308", "-0",         "",           "x",          "3 3",
    "4 4 4 4", "block",  "int64", "ascii",      "hex",        "bzip2",      "big",
    "little",  "double", "???"};

int64_t fromEnvironment(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    return text == nullptr ? fallback : std::strtoll(text, nullptr, 10);
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class Mutator {
  public:
    explicit Mutator(uint64_t seed) : random_(seed) {}

    size_t below(size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_);
    }

    void mutate(std::string& file) {
        const size_t headerEnd = std::min(file.find("\n\n"), file.size());
        switch (below(5)) {
            case 0:  // one byte, most often in the header
                if (!file.empty()) {
                    file[below(below(2) == 0 ? headerEnd : file.size())] =
                        static_cast<char>(below(256));
                }
                break;
            case 1:
                replaceValue(file, headerEnd);
                break;
            case 2:
                dropOrRepeatLine(file, headerEnd);
                break;
            case 3:
                file.resize(below(file.size() + 1));
                break;
            default:  // a run of the data overwritten
                for (size_t i = headerEnd; i < file.size() && below(4) != 0; ++i) {
                    file[headerEnd + below(file.size() - headerEnd)] =
                        static_cast<char>(below(256));
                }
                break;
        }
    }

  private:
    // The text after some "field: " in the header becomes an awkward value.
    void replaceValue(std::string& file, size_t headerEnd) {
        const size_t colon = file.find(": ", below(headerEnd));
        if (colon == std::string::npos || colon >= headerEnd) {
            return;
        }
        const size_t lineEnd = file.find('\n', colon);
        file.replace(colon + 2, lineEnd - colon - 2, kAwkwardValues[below(kAwkwardValues.size())]);
    }

    void dropOrRepeatLine(std::string& file, size_t headerEnd) {
        const size_t start = file.rfind('\n', below(headerEnd));
        const size_t from = start == std::string::npos ? 0 : start + 1;
        const size_t end = file.find('\n', from);
        if (end == std::string::npos) {
            return;
        }
        const std::string line = file.substr(from, end - from + 1);
        if (below(2) == 0) {
            file.erase(from, line.size());
        } else {
            file.insert(from, line);
        }
    }

    std::mt19937_64 random_;
};

TEST(VolumeFuzz, CorruptedNrrdFilesAreReadOrRefusedInOneLine) {
    const fs::path directory =
        fs::temp_directory_path() / ("volume-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string make = "cd '" + directory.string() + "' && (";
    writeAll(directory / "data.raw", std::string(4 * 4 * 4 * 4, '\x41'));
    ASSERT_EQ(std::system((make + "teem-unu make -i data.raw -t uchar -s 4 4 4 -sp 1 2 3 "
                                  "-o raw.nrrd && teem-unu make -i data.raw -t float -s 4 4 4 | "
                                  "teem-unu save -f nrrd -e gzip -o gzip.nrrd && teem-unu make "
                                  "-i data.raw -t short -s 8 4 4 | teem-unu save -f nrrd -en big "
                                  "-o big.nrrd && teem-unu make -i data.raw -t uint -s 4 4 4 -h "
                                  "-o detached.nhdr) 2>/dev/null")
                              .c_str()),
              0);
    const std::vector<std::string> seeds = {"raw.nrrd", "gzip.nrrd", "big.nrrd", "detached.nhdr"};
    std::vector<std::string> originals;
    for (const std::string& name : seeds) {
        originals.push_back(readAll(directory / name));
    }

    const auto seed = static_cast<uint64_t>(fromEnvironment("MC_FUZZ_SEED", kDefaultSeed));
    const int64_t rounds = fromEnvironment("MC_FUZZ_ROUNDS", kDefaultRounds);
    Mutator mutator(seed);
    int64_t loaded = 0;
    for (int64_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        const size_t which = mutator.below(seeds.size());
        std::string file = originals[which];
        const size_t mutations = 1 + mutator.below(kMaxMutationsPerRound);
        for (size_t m = 0; m < mutations; ++m) {
            mutator.mutate(file);
        }
        const fs::path path = directory / seeds[which];
        writeAll(path, file);
        Volume volume;
        std::string error;
        if (loadVolume({path.string(), {}, {}}, volume, error, kFuzzMemoryLimit)) {
            ++loaded;
            EXPECT_EQ(volume.samples.size(),
                      uint64_t(volume.sizes[0]) * volume.sizes[1] * uint64_t(volume.sizes[2]));
            EXPECT_LE(volume.minimum, volume.maximum);
        } else {
            EXPECT_TRUE(error.starts_with(path.string() + ": ")) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        }
        writeAll(path, originals[which]);
    }
    std::printf("%lld of %lld corrupted files loaded\n", static_cast<long long>(loaded),
                static_cast<long long>(rounds));
    fs::remove_all(directory);
}

}  // namespace

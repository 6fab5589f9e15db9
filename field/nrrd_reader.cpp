#include "field/nrrd_reader.h"

#include <teem/biff.h>
#include <teem/nrrd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "field/file_checks.h"
#include "field/nrrd_layout.h"

namespace {

constexpr unsigned int kVolumeAxes = 3;
constexpr std::string_view kLongestMagic = "NRRD00.01";
constexpr std::array<std::string_view, 7> kNrrdMagics{
    kLongestMagic, "NRRD0001", "NRRD0002", "NRRD0003", "NRRD0004", "NRRD0005", "NRRD0006"};

struct NrrdDeleter {
    void operator()(Nrrd* nrrd) const { nrrdNuke(nrrd); }
};
struct IoStateDeleter {
    void operator()(NrrdIoState* state) const { nrrdIoStateNix(state); }
};
using UniqueNrrd = std::unique_ptr<Nrrd, NrrdDeleter>;

constexpr SampleTypeCodes<int> kNrrdTypes{nrrdTypeUChar, nrrdTypeChar,  nrrdTypeUShort,
                                          nrrdTypeShort, nrrdTypeUInt,  nrrdTypeInt,
                                          nrrdTypeFloat, nrrdTypeDouble};

// Biff's message runs from the outermost call inwards, a line per level, each
// "[nrrd] function: text"; the innermost says what was actually wrong.
std::string takeTeemError() {
    char* message = biffGetDone(NRRD);
    std::string_view text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    text = text.substr(text.find_last_of('\n') + 1);  // npos + 1 == 0
    const size_t functionEnd = text.find(": ");
    if (text.starts_with("[") && functionEnd != std::string_view::npos) {
        text.remove_prefix(functionEnd + 2);
    }
    std::string line = "Teem cannot read it: " + std::string(text);
    std::free(message);
    return line;
}

// Teem reads PNG, PNM, VTK and text tables too, and its readers of those
// leak on files they refuse; a .nrrd or .nhdr file must be NRRD. Its NRRD
// reader claims a file only by one of these first lines (a line such as
// "NRRD00nan01" goes on to the text reader), so the whole line is checked.
bool startsWithNrrdMagic(const std::string& path, std::string& problem) {
    char start[kLongestMagic.size() + 1] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    const size_t read = file != nullptr ? std::fread(start, 1, sizeof start, file) : 0;
    if (file != nullptr) {
        std::fclose(file);
    }
    const std::string_view text(start, read);
    const bool magic = std::ranges::any_of(kNrrdMagics, [text](std::string_view line) {
        return text.size() > line.size() && text.starts_with(line) &&
               (text[line.size()] == '\n' || text[line.size()] == '\r');
    });
    if (!magic) {
        problem =
            "not a NRRD file: it does not start with a NRRD magic line (NRRD0001 to NRRD0006)";
        return false;
    }
    return true;
}

using UniqueIoState = std::unique_ptr<NrrdIoState, IoStateDeleter>;

bool loadWithTeem(const std::string& path, Nrrd* nrrd, NrrdIoState* state, bool headerOnly,
                  std::string& problem) {
    // Teem reports its reading progress on stderr unless told not to.
    nrrdStateVerboseIO = 0;
    state->skipData = headerOnly ? AIR_TRUE : AIR_FALSE;
    if (nrrdLoad(nrrd, path.c_str(), state) != 0) {
        problem = takeTeemError();
        return false;
    }
    return true;
}

bool checkHeader(const Nrrd& nrrd, SampleType& type, uint64_t& samples, std::string& problem) {
    if (nrrd.dim != kVolumeAxes) {
        problem = "the data have " + std::to_string(nrrd.dim) + " axes, not 3";
        return false;
    }
    const std::optional<SampleType> known = sampleTypeFor(kNrrdTypes, nrrd.type);
    if (!known) {
        problem = "the sample type is not an 8-, 16- or 32-bit integer, float or double";
        return false;
    }
    type = *known;
    const std::array<uint64_t, 3> sizes{nrrd.axis[0].size, nrrd.axis[1].size, nrrd.axis[2].size};
    return countSamples(sizes, samples, problem);
}

// Unknown (NaN) or meaningless (0) spacings leave the grid's own unit; any
// other must stay a finite, positive float, or every vertex of the mesh
// would become infinite or collapse onto a plane.
bool readSpacing(const Nrrd& nrrd, unsigned int axis, float& spacing, std::string& problem) {
    double value = std::nan("");
    double direction[NRRD_SPACE_DIM_MAX];
    nrrdSpacingCalculate(&nrrd, axis, &value, direction);
    spacing = std::isnan(value) || value == 0.0 ? 1.0f : static_cast<float>(std::fabs(value));
    if (!std::isfinite(spacing) || spacing <= 0.0f) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        problem = "the spacing " + std::string(text) + " of axis " + std::to_string(axis + 1) +
                  " is outside the range of a float";
        return false;
    }
    return true;
}

// The unit every axis names alike ("mm"), or "" when they differ or one
// names none.
std::string commonUnit(const std::array<const char*, kVolumeAxes>& units) {
    const std::string_view first = units[0] != nullptr ? units[0] : "";
    const bool alike = std::ranges::all_of(
        units, [first](const char* unit) { return unit != nullptr && unit == first; });
    return alike ? std::string(first) : "";
}

// With a three-dimensional space, the axes' space directions and the space
// origin place the grid; otherwise (or when they do not span the space) the
// spacings already read scale it, sample (0, 0, 0) at the origin, as before
// spaces were read. An origin not given is the space's origin; one beyond
// the floats would put every vertex at infinity.
bool placeInWorld(const Nrrd& nrrd, Volume& volume, std::string& problem) {
    const IndexToWorld spaced = IndexToWorld::scaled(volume.spacing);
    IndexToWorld placed;
    for (unsigned int row = 0; row < kVolumeAxes && nrrd.spaceDim == kVolumeAxes; ++row) {
        for (unsigned int axis = 0; axis < kVolumeAxes; ++axis) {
            placed.axes[axis][row] = nrrd.axis[axis].spaceDirection[row];
        }
        const double origin = nrrd.spaceOrigin[row];
        placed.origin[row] = std::isnan(origin) ? 0.0 : origin;
        if (!std::isfinite(static_cast<float>(placed.origin[row]))) {
            problem = "the space origin is outside the range of a float";
            return false;
        }
    }
    const bool spaced3d = nrrd.spaceDim == kVolumeAxes && placed.invertible();
    volume.placeInWorld(spaced3d ? placed : spaced);
    using Units = std::array<const char*, kVolumeAxes>;
    volume.unit =
        commonUnit(nrrd.spaceDim == kVolumeAxes
                       ? Units{nrrd.spaceUnits[0], nrrd.spaceUnits[1], nrrd.spaceUnits[2]}
                       : Units{nrrd.axis[0].units, nrrd.axis[1].units, nrrd.axis[2].units});
    return true;
}

// The bytes the data take in the file or files, past the header: checked
// first, as Teem opens every data file with the header alone.
bool findStoredBytes(const std::string& path, uint64_t& storedBytes, std::string& problem) {
    NrrdLayout layout;
    if (!readNrrdLayout(path, layout, problem)) {
        return false;
    }
    uint64_t bytes = 0;
    if (layout.dataFiles.empty()) {
        if (!checkRegularFile(path, bytes, problem)) {
            return false;
        }
        storedBytes = bytes > layout.headerBytes ? bytes - layout.headerBytes : 0;
        return true;
    }
    storedBytes = 0;
    for (const std::string& name : layout.dataFiles) {
        if (!checkRegularFile(name, bytes, problem)) {
            problem = "data file " + name + ": " + problem;
            return false;
        }
        storedBytes += bytes;
    }
    return true;
}

// The most bytes one stored byte gives: raw data 1, deflate at most 1032;
// other encodings are bounded only by the memory check.
uint64_t expansionOf(const NrrdEncoding* encoding) {
    constexpr uint64_t kDeflateMostExpansion = 1032;
    return encoding == nrrdEncodingRaw    ? 1
           : encoding == nrrdEncodingGzip ? kDeflateMostExpansion
                                          : 0;
}

// A header claiming far more samples than its data can hold is refused
// before Teem allocates for the claim.
bool dataHoldClaim(const NrrdIoState& state, uint64_t storedBytes, uint64_t claimedBytes,
                   std::string& problem) {
    const uint64_t expansion = expansionOf(state.encoding);
    const auto skipped = static_cast<uint64_t>(std::max(state.byteSkip, 0L));
    return expansion == 0 ||
           holdsClaim(claimedBytes, storedBytes > skipped ? storedBytes - skipped : 0, expansion,
                      problem);
}

}  // namespace

bool loadNrrd(const std::string& path, Volume& volume, std::string& problem,
              const VolumeSizeCheck& check) {
    SampleType type{};
    uint64_t samples = 0;
    uint64_t storedBytes = 0;
    UniqueNrrd header(nrrdNew());
    const UniqueIoState headerState(nrrdIoStateNew());
    if (!startsWithNrrdMagic(path, problem) || !findStoredBytes(path, storedBytes, problem) ||
        !loadWithTeem(path, header.get(), headerState.get(), true, problem) ||
        !checkHeader(*header, type, samples, problem) ||
        !dataHoldClaim(*headerState, storedBytes, samples * sampleTypeSize(type), problem) ||
        !check(samples * sampleTypeSize(type), problem)) {
        return false;
    }
    UniqueNrrd nrrd(nrrdNew());
    const UniqueIoState state(nrrdIoStateNew());
    // The file is read again in full; checked again, as it may have changed.
    if (!loadWithTeem(path, nrrd.get(), state.get(), false, problem) ||
        !checkHeader(*nrrd, type, samples, problem) ||
        !check(samples * sampleTypeSize(type), problem)) {
        return false;
    }
    for (unsigned int axis = 0; axis < kVolumeAxes; ++axis) {
        volume.sizes[axis] = static_cast<int32_t>(nrrd->axis[axis].size);
        if (!readSpacing(*nrrd, axis, volume.spacing[axis], problem)) {
            return false;
        }
    }
    if (!placeInWorld(*nrrd, volume, problem)) {
        return false;
    }
    // The decoded block becomes the volume's samples, so gzip data are never
    // held twice; Teem allocates it with malloc.
    volume.samples.adopt(type, nrrd->data, samples);
    nrrd->data = nullptr;
    return true;
}

#include "field/dicom_reader.h"

#include "field/quiet_stderr.h"
#include "field/rescaled_samples.h"

#include <gdcmDicts.h>
#include <gdcmGlobal.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <gdcmScanner.h>
#include <gdcmTrace.h>
#include <gdcmTransferSyntax.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Vector = IndexToWorld::Vector;

const gdcm::Tag kSeriesUid(0x0020, 0x000e);
const gdcm::Tag kPosition(0x0020, 0x0032);
const gdcm::Tag kOrientation(0x0020, 0x0037);
const gdcm::Tag kSamplesPerPixel(0x0028, 0x0002);
const gdcm::Tag kBitsAllocated(0x0028, 0x0100);
const gdcm::Tag kPixelRepresentation(0x0028, 0x0103);
// An enhanced multi-frame file keeps its frames' positions and orientation
// in functional groups, not at the top level.
const gdcm::Tag kSharedGroups(0x5200, 0x9229);
const gdcm::Tag kPerFrameGroups(0x5200, 0x9230);
const gdcm::Tag kPlanePosition(0x0020, 0x9113);
const gdcm::Tag kPlaneOrientation(0x0020, 0x9116);
const gdcm::Tag kPixelMeasures(0x0028, 0x9110);
const gdcm::Tag kPixelSpacing(0x0028, 0x0030);
const gdcm::Tag kPixelData(0x7fe0, 0x0010);

// Cosines of one slice and the next may differ by rounding in their text.
constexpr double kCosineTolerance = 1e-4;

using gdcm::PixelFormat;
constexpr SampleTypeCodes<PixelFormat::ScalarType> kGdcmTypes{
    PixelFormat::UINT8,  PixelFormat::INT8,  PixelFormat::UINT16,  PixelFormat::INT16,
    PixelFormat::UINT32, PixelFormat::INT32, PixelFormat::FLOAT32, PixelFormat::FLOAT64};

Vector cross(const Vector& u, const Vector& v) {
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

double dot(const Vector& u, const Vector& v) {
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

double distance(const Vector& u, const Vector& v) {
    const Vector d{u[0] - v[0], u[1] - v[1], u[2] - v[2]};
    return std::sqrt(dot(d, d));
}

// GDCM's trace goes to stderr in some builds; the reader's only voice is
// `problem`.
void silenceGdcm() {
    gdcm::Trace::SetDebug(false);
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
}

std::string trimmed(const char* text) {
    std::string value = text != nullptr ? text : "";
    while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) {
        value.pop_back();
    }
    return value;
}

// A DICOM multi-valued decimal string, "a\b\c"; an empty list when any value
// is not a finite number.
std::vector<double> decimals(const char* text) {
    std::vector<double> values;
    std::istringstream stream(trimmed(text));
    std::string part;
    while (std::getline(stream, part, '\\')) {
        std::istringstream number(part);
        double value = 0.0;
        if (!(number >> value) || !std::isfinite(value)) {
            return {};
        }
        values.push_back(value);
    }
    return values;
}

constexpr uint16_t kMetaGroup = 0x0002;
constexpr uint16_t kMetaSyntaxElement = 0x0010;
constexpr uint16_t kItemGroup = 0xfffe;  // items and delimiters carry no VR
constexpr uint32_t kUndefinedLength = 0xffffffff;
constexpr std::string_view kImplicitLittleEndian = "1.2.840.10008.1.2";
// Not walked past the meta group: big-endian and deflated data sets.
constexpr std::array<std::string_view, 2> kUnwalkedSyntaxes{"1.2.840.10008.1.2.2",
                                                            "1.2.840.10008.1.2.1.99"};
constexpr std::array<std::string_view, 33> kValueRepresentations{
    "AE", "AS", "AT", "CS", "DA", "DS", "DT", "FL", "FD", "IS", "LO",
    "LT", "OB", "OD", "OF", "OL", "OV", "OW", "PN", "SH", "SL", "SQ",
    "SS", "ST", "SV", "TM", "UC", "UI", "UL", "UN", "UR", "US", "UT"};
// The representations whose length takes four bytes, after two reserved.
constexpr std::array<std::string_view, 11> kLongRepresentations{"OB", "OD", "OF", "OL", "OV", "OW",
                                                                "SQ", "UC", "UN", "UR", "UT"};

uint32_t littleEndian(const unsigned char* bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// One data element's header, as read from a little-endian file.
struct ElementHeader {
    uint16_t group = 0;
    uint16_t element = 0;
    uint32_t length = 0;
    uint64_t valueAt = 0;                     // where its value starts in the file
    bool sequence = false;                    // known (explicit VR) to hold items
    gdcm::VR::VRType vr = gdcm::VR::INVALID;  // as the file gives it (explicit VR)
};

// Reads the header at the stream's place; false when the file ends within
// it or (explicit VR) its value representation is unknown.
bool readHeader(std::istream& in, bool explicitVr, ElementHeader& header) {
    unsigned char bytes[12] = {};
    if (!in.read(reinterpret_cast<char*>(bytes), 8)) {
        return false;
    }
    header.group = static_cast<uint16_t>(littleEndian(bytes, 2));
    header.element = static_cast<uint16_t>(littleEndian(bytes + 2, 2));
    header.length = littleEndian(bytes + 4, 4);
    if (explicitVr && header.group != kItemGroup) {
        const std::string_view vr(reinterpret_cast<const char*>(bytes + 4), 2);
        if (std::ranges::find(kValueRepresentations, vr) == kValueRepresentations.end()) {
            return false;
        }
        const bool longLength =
            std::ranges::find(kLongRepresentations, vr) != kLongRepresentations.end();
        if (longLength && !in.read(reinterpret_cast<char*>(bytes + 8), 4)) {
            return false;
        }
        header.length = longLength ? littleEndian(bytes + 8, 4) : littleEndian(bytes + 6, 2);
        header.sequence = vr == "SQ";
        header.vr = gdcm::VR::GetVRTypeFromFile(std::string(vr).c_str());
    }
    header.valueAt = static_cast<uint64_t>(in.tellg());
    return true;
}

// How far a walk through a file's elements got: all whole, a damaged one,
// or stopped at a length of undefined size, which GDCM finds for itself.
enum class Walk { kWhole, kDamaged, kStopped };

// Deeper nesting than any real file has is taken for damage.
constexpr int kMaxNesting = 32;
constexpr uint16_t kItem = 0xe000;
constexpr uint16_t kItemEnd = 0xe00d;
constexpr uint16_t kSequenceEnd = 0xe0dd;

// GDCM asserts when an attribute it reads has a value representation its
// dictionary does not allow for it.
bool agreesWithDictionary(const ElementHeader& header) {
    const gdcm::Tag tag(header.group, header.element);
    if (tag.IsPrivate() || header.vr == gdcm::VR::INVALID || header.vr == gdcm::VR::UN) {
        return true;
    }
    const gdcm::VR known =
        gdcm::Global::GetInstance().GetDicts().GetPublicDict().GetDictEntry(tag).GetVR();
    return known == gdcm::VR::INVALID || known.Compatible(gdcm::VR(header.vr));
}

// Where a walk ends: at `end`, or, when `delimited` (a length of undefined
// size), at its delimiter, which must come before `end`.
struct Span {
    uint64_t end = 0;
    bool delimited = false;
};

Walk walkElements(std::istream& in, Span span, bool explicitVr, int depth);

// The span of a value: its own length, or up to its delimiter within `outer`.
Span spanOf(const ElementHeader& header, uint64_t outer) {
    return header.length == kUndefinedLength ? Span{outer, true}
                                             : Span{header.valueAt + header.length, false};
}

bool endsAt(std::istream& in, Span span) {
    return static_cast<uint64_t>(in.tellg()) >= span.end;
}

// The items of a sequence, each a data set walked alike.
Walk walkItems(std::istream& in, Span span, bool explicitVr, int depth) {
    ElementHeader item;
    while (!endsAt(in, span)) {
        if (!readHeader(in, false, item) || item.group != kItemGroup) {
            return Walk::kDamaged;
        }
        if (span.delimited && item.element == kSequenceEnd) {
            return Walk::kWhole;
        }
        const Span inner = spanOf(item, span.end);
        if (item.element != kItem || inner.end > span.end) {
            return Walk::kDamaged;
        }
        if (const Walk nested = walkElements(in, inner, explicitVr, depth + 1);
            nested != Walk::kWhole) {
            return nested;
        }
        if (!inner.delimited) {
            in.seekg(static_cast<std::streamoff>(inner.end));
        }
    }
    return span.delimited ? Walk::kDamaged : Walk::kWhole;
}

// The elements of a data set, each whole within its span, and the items of
// each sequence within the sequence.
Walk walkElements(std::istream& in, Span span, bool explicitVr, int depth) {
    if (depth > kMaxNesting) {
        return Walk::kDamaged;
    }
    ElementHeader header;
    while (!endsAt(in, span)) {
        if (!readHeader(in, explicitVr, header) || !agreesWithDictionary(header)) {
            return Walk::kDamaged;
        }
        if (span.delimited && header.group == kItemGroup && header.element == kItemEnd) {
            return Walk::kWhole;
        }
        if (header.length == kUndefinedLength && !header.sequence) {
            return Walk::kStopped;  // encapsulated pixel data, or a sequence of unknown VR
        }
        const Span value = spanOf(header, span.end);
        if (value.end > span.end) {
            return Walk::kDamaged;
        }
        if (header.sequence) {
            if (const Walk items = walkItems(in, value, explicitVr, depth + 1);
                items != Walk::kWhole) {
                return items;
            }
        }
        if (!value.delimited) {
            in.seekg(static_cast<std::streamoff>(value.end));
        }
    }
    return span.delimited ? Walk::kDamaged : Walk::kWhole;
}

// GDCM asserts, and so aborts the process, on a file cut short or holding
// an unknown value representation or a sequence whose items overrun it.
// Such files are refused before GDCM sees them: the meta group is read
// element by element, then the data set is walked, each element whole within
// the file and each sequence's items within the sequence, up to the first
// of undefined length, which GDCM walks itself.
bool elementsAreWhole(const std::string& path) {
    std::error_code error;
    const uint64_t size = fs::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    in.seekg(kDicomElementsStart);
    std::string syntax;
    ElementHeader header;
    while (!error && in && static_cast<uint64_t>(in.tellg()) < size) {
        const std::streamoff start = in.tellg();
        // The group comes first whatever the encoding: the meta group is
        // always explicit VR, the data set as its transfer syntax says.
        if (!readHeader(in, false, header)) {
            return false;
        }
        in.seekg(start);
        if (header.group != kMetaGroup) {
            if (std::ranges::find(kUnwalkedSyntaxes, syntax) != kUnwalkedSyntaxes.end()) {
                return true;
            }
            return walkElements(in, {size, false}, syntax != kImplicitLittleEndian, 0) !=
                   Walk::kDamaged;
        }
        if (!readHeader(in, true, header) || header.length == kUndefinedLength ||
            header.valueAt + header.length > size) {
            return false;
        }
        if (header.element == kMetaSyntaxElement) {
            syntax.resize(header.length);
            in.read(syntax.data(), header.length);
            syntax = trimmed(syntax.c_str());
        }
        in.seekg(static_cast<std::streamoff>(header.valueAt + header.length));
    }
    return false;  // a meta group alone, or a file that cannot be read
}

// The folder's DICOM files: those with the preamble, bar a DICOMDIR index.
// Files without it are left out; one whose meta group is damaged is refused.
bool dicomFilesIn(const fs::path& folder, std::vector<std::string>& files, std::string& problem) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string path = entry.path().string();
        if (!entry.is_regular_file(error) || entry.path().filename() == "DICOMDIR" ||
            !hasDicomPreamble(path)) {
            continue;
        }
        if (!elementsAreWhole(path)) {
            problem = entry.path().filename().string() + ": the DICOM file is cut short or damaged";
            return false;
        }
        files.push_back(path);
    }
    if (error) {
        problem = "cannot list the folder: " + error.message();
        return false;
    }
    std::ranges::sort(files);
    return true;
}

// A UID as a refusal names it, on one line whatever bytes a damaged file
// gives it.
std::string shownUid(std::string uid) {
    std::ranges::replace_if(
        uid, [](unsigned char c) { return c < 0x20 || c > 0x7e; }, '?');
    return uid;
}

// The files of the series to read, from those the scanner took for DICOM.
bool pickSeries(const gdcm::Scanner& scanner, const std::vector<std::string>& files,
                std::optional<std::string> wanted, std::vector<std::string>& chosen,
                std::string& problem) {
    std::map<std::string, std::vector<std::string>> bySeries;
    for (const std::string& file : files) {
        if (scanner.IsKey(file.c_str())) {
            bySeries[trimmed(scanner.GetValue(file.c_str(), kSeriesUid))].push_back(file);
        }
    }
    if (bySeries.empty()) {
        problem = "no DICOM image in the folder";
        return false;
    }
    std::string known;
    for (const auto& [uid, members] : bySeries) {
        known += (known.empty() ? "" : ", ") + shownUid(uid);
    }
    if (!wanted && bySeries.size() > 1) {
        problem = "the folder holds " + std::to_string(bySeries.size()) + " series (" + known +
                  "); pick one with --series UID";
        return false;
    }
    const auto found = wanted ? bySeries.find(*wanted) : bySeries.begin();
    if (found == bySeries.end()) {
        problem = "no series " + shownUid(*wanted) + " in the folder (it holds " + known + ")";
        return false;
    }
    chosen = found->second;
    return true;
}

// One slice's file, its frame in that file, and its place along the slice
// normal.
struct Slice {
    std::string file;
    uint32_t frame = 0;
    Vector position{};
    double along = 0.0;
};

// Where the slices lie: along the normal, and for an enhanced file at the
// in-plane spacing its functional groups give (GDCM's reading of it falls
// back to 1 mm when the frames are stored out of order).
struct Placement {
    Vector normal{};
    std::optional<std::array<double, 2>> pixelSpacing;
};

Vector toVector(const std::vector<double>& values, size_t first) {
    return {values[first], values[first + 1], values[first + 2]};
}

// GDCM asserts on pixel formats outside the standard's: samples per pixel
// other than 1, 3 or 4, a pixel representation other than 0 or 1. Only
// greyscale is read, of the sizes SampleType has.
bool checkPixelFormat(const gdcm::Scanner& scanner, const std::string& file, std::string& problem) {
    const auto value = [&](const gdcm::Tag& tag) {
        return trimmed(scanner.GetValue(file.c_str(), tag));
    };
    const std::string name = fs::path(file).filename().string();
    if (value(kSamplesPerPixel) != "1") {
        problem = name + " is not a greyscale image (Samples per Pixel is not 1)";
        return false;
    }
    const std::string bits = value(kBitsAllocated);
    const std::string representation = value(kPixelRepresentation);
    if ((bits != "8" && bits != "16" && bits != "32" && bits != "64") ||
        (representation != "0" && representation != "1")) {
        problem = name + ": Bits Allocated " + bits + " or Pixel Representation " + representation +
                  " is not one that is read";
        return false;
    }
    return true;
}

std::string nameOf(const std::string& file) {
    return fs::path(file).filename().string();
}

bool normalOf(const std::vector<double>& cosines, const std::string& file, Vector& normal,
              std::string& problem) {
    if (cosines.size() != 6) {
        problem = nameOf(file) + " has no usable Image Orientation (Patient)";
        return false;
    }
    normal = cross(toVector(cosines, 0), toVector(cosines, 3));
    return true;
}

// Adds the slice at `position` (three decimals), or says which has none.
bool addSlice(Slice slice, const std::vector<double>& position, const Vector& normal,
              std::vector<Slice>& slices, const std::string& which, std::string& problem) {
    if (position.size() != 3) {
        problem = which + " has no usable Image Position (Patient)";
        return false;
    }
    slice.position = toVector(position, 0);
    slice.along = dot(slice.position, normal);
    slices.push_back(std::move(slice));
    return true;
}

// The series' files as slices in order along the normal of the first file's
// orientation.
bool sortSlices(const gdcm::Scanner& scanner, const std::vector<std::string>& files,
                std::vector<Slice>& slices, Placement& placement, std::string& problem) {
    if (!normalOf(decimals(scanner.GetValue(files[0].c_str(), kOrientation)), files[0],
                  placement.normal, problem)) {
        return false;
    }
    for (const std::string& file : files) {
        if (!addSlice({file}, decimals(scanner.GetValue(file.c_str(), kPosition)), placement.normal,
                      slices, nameOf(file), problem)) {
            return false;
        }
    }
    std::ranges::sort(slices, {}, &Slice::along);
    return true;
}

// A sequence's items; null when the data set has none, or when its value
// (read without a known VR) does not parse as a sequence.
gdcm::SmartPointer<gdcm::SequenceOfItems> itemsOf(const gdcm::DataSet& set, const gdcm::Tag& tag) {
    try {
        return set.FindDataElement(tag) ? set.GetDataElement(tag).GetValueAsSQ() : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// The decimals of `tag` in the first `macro` item of item `index` of the
// functional group sequence `groups`; empty when any of it is missing.
std::vector<double> groupDecimals(const gdcm::DataSet& set, const gdcm::Tag& groups, size_t index,
                                  const gdcm::Tag& macro, const gdcm::Tag& tag) {
    const auto group = itemsOf(set, groups);
    if (!group || index >= group->GetNumberOfItems()) {
        return {};
    }
    const auto values = itemsOf(group->GetItem(index + 1).GetNestedDataSet(), macro);
    if (!values || values->GetNumberOfItems() == 0 ||
        !values->GetItem(1).GetNestedDataSet().FindDataElement(tag)) {
        return {};
    }
    const gdcm::ByteValue* bytes =
        values->GetItem(1).GetNestedDataSet().GetDataElement(tag).GetByteValue();
    return bytes != nullptr ? decimals(std::string(bytes->GetPointer(), bytes->GetLength()).c_str())
                            : std::vector<double>{};
}

// A value every frame shares: from the shared functional groups, or else
// from the first frame's.
std::vector<double> sharedDecimals(const gdcm::DataSet& set, const gdcm::Tag& macro,
                                   const gdcm::Tag& tag) {
    std::vector<double> values = groupDecimals(set, kSharedGroups, 0, macro, tag);
    return values.empty() ? groupDecimals(set, kPerFrameGroups, 0, macro, tag) : values;
}

// An enhanced multi-frame file's frames as slices, in order along the normal.
bool sortFrames(const gdcm::DataSet& set, const std::string& file, uint32_t frames,
                std::vector<Slice>& slices, Placement& placement, std::string& problem) {
    if (!normalOf(sharedDecimals(set, kPlaneOrientation, kOrientation), file, placement.normal,
                  problem)) {
        return false;
    }
    // Rows apart, then columns apart: the spacing along y, then along x.
    const std::vector<double> spacing = sharedDecimals(set, kPixelMeasures, kPixelSpacing);
    if (spacing.size() != 2 || !(spacing[0] > 0.0 && spacing[1] > 0.0)) {
        problem = nameOf(file) + " has no usable Pixel Spacing";
        return false;
    }
    placement.pixelSpacing = {spacing[1], spacing[0]};
    for (uint32_t frame = 0; frame < frames; ++frame) {
        if (!addSlice({file, frame},
                      groupDecimals(set, kPerFrameGroups, frame, kPlanePosition, kPosition),
                      placement.normal, slices,
                      nameOf(file) + ": frame " + std::to_string(frame + 1), problem)) {
            return false;
        }
    }
    std::ranges::sort(slices, {}, &Slice::along);
    return true;
}

std::string millimetres(double value) {
    std::ostringstream text;
    text.precision(6);
    text << value << " mm";
    return text.str();
}

// The gaps between neighbouring slices must all be the smallest one, within
// the tolerance; gaps that are whole multiples of it are missing slices.
bool checkGaps(const std::vector<Slice>& slices, std::string& problem) {
    std::vector<double> gaps;
    for (size_t s = 1; s < slices.size(); ++s) {
        gaps.push_back(slices[s].along - slices[s - 1].along);
    }
    const auto [smallest, largest] = std::ranges::minmax(gaps);
    if (!(smallest > 0.0)) {
        problem = "two slices lie at one position (" +
                  fs::path(slices[0].file).filename().string() +
                  " and others); is more than one series in the folder?";
        return false;
    }
    const double tolerance = kSliceGapTolerance * smallest;
    if (largest - smallest <= tolerance) {
        return true;
    }
    int64_t missing = 0;
    bool multiples = true;
    for (const double gap : gaps) {
        const double steps = std::round(gap / smallest);
        multiples = multiples && std::fabs(gap - steps * smallest) <= tolerance;
        missing += static_cast<int64_t>(steps) - 1;
    }
    problem = multiples ? std::to_string(missing) + " slices are missing: the gaps between them " +
                              "are multiples of " + millimetres(smallest)
                        : "uneven slice spacing: gaps from " + millimetres(smallest) + " to " +
                              millimetres(largest) + " along the slice normal";
    return false;
}

// Every slice on the line from the first to the last, evenly.
bool checkLine(const std::vector<Slice>& slices, const Vector& step, std::string& problem) {
    const double tolerance = kSliceGapTolerance * std::sqrt(dot(step, step));
    for (size_t s = 0; s < slices.size(); ++s) {
        Vector expected = slices[0].position;
        for (size_t row = 0; row < 3; ++row) {
            expected[row] += static_cast<double>(s) * step[row];
        }
        if (distance(expected, slices[s].position) > tolerance) {
            problem = "the slices do not lie along one line (" +
                      fs::path(slices[s].file).filename().string() + " is off it)";
            return false;
        }
    }
    return true;
}

// What every slice must share with the first.
struct SliceShape {
    std::array<unsigned int, 3> dimensions{};
    std::array<double, 6> cosines{};
    std::array<double, 2> spacing{};
    gdcm::PixelFormat::ScalarType scalarType = gdcm::PixelFormat::UNKNOWN;
    SampleType type = SampleType::kUint8;

    bool operator==(const SliceShape& other) const {
        bool same = dimensions == other.dimensions && scalarType == other.scalarType &&
                    std::fabs(spacing[0] - other.spacing[0]) <= kSliceGapTolerance * spacing[0] &&
                    std::fabs(spacing[1] - other.spacing[1]) <= kSliceGapTolerance * spacing[1];
        for (size_t c = 0; c < cosines.size(); ++c) {
            same = same && std::fabs(cosines[c] - other.cosines[c]) <= kCosineTolerance;
        }
        return same;
    }
};

// GDCM asserts, and so aborts, reading the image of an enhanced file whose
// functional groups give no plane orientation, or a frame no position: the
// data set before the pixels is read first, and such a file refused.
bool framesArePlaced(const std::string& file, std::string& problem) {
    gdcm::Reader reader;
    reader.SetFileName(file.c_str());
    if (!reader.ReadUpToTag(kPixelData)) {
        return true;  // the image reader says what is wrong with it
    }
    const gdcm::DataSet& set = reader.GetFile().GetDataSet();
    const auto frames = itemsOf(set, kPerFrameGroups);
    bool placed = !set.FindDataElement(kPerFrameGroups) ||
                  (frames && sharedDecimals(set, kPlaneOrientation, kOrientation).size() == 6);
    for (size_t frame = 0; placed && frames && frame < frames->GetNumberOfItems(); ++frame) {
        placed = groupDecimals(set, kPerFrameGroups, frame, kPlanePosition, kPosition).size() == 3;
    }
    if (!placed) {
        problem = nameOf(file) + " has frames without a plane orientation or position";
    }
    return placed;
}

// A reader reads one file: read again, it keeps the first file's data.
std::unique_ptr<gdcm::ImageReader> readImage(const std::string& file, std::string& problem) {
    if (!framesArePlaced(file, problem)) {
        return nullptr;
    }
    auto reader = std::make_unique<gdcm::ImageReader>();
    reader->SetFileName(file.c_str());
    bool read = false;
    {
        // GDCM's codecs (OpenJPEG among them) complain on stderr past its trace switches.
        const QuietStderr quiet;
        read = reader->Read();
    }
    if (!read) {
        problem = "GDCM cannot read the image in " + fs::path(file).filename().string();
        return nullptr;
    }
    return reader;
}

bool shapeOf(const gdcm::Image& image, const std::string& file, const Placement& placement,
             SliceShape& shape, std::string& problem) {
    const std::string name = fs::path(file).filename().string();
    const gdcm::PixelFormat& format = image.GetPixelFormat();
    if (format.GetSamplesPerPixel() != 1) {
        problem = name + " is a colour image; only greyscale is read";
        return false;
    }
    shape.scalarType = format.GetScalarType();
    const std::optional<SampleType> known = sampleTypeFor(kGdcmTypes, shape.scalarType);
    if (!known) {
        problem = name + ": the pixels are " + format.GetScalarTypeAsString() +
                  ", not 8-, 16- or 32-bit integers, floats or doubles";
        return false;
    }
    shape.type = *known;
    shape.dimensions = {image.GetDimension(0), image.GetDimension(1),
                        image.GetNumberOfDimensions() > 2 ? image.GetDimension(2) : 1};
    std::ranges::copy_n(image.GetDirectionCosines(), 6, shape.cosines.begin());
    std::ranges::copy_n(image.GetSpacing(), 2, shape.spacing.begin());
    shape.spacing = placement.pixelSpacing.value_or(shape.spacing);
    return true;
}

// Decodes the image's pixels into `buffer`.
bool decodePixels(const gdcm::Image& image, const SliceShape& shape, const std::string& file,
                  std::vector<char>& buffer, std::string& problem) {
    buffer.resize(image.GetBufferLength());
    bool decoded = false;
    {
        // GDCM's codecs (OpenJPEG among them) complain on stderr past its trace switches.
        const QuietStderr quiet;
        decoded = image.GetBuffer(buffer.data());
    }
    if (!decoded) {
        problem = "GDCM cannot decode the pixel data of " + nameOf(file) + " (transfer syntax " +
                  gdcm::TransferSyntax::GetTSString(image.GetTransferSyntax()) + ")";
        return false;
    }
    const size_t count = size_t{shape.dimensions[0]} * shape.dimensions[1] * shape.dimensions[2];
    if (buffer.size() < count * sampleTypeSize(shape.type)) {
        problem = nameOf(file) + " holds fewer pixels than its size says";
        return false;
    }
    return true;
}

// Rows along the first cosines, columns along the second, slices by `step`.
IndexToWorld worldOf(const SliceShape& shape, const Vector& origin, const Vector& step) {
    IndexToWorld placed;
    for (size_t row = 0; row < 3; ++row) {
        placed.axes[0][row] = shape.cosines[row] * shape.spacing[0];
        placed.axes[1][row] = shape.cosines[row + 3] * shape.spacing[1];
        placed.axes[2][row] = step[row];
    }
    placed.origin = origin;
    return placed;
}

bool placeSlices(const std::vector<Slice>& slices, const Vector& normal, const gdcm::Image& first,
                 Vector& step, std::string& problem) {
    if (slices.size() == 1) {
        // One file: its own frames' spacing (one unit for a single slice).
        const double spacing = first.GetNumberOfDimensions() > 2 ? first.GetSpacing(2) : 1.0;
        const double length = std::sqrt(dot(normal, normal));
        for (size_t row = 0; row < 3; ++row) {
            step[row] = normal[row] / length * spacing;
        }
        return true;
    }
    const double count = static_cast<double>(slices.size() - 1);
    for (size_t row = 0; row < 3; ++row) {
        step[row] = (slices.back().position[row] - slices.front().position[row]) / count;
    }
    return checkGaps(slices, problem) && checkLine(slices, step, problem);
}

// Reads the slices' pixels into the volume. `reader` has read the first
// slice's file. A slice is a frame of an enhanced multi-frame file, or a
// whole file: of one frame, or of several when it is the series alone.
bool readSlices(const std::vector<Slice>& slices, std::unique_ptr<gdcm::ImageReader> reader,
                const Placement& placement, Volume& volume, std::string& problem,
                const VolumeSizeCheck& check) {
    SliceShape shape;
    if (!shapeOf(reader->GetImage(), slices[0].file, placement, shape, problem)) {
        return false;
    }
    const bool framesAreSlices = slices.size() > 1 && slices.front().file == slices.back().file;
    if (slices.size() > 1 && !framesAreSlices && shape.dimensions[2] > 1) {
        problem =
            "the series mixes multi-frame files with others; give one file or a folder of "
            "single frames";
        return false;
    }
    const uint64_t sliceSamples = uint64_t{shape.dimensions[0]} * shape.dimensions[1] *
                                  (framesAreSlices ? 1 : shape.dimensions[2]);
    const std::array<uint64_t, 3> sizes{
        shape.dimensions[0], shape.dimensions[1],
        sliceSamples / shape.dimensions[0] / shape.dimensions[1] * slices.size()};
    Vector step{};
    uint64_t samples = 0;
    // A decoded file is held whole: one slice, or every frame of an enhanced file.
    const auto decodedSamples = [&] { return framesAreSlices ? samples : sliceSamples; };
    if (!placeSlices(slices, placement.normal, reader->GetImage(), step, problem) ||
        !countSamples(sizes, samples, problem) ||
        !check(samples * sizeof(float) + decodedSamples() * sizeof(double), problem)) {
        return false;
    }
    // Float32 whatever the pixels: each slice may have its own rescaling.
    if (!volume.samples.allocate(SampleType::kFloat32, samples)) {
        problem = "not enough memory for the volume";
        return false;
    }
    std::vector<char> buffer;
    std::string decoded;  // the file whose pixels `buffer` holds
    for (size_t s = 0; s < slices.size(); ++s) {
        const Slice& slice = slices[s];
        if (slice.file != decoded) {
            SliceShape own = shape;
            if (s > 0 && !(reader = readImage(slice.file, problem))) {
                return false;
            }
            if (!shapeOf(reader->GetImage(), slice.file, placement, own, problem)) {
                return false;
            }
            if (!(own == shape)) {
                problem = nameOf(slice.file) +
                          " differs from the first slice in size, orientation, spacing or pixel "
                          "type";
                return false;
            }
            if (!decodePixels(reader->GetImage(), shape, slice.file, buffer, problem)) {
                return false;
            }
            decoded = slice.file;
        }
        const gdcm::Image& image = reader->GetImage();
        storeRescaled(volume.samples, shape.type,
                      buffer.data() + slice.frame * sliceSamples * sampleTypeSize(shape.type),
                      s * sliceSamples, sliceSamples, image.GetSlope(), image.GetIntercept());
    }
    for (size_t axis = 0; axis < 3; ++axis) {
        volume.sizes[axis] = static_cast<int32_t>(sizes[axis]);
    }
    volume.placeInWorld(worldOf(shape, slices[0].position, step));
    volume.unit = "mm";  // the patient frame's unit
    return true;
}

}  // namespace

extern "C" bool mcLoadDicomSeries(const std::string& path, const std::optional<std::string>& series,
                                  Volume& volume, std::string& problem,
                                  const VolumeSizeCheck& check) {
    silenceGdcm();
    std::error_code error;
    const bool folder = fs::is_directory(path, error);
    const fs::path given(path);
    const fs::path parent = given.parent_path().empty() ? fs::path(".") : given.parent_path();
    const fs::path folderPath = folder ? given : parent;
    // Named as the folder's listing names it, so the scanner knows it.
    const std::string ownFile = (folderPath / given.filename()).string();
    std::vector<std::string> files;
    if (!dicomFilesIn(folderPath, files, problem)) {
        return false;
    }
    gdcm::Scanner scanner;
    for (const gdcm::Tag& tag : {kSeriesUid, kPosition, kOrientation, kSamplesPerPixel,
                                 kBitsAllocated, kPixelRepresentation}) {
        scanner.AddTag(tag);
    }
    if (!scanner.Scan(files)) {
        problem = "GDCM cannot scan the folder";
        return false;
    }
    std::optional<std::string> wanted = series;
    if (!folder && !wanted) {
        wanted = trimmed(scanner.GetValue(ownFile.c_str(), kSeriesUid));
    }
    std::vector<std::string> chosen;
    if (!pickSeries(scanner, files, wanted, chosen, problem)) {
        return false;
    }
    for (const std::string& file : chosen) {
        if (!checkPixelFormat(scanner, file, problem)) {
            return false;
        }
    }
    std::vector<Slice> slices;
    Placement placement;
    std::unique_ptr<gdcm::ImageReader> first;
    if (chosen.size() == 1) {
        first = readImage(chosen[0], problem);
        if (!first) {
            return false;
        }
        const gdcm::DataSet& set = first->GetFile().GetDataSet();
        const gdcm::Image& image = first->GetImage();
        const bool enhanced =
            set.FindDataElement(kPerFrameGroups) && image.GetNumberOfDimensions() > 2;
        if (!(enhanced
                  ? sortFrames(set, chosen[0], image.GetDimension(2), slices, placement, problem)
                  : sortSlices(scanner, chosen, slices, placement, problem))) {
            return false;
        }
    } else if (!sortSlices(scanner, chosen, slices, placement, problem) ||
               !(first = readImage(slices[0].file, problem))) {
        return false;
    }
    return readSlices(slices, std::move(first), placement, volume, problem, check);
}

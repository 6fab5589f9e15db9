#include "field/volume_file.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "field/dicom_reader.h"
#include "field/file_checks.h"
#include "field/nifti_reader.h"
#include "field/nrrd_reader.h"

// Raw files are little-endian; a big-endian host would have to swap bytes.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr std::string_view kRawExtension = ".raw";
constexpr char kShapeSeparator = 'x';
constexpr char kPartSeparator = '_';
constexpr size_t kReadChunkSamples = size_t{1} << 16;
constexpr uint64_t kMebibyte = uint64_t{1} << 20;

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::ranges::equal(
               text.substr(text.size() - suffix.size()), suffix,
               [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

std::string_view fileNameOf(std::string_view path) {
    return path.substr(path.find_last_of('/') + 1);  // npos + 1 == 0
}

bool parseSize(std::string_view text, int32_t& size) {
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), size);
    return status == std::errc{} && end == text.data() + text.size() && size >= 1 &&
           std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

std::string byteCount(uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

std::string shapeText(const std::array<int32_t, 3>& sizes) {
    return std::to_string(sizes[0]) + "x" + std::to_string(sizes[1]) + "x" +
           std::to_string(sizes[2]);
}

// Whether `bytes` fit within the memory limit; sets `problem` when not.
bool fitsInMemory(uint64_t bytes, uint64_t memoryLimitBytes, std::string& problem) {
    if (bytes > memoryLimitBytes) {
        problem = "the volume needs " + std::to_string(bytes / kMebibyte) + " MiB, more than the " +
                  std::to_string(memoryLimitBytes / kMebibyte) + " MiB of memory";
        return false;
    }
    return true;
}

// The bytes `samples` samples of `fileType` take once kept.
uint64_t keptBytes(uint64_t samples, SampleType fileType) {
    return samples * sampleTypeSize(VolumeSamples::keptType(fileType));
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// Only regular files: a directory opens but holds no bytes, and opening a
// pipe would wait for a writer that may never come (and a volume is read
// twice, header first).
UniqueFile openForReading(const std::string& path, std::string& problem) {
    uint64_t bytes = 0;
    if (!checkRegularFile(path, bytes, problem)) {
        return nullptr;
    }
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        problem = std::string("cannot open: ") + std::strerror(errno);
    }
    return file;
}

// Tried first, so a file that cannot be opened is reported in one wording,
// whichever reader would have read it.
bool canOpen(const std::string& path, std::string& problem) {
    return openForReading(path, problem) != nullptr;
}

bool rawLayoutFor(const VolumeRequest& request, RawLayout& layout, std::string& problem) {
    std::string nameProblem;
    const bool named = parseRawName(request.path, layout, nameProblem);
    if (request.sizes) {
        layout.sizes = *request.sizes;
    }
    if (request.type) {
        layout.type = *request.type;
    }
    if (!named && !(request.sizes && request.type)) {
        problem = nameProblem + "; give the shape with --dims X,Y,Z and --type T";
        return false;
    }
    return true;
}

// Streams the file's samples into volume.samples a chunk at a time, so no
// second copy of the file is ever held; samples kept in the file's type are
// read straight into place.
bool readRawSamples(FILE* file, SampleType type, Volume& volume, std::string& problem) {
    const bool asStored = VolumeSamples::keptType(type) == type;
    std::vector<unsigned char> chunk(asStored ? 0 : kReadChunkSamples * sampleTypeSize(type));
    auto* kept = static_cast<unsigned char*>(volume.samples.data());
    const size_t total = volume.samples.size();
    for (size_t done = 0; done < total;) {
        const size_t count = std::min(kReadChunkSamples, total - done);
        void* into = asStored ? kept + done * sampleTypeSize(type) : chunk.data();
        if (std::fread(into, sampleTypeSize(type), count, file) != count) {
            problem = std::string("cannot read: ") +
                      (std::ferror(file) ? std::strerror(errno) : "the file ended early");
            return false;
        }
        if (!asStored) {
            volume.samples.store(type, chunk.data(), done, count);
        }
        done += count;
    }
    return true;
}

bool loadRaw(const VolumeRequest& request, Volume& volume, std::string& problem,
             uint64_t memoryLimitBytes) {
    RawLayout layout;
    if (!rawLayoutFor(request, layout, problem)) {
        return false;
    }
    const UniqueFile file = openForReading(request.path, problem);
    if (!file) {
        return false;
    }
    uint64_t samples = 0;
    if (!countSamples(
            {uint64_t(layout.sizes[0]), uint64_t(layout.sizes[1]), uint64_t(layout.sizes[2])},
            samples, problem)) {
        return false;
    }
    const uint64_t needed = samples * sampleTypeSize(layout.type);
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        problem = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    const long fileBytes = std::ftell(file.get());
    if (fileBytes < 0 || static_cast<uint64_t>(fileBytes) != needed) {
        problem = "the file holds " + byteCount(static_cast<uint64_t>(std::max(fileBytes, 0L))) +
                  ", but " + shapeText(layout.sizes) + " " +
                  std::string(sampleTypeName(layout.type)) + " samples take " + byteCount(needed);
        return false;
    }
    if (!fitsInMemory(keptBytes(samples, layout.type), memoryLimitBytes, problem)) {
        return false;
    }
    std::rewind(file.get());
    volume.sizes = layout.sizes;
    volume.spacing = {1.0f, 1.0f, 1.0f};
    if (!volume.samples.allocate(layout.type, samples)) {
        throw std::bad_alloc();
    }
    return readRawSamples(file.get(), layout.type, volume, problem);
}

// A folder or a file with the DICOM preamble, unless the request shapes it
// as raw.
bool isDicomRequest(const VolumeRequest& request) {
    return !isNrrdPath(request.path) && !isNiftiPath(request.path) && !request.sizes &&
           !request.type && isDicomPath(request.path);
}

bool loadByKind(const VolumeRequest& request, Volume& volume, std::string& problem,
                uint64_t memoryLimitBytes) {
    const VolumeSizeCheck fits = [memoryLimitBytes](uint64_t nativeBytes, std::string& why) {
        return fitsInMemory(nativeBytes, memoryLimitBytes, why);
    };
    const bool dicom = isDicomRequest(request);
    if (request.series && !dicom) {
        problem = "--series picks a DICOM series, but this is not one";
        return false;
    }
    if (dicom) {
        return loadDicomSeries(request.path, request.series, volume, problem, fits);
    }
    return canOpen(request.path, problem) &&
           (isNrrdPath(request.path)    ? loadNrrd(request.path, volume, problem, fits)
            : isNiftiPath(request.path) ? loadNifti(request.path, volume, problem, fits)
                                        : loadRaw(request, volume, problem, memoryLimitBytes));
}

bool findRange(Volume& volume, std::string& problem) {
    bool found = false;
    visitSamples(volume.samples.atIso(0.0f), [&](const auto* samples) {
        auto low = samples[0];
        auto high = samples[0];
        const size_t count = volume.samples.size();
        if constexpr (std::is_integral_v<std::remove_cvref_t<decltype(*samples)>>) {
            // Every integer is finite: a plain reduction, which vectorises.
            for (size_t i = 0; i < count; ++i) {
                low = std::min(low, samples[i]);
                high = std::max(high, samples[i]);
            }
            found = count > 0;
        } else {
            for (size_t i = 0; i < count; ++i) {
                const auto value = samples[i];
                if (!std::isfinite(value)) {
                    continue;
                }
                low = found ? std::min(low, value) : value;
                high = found ? std::max(high, value) : value;
                found = true;
            }
        }
        volume.minimum = static_cast<float>(low);
        volume.maximum = static_cast<float>(high);
    });
    if (!found) {
        problem = "no sample is a finite number";
    }
    return found;
}

}  // namespace

bool parseSizes(std::string_view text, char separator, std::array<int32_t, 3>& sizes) {
    for (size_t axis = 0; axis < sizes.size(); ++axis) {
        const size_t end = axis + 1 < sizes.size() ? text.find(separator) : text.size();
        if (end == std::string_view::npos || !parseSize(text.substr(0, end), sizes[axis])) {
            return false;
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return true;
}

bool parseRawName(std::string_view path, RawLayout& layout, std::string& problem) {
    const std::string_view name = fileNameOf(path);
    const std::string expected = "; a raw file is named name_XxYxZ_type.raw";
    if (!endsWithIgnoringCase(name, kRawExtension)) {
        problem = quoted(name) + " does not end in .raw" + expected;
        return false;
    }
    const std::string_view stem = name.substr(0, name.size() - kRawExtension.size());
    const size_t typeStart = stem.find_last_of(kPartSeparator);
    const size_t shapeStart = typeStart == std::string_view::npos || typeStart == 0
                                  ? std::string_view::npos
                                  : stem.find_last_of(kPartSeparator, typeStart - 1);
    if (shapeStart == std::string_view::npos) {
        problem = quoted(name) + " has no _XxYxZ_type part" + expected;
        return false;
    }
    const std::string_view shape = stem.substr(shapeStart + 1, typeStart - shapeStart - 1);
    const std::string_view typeName = stem.substr(typeStart + 1);
    if (!parseSizes(shape, kShapeSeparator, layout.sizes)) {
        problem = quoted(name) + ": " + quoted(shape) +
                  " is not three sizes from 1 to 2147483647 joined by 'x'";
        return false;
    }
    if (!findSampleType(typeName, layout.type)) {
        problem = quoted(name) + ": unknown sample type " + quoted(typeName) +
                  " (known: uint8, int8, uint16, int16, uint32, int32, float32, float64)";
        return false;
    }
    return true;
}

bool isNrrdPath(std::string_view path) {
    return endsWithIgnoringCase(path, ".nrrd") || endsWithIgnoringCase(path, ".nhdr");
}

bool loadVolume(const VolumeRequest& request, Volume& volume, std::string& error,
                uint64_t memoryLimitBytes) {
    std::string problem;
    bool loaded = false;
    try {
        loaded = loadByKind(request, volume, problem, memoryLimitBytes);
    } catch (const std::bad_alloc&) {
        problem = "not enough memory for the volume";
    }
    loaded = loaded && findRange(volume, problem);
    if (!loaded) {
        error = request.path + ": " + problem;
    }
    return loaded;
}

uint64_t memoryLimitBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    uint64_t limit = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit bound{};
        if (getrlimit(resource, &bound) == 0 && bound.rlim_cur != RLIM_INFINITY) {
            limit = std::min<uint64_t>(limit, bound.rlim_cur);
        }
    }
    return limit;
}

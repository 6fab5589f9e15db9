#include "field/nifti_reader.h"

#include <nifti2_io.h>

#include "field/quiet_stderr.h"
#include "field/rescaled_samples.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

constexpr int64_t kVolumeAxes = 3;

struct ImageDeleter {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using UniqueImage = std::unique_ptr<nifti_image, ImageDeleter>;

struct DataDeleter {
    void operator()(void* data) const { std::free(data); }
};

constexpr SampleTypeCodes<int> kNiftiTypes{DT_UINT8,  DT_INT8,  DT_UINT16,  DT_INT16,
                                           DT_UINT32, DT_INT32, DT_FLOAT32, DT_FLOAT64};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::ranges::equal(
               text.substr(text.size() - suffix.size()), suffix,
               [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

// nifticlib's image reader trusts a header whose dimensions look wrong in
// either byte order, and runs off its arrays; its own header check, on the
// header alone, is asked first.
bool headerLooksGood(const std::string& path) {
    const std::unique_ptr<char, DataDeleter> headerName(nifti_findhdrname(path.c_str()));
    if (!headerName) {
        return false;
    }
    int version = 0;
    const std::unique_ptr<void, DataDeleter> header(
        nifti_read_header(headerName.get(), &version, 0));
    if (!header) {
        return false;
    }
    return version == 2 ? nifti_hdr2_looks_good(static_cast<nifti_2_header*>(header.get())) != 0
                        : nifti_hdr1_looks_good(static_cast<nifti_1_header*>(header.get())) != 0;
}

// Whether the header asks for scaling: a slope that is a number other than 0.
bool isScaled(const nifti_image& image) {
    return std::isfinite(image.scl_slope) && image.scl_slope != 0.0;
}

bool checkHeader(const nifti_image& image, SampleType& type, uint64_t& samples,
                 std::string& problem, const VolumeSizeCheck& check) {
    if (image.ndim < kVolumeAxes) {
        problem = "the image has " + std::to_string(image.ndim) + " dimensions, not 3 or more";
        return false;
    }
    const std::optional<SampleType> known = sampleTypeFor(kNiftiTypes, image.datatype);
    if (!known) {
        problem = std::string("the data type ") + nifti_datatype_to_string(image.datatype) +
                  " is not an 8-, 16- or 32-bit integer, float or double";
        return false;
    }
    type = *known;
    // nifticlib has checked that every size is at least 1.
    const std::array<uint64_t, 3> sizes{uint64_t(image.nx), uint64_t(image.ny), uint64_t(image.nz)};
    return countSamples(sizes, samples, problem) &&
           check(samples * sampleTypeSize(type) + (isScaled(image) ? samples * sizeof(float) : 0),
                 problem);
}

// Where the NIfTI rules put the samples: the sform when its code says it is
// set; else the qform, which nifticlib already turns into the voxel sizes
// along the grid's axes when its own code is unset.
IndexToWorld worldOf(const nifti_image& image) {
    const nifti_dmat44& matrix = image.sform_code > 0 ? image.sto_xyz : image.qto_xyz;
    IndexToWorld placed;
    for (size_t row = 0; row < 3; ++row) {
        for (size_t axis = 0; axis < 3; ++axis) {
            placed.axes[axis][row] = matrix.m[row][axis];
        }
        placed.origin[row] = matrix.m[row][3];
    }
    if (placed.invertible()) {
        return placed;
    }
    // A damaged matrix leaves the voxel sizes, or the grid's own unit.
    const auto size = [](double d) {
        const auto length = static_cast<float>(std::fabs(d));
        return std::isfinite(length) && length > 0.0f ? length : 1.0f;
    };
    return IndexToWorld::scaled({size(image.dx), size(image.dy), size(image.dz)});
}

// The unit of the sform and the voxel sizes; an unset one is mm, as the
// NIfTI tools take it.
std::string unitOf(const nifti_image& image) {
    switch (image.xyz_units) {
        case NIFTI_UNITS_METER:
            return "m";
        case NIFTI_UNITS_MICRON:
            return "um";
        default:
            return "mm";
    }
}

// The first volume's samples (nifticlib's block, from malloc, taken over)
// as stored, or as float32 when scaled.
bool storeSamples(const nifti_image& image, SampleType type, uint64_t count,
                  std::unique_ptr<void, DataDeleter> data, Volume& volume) {
    if (!isScaled(image)) {
        volume.samples.adopt(type, data.release(), count);
        return true;
    }
    if (!volume.samples.allocate(SampleType::kFloat32, count)) {
        return false;
    }
    storeRescaled(volume.samples, type, data.get(), 0, count, image.scl_slope,
                  std::isfinite(image.scl_inter) ? image.scl_inter : 0.0);
    return true;
}

// The count of 3-D volumes the file holds, every dimension past z multiplied.
int64_t volumeCount(const nifti_image& image) {
    int64_t count = 1;
    for (int64_t d = kVolumeAxes + 1; d <= image.ndim && d < 8; ++d) {
        count *= std::max<int64_t>(image.dim[d], 1);
    }
    return count;
}

}  // namespace

bool isNiftiPath(std::string_view path) {
    if (endsWithIgnoringCase(path, ".gz")) {
        path.remove_suffix(3);
    }
    return std::ranges::any_of(std::array{".nii", ".hdr", ".img"}, [path](const char* extension) {
        return endsWithIgnoringCase(path, extension);
    });
}

bool loadNifti(const std::string& path, Volume& volume, std::string& problem,
               const VolumeSizeCheck& check) {
    // nifticlib reports its failures on stderr; some even at debug level 0.
    nifti_set_debug_level(0);
    const QuietStderr quiet;
    const UniqueImage image(headerLooksGood(path) ? nifti_image_read(path.c_str(), 0) : nullptr);
    if (!image) {
        problem = "not a NIfTI file, or its header is damaged or its data file missing";
        return false;
    }
    SampleType type{};
    uint64_t samples = 0;
    if (!checkHeader(*image, type, samples, problem, check)) {
        return false;
    }
    // All of x, y and z; index 0 of every later dimension.
    const int64_t firstVolume[8] = {0, -1, -1, -1, 0, 0, 0, 0};
    void* data = nullptr;
    const int64_t read = nifti_read_collapsed_image(image.get(), firstVolume, &data);
    std::unique_ptr<void, DataDeleter> owned(data);
    if (read < 0 || uint64_t(read) != samples * sampleTypeSize(type)) {
        problem = "cannot read its data: the file is shorter than the header says, or damaged";
        return false;
    }
    if (!storeSamples(*image, type, samples, std::move(owned), volume)) {
        problem = "not enough memory for the volume";
        return false;
    }
    for (size_t axis = 0; axis < 3; ++axis) {
        volume.sizes[axis] = static_cast<int32_t>(image->dim[axis + 1]);
    }
    volume.placeInWorld(worldOf(*image));
    volume.unit = unitOf(*image);
    if (const int64_t count = volumeCount(*image); count > 1) {
        volume.note = "the file holds " + std::to_string(count) + " volumes; showing the first";
    }
    return true;
}

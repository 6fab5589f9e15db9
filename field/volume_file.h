#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "field/volume.h"

// Reading a Volume from a file.
//
// Files ending in .nrrd or .nhdr (any letter case) are NRRD, read by Teem's
// nrrd library: raw or gzip encoding, either endianness, a detached data file,
// exactly three axes of 8-, 16- or 32-bit integers or float or double, with
// the axes' spacings (from "spacings" or the length of "space directions";
// 1 where neither is given). Every other file is raw: little-endian samples,
// x fastest, no header, shaped by its name or by `sizes` and `type`.

// The shape of a raw file.
struct RawLayout {
    std::array<int32_t, 3> sizes{};
    SampleType type = SampleType::kUint8;
};

// What the command line asks for: the file, and a raw file's shape where the
// name does not give it (or where the user overrides the name's).
struct VolumeRequest {
    std::string path;
    std::optional<std::array<int32_t, 3>> sizes;
    std::optional<SampleType> type;
};

// Reads a raw file name of the form ..._XxYxZ_type.raw (for example
// "head_256x256x113_uint16.raw"; sizes from 1 to INT32_MAX, the type one of
// sampleTypeName's): the last two '_'-separated parts of the name before
// ".raw". Returns false, with `problem` naming what is wrong, for any other
// name.
bool parseRawName(std::string_view path, RawLayout& layout, std::string& problem);

// Reads three sizes from 1 to INT32_MAX, in decimal digits, joined by
// `separator` ("256x256x113" with 'x'). False for anything else.
bool parseSizes(std::string_view text, char separator, std::array<int32_t, 3>& sizes);

// Whether `path` names a NRRD file (.nrrd or .nhdr).
bool isNrrdPath(std::string_view path);

// Reads the request's file into `volume`. Refuses, with `error` set to
// "PATH: problem" (the path as given, unescaped: the caller escapes the
// whole message for printing), and `volume` unspecified: a file that
// cannot be opened or read, or is not a regular file; a NRRD header Teem
// refuses, not three axes, or of another type, with a data file that is not
// a regular file, too few stored bytes for its samples or a spacing no float
// holds; a raw shape that neither the name nor the request gives,
// or whose bytes differ from the file's size; data shorter than the header
// says; more than ScalarGrid::kMaxSamples samples; a volume whose samples
// need more than `memoryLimitBytes` (a raw file's as kept, see
// VolumeSamples; a NRRD file's in the file's type, as they are decoded); a
// volume without a finite sample. Prints nothing. The samples are held once:
// the sample grid reads them in place.
bool loadVolume(const VolumeRequest& request, Volume& volume, std::string& error,
                uint64_t memoryLimitBytes);

// The memory a volume may take, in bytes: the machine's physical memory, or
// less where the process's address space or data size is limited (ulimit -v,
// ulimit -d). The limit the program gives loadVolume.
uint64_t memoryLimitBytes();

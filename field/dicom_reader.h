#pragma once

#include <ios>
#include <optional>
#include <string>
#include <string_view>

#include "field/volume.h"

// Whether `path` is to be read as DICOM: a folder, or a file with the DICOM
// preamble ("DICM" after 128 bytes).
bool isDicomPath(const std::string& path);
// Whether `path` is a regular file with the DICOM preamble.
bool hasDicomPreamble(const std::string& path);
// Where a DICOM file's elements begin: after the preamble and "DICM".
inline constexpr std::streamoff kDicomElementsStart = 128 + 4;

// Reads one DICOM series through GDCM into `volume`'s samples, sizes and
// index-to-world transform (patient coordinates, LPS, in mm); the range is
// left to the caller.
//
// `path` is the series' folder, or one file of it: the folder's files (not
// its subfolders) are scanned, and the series is the one `series` names, or
// the file's own, or the folder's only one. The series is single-frame
// slices of one size, pixel format and orientation, or one multi-frame file.
// Slices are sorted by their position along the slice normal; the spacing
// between them comes from the positions, never from Slice Thickness, and
// must be even within kSliceGapTolerance. Each slice's Rescale Slope and
// Intercept are applied (Hounsfield units for CT).
//
// Refused, with one line in `problem`: a folder without DICOM images, or
// with several series when none is named; a named series not there; slices
// that differ in size, orientation or pixel format, or do not lie along one
// line; two slices at one position; missing slices; uneven spacing; colour
// images; pixel data GDCM cannot decode (the transfer syntax is named); a
// volume `check` refuses. GDCM prints nothing.
//
// GDCM, linked, would cost every run of the program about 15 MiB and 30 ms
// as it loads its dictionaries, DICOM or not: the reader is a module of its
// own (kDicomModule, entry point mcLoadDicomSeries), loaded on the first call.
// A module that cannot be loaded is a refusal too.
bool loadDicomSeries(const std::string& path, const std::optional<std::string>& series,
                     Volume& volume, std::string& problem, const VolumeSizeCheck& check);

inline constexpr const char* kDicomModule = "libmarching-cubes-dicom.so";
extern "C" bool mcLoadDicomSeries(const std::string& path, const std::optional<std::string>& series,
                                  Volume& volume, std::string& problem,
                                  const VolumeSizeCheck& check);

// How far, as a fraction of the smallest gap, the gaps between slices (and
// each slice's distance from the line through the first and last) may stray.
inline constexpr double kSliceGapTolerance = 0.01;

#pragma once

#include <string>
#include <string_view>

#include "field/volume.h"

// Whether `path` names a NIfTI file: .nii, or a .hdr/.img pair named by
// either half, each maybe gzipped (.gz), in any letter case.
bool isNiftiPath(std::string_view path);

// Reads the NIfTI-1 or NIfTI-2 file at `path` through nifticlib into
// `volume`'s samples, sizes and index-to-world transform; the range is left
// to the caller. The header is read and checked first: at least three
// dimensions, a sample type of SampleType, a first volume of a size `check`
// accepts. Only that first volume is read; a file holding more says so in
// volume.note. Samples are scaled by scl_slope and scl_inter when the slope
// is a finite number other than 0. The transform is the sform's when its
// code is set, else the qform's (which falls back to the voxel sizes along
// the grid's axes). nifticlib prints nothing; its failures become the one
// line in `problem`.
bool loadNifti(const std::string& path, Volume& volume, std::string& problem,
               const VolumeSizeCheck& check);

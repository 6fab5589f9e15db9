#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "field/volume.h"

// Asked, before the data are read, whether a volume whose samples take
// `nativeBytes` in the file's own type may be loaded: they are read into one
// block of that size, kept as they are or converted in place (see
// VolumeSamples::adopt). Sets `problem` when not.
using VolumeSizeCheck = std::function<bool(uint64_t nativeBytes, std::string& problem)>;

// Reads the NRRD file at `path` (a .nrrd, or a .nhdr with its data file) into
// `volume`'s samples, sizes and spacing; the range is left to the caller. The
// file must start with the NRRD magic; its detached data files must be
// regular files (checked before Teem opens them); its header is read first,
// without the data, and checked: three axes, a sample type of SampleType, a
// sample count that the stored bytes can hold (raw or gzip data) and that
// `check` accepts. Spacings must stay finite, positive floats. Teem prints
// nothing; its error messages are reduced to the one line in `problem`.
bool loadNrrd(const std::string& path, Volume& volume, std::string& problem,
              const VolumeSizeCheck& check);

#pragma once

#include <cstddef>

#include "field/volume.h"

// Stores `count` samples of `type` from `bytes` (host byte order) at sample
// `first` of `samples`, which must hold float32, as value * slope +
// intercept, formed in double: the real values NIfTI's scl_slope/scl_inter
// and DICOM's Rescale Slope/Intercept give the stored ones.
void storeRescaled(VolumeSamples& samples, SampleType type, const void* bytes, size_t first,
                   size_t count, double slope, double intercept);

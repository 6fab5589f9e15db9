#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "app/iso_histogram.h"
#include "field/scalar_grid.h"
#include "field/volume.h"

// The volume shown instead of the blobs when --volume names one, and its iso
// value, which the keys step through settings.isoSteps:
//   iso value = startIso + isoSteps * isoStep   (formed in double, kept
//                                                within the floats)
// isoStep is 1% of the data's range; the steps go at most kMaxIsoSteps either
// way, far enough to cross the whole range from anywhere within it.
struct VolumeView {
    static constexpr int32_t kMaxIsoSteps = 100;
    static constexpr double kIsoStepFraction = 0.01;

    Volume volume;
    bool loaded = false;
    float startIso = 0.0f;
    float isoStep = 0.0f;
    FILE* messages = nullptr;  // where a changed iso value is reported

    // Takes `read` over (its samples are moved), starting at `iso`, or when
    // none is given at Otsu's threshold of its histogram.
    void show(Volume&& read, std::optional<float> iso, FILE* isoMessages);
    float isoValue() const;
    // Of the samples, for the overlay and Otsu's threshold: counted when
    // first asked for, as a headless run with its iso value given needs none.
    const IsoHistogram& histogram();
    // Steps the iso value by `steps` (within kMaxIsoSteps of the start), or
    // back to the start, and reports the new value as "Iso value: V".
    void stepIso(int32_t steps);
    void resetIso();
    // Makes `grid` read the volume's samples at the current iso value (see
    // IsoSamples); nothing is copied, so it costs nothing per frame.
    void refreshGrid(ScalarGrid& grid);

  private:
    void reportIso() const;

    std::optional<IsoHistogram> histogram_;
};

// The one instance; empty (not loaded) when the blobs are shown.
extern VolumeView volumeView;

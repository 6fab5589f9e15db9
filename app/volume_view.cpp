#include "app/volume_view.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "app/settings.h"

VolumeView volumeView;

void VolumeView::show(Volume&& read, std::optional<float> iso, FILE* isoMessages) {
    volume = std::move(read);
    loaded = true;
    histogram_.reset();
    startIso = iso ? *iso : otsuThreshold(histogram());
    isoStep = static_cast<float>((double{volume.maximum} - volume.minimum) * kIsoStepFraction);
    messages = isoMessages;
}

// Kept within the floats: with data near their limits, the steps would carry
// it past them, to an infinite iso value and an empty surface.
float VolumeView::isoValue() const {
    const double iso = double{startIso} + static_cast<double>(settings.isoSteps) * isoStep;
    return static_cast<float>(std::clamp(iso, double{std::numeric_limits<float>::lowest()},
                                         double{std::numeric_limits<float>::max()}));
}

const IsoHistogram& VolumeView::histogram() {
    if (!histogram_) {
        histogram_ = histogramOf(volume);
    }
    return *histogram_;
}

void VolumeView::stepIso(int32_t steps) {
    settings.isoSteps = std::clamp(settings.isoSteps + steps, -kMaxIsoSteps, kMaxIsoSteps);
    reportIso();
}

void VolumeView::resetIso() {
    settings.isoSteps = 0;
    reportIso();
}

void VolumeView::refreshGrid(ScalarGrid& grid) {
    readAtIso(volume, isoValue(), grid);
}

void VolumeView::reportIso() const {
    if (messages != nullptr) {
        std::fprintf(messages, "Iso value: %.6g\n", isoValue());
        std::fflush(messages);
    }
}

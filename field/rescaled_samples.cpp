#include "field/rescaled_samples.h"

#include <algorithm>
#include <vector>

namespace {

// Converted a chunk at a time, so no second copy of the samples is held.
constexpr size_t kChunkSamples = size_t{1} << 16;

}  // namespace

void storeRescaled(VolumeSamples& samples, SampleType type, const void* bytes, size_t first,
                   size_t count, double slope, double intercept) {
    std::vector<float> chunk(std::min(count, kChunkSamples));
    const auto* source = static_cast<const unsigned char*>(bytes);
    for (size_t done = 0; done < count; done += chunk.size()) {
        const size_t length = std::min(chunk.size(), count - done);
        convertSamples(type, source + done * sampleTypeSize(type), length, chunk.data());
        for (size_t i = 0; i < length; ++i) {
            chunk[i] = static_cast<float>(double{chunk[i]} * slope + intercept);
        }
        samples.store(SampleType::kFloat32, chunk.data(), first + done, length);
    }
}

#include "app/frame_loop.h"

#include <algorithm>

KeySchedule::KeySchedule(std::span<const ScheduledKey> keys) : keys_(keys.begin(), keys.end()) {
    std::ranges::stable_sort(keys_, {}, &ScheduledKey::frame);
}

bool KeySchedule::deliverBefore(int64_t frame, WindowHandle window) {
    const size_t first = next_;
    while (next_ < keys_.size() && keys_[next_].frame <= frame) {
        windowProcedure(window, msg::kKeyDown, keys_[next_].virtualKey, key_flags::kSingleRepeat);
        ++next_;
    }
    return next_ != first;
}

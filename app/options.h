#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/messages.h"

// The command line. With no options the program runs its window until the
// user quits.

inline constexpr int64_t kMaxFrames = 1'000'000'000;

// A key delivered to the window procedure as msg::kKeyDown just before
// `frame` (frames count from 1).
struct ScheduledKey {
    int64_t frame = 0;
    WParam virtualKey = 0;

    bool operator==(const ScheduledKey&) const = default;
};

struct Options {
    bool headless = false;              // no window and no GL; needs `frames`
    std::optional<int64_t> frames;      // quit after this frame, 0 to kMaxFrames
    std::vector<ScheduledKey> presses;  // in the order given
    bool helpRequested = false;
    bool versionRequested = false;
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after '='. On bad input returns false and sets `error`
// to one line naming the problem; `options` is then unspecified.
bool parseOptions(std::span<const char* const> arguments, Options& options, std::string& error);

void printUsage(FILE* out);
void printVersion(FILE* out);

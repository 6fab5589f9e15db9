#pragma once

#include <cstdint>
#include <string>

// Checks every volume reader makes before it opens a file or allocates for
// its samples, so a hostile file costs a line, not a hang or the memory.

// Whether `path` names a regular file, found without opening it: opening a
// FIFO waits for a writer that may never come, and a device may never end.
// Sets `bytes` to its size; when not a regular file, `problem` is "cannot
// open: " and the reason ("Is a directory", "not a regular file", or the
// system's).
bool checkRegularFile(const std::string& path, uint64_t& bytes, std::string& problem);

// Whether `storedBytes` of data can hold a header's claim of
// `claimedBytes`, each stored byte giving at most `expansion` bytes (1 for
// raw data, the most a compression can give otherwise); when not, `problem`
// says the data are too short for the claim.
bool holdsClaim(uint64_t claimedBytes, uint64_t storedBytes, uint64_t expansion,
                std::string& problem);

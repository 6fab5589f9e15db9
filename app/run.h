#pragma once

#include <cstdio>
#include <span>

// Exit codes of the program.
inline constexpr int kExitSuccess = 0;
// No window, no GL context, no grid storage, a file or stdout not written, or
// the display lost.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;  // bad command line; nothing was run

// The whole program over the arguments after its name. `out` carries the
// case table listing, requested triangle listings and the usage statistics,
// each block flushed; `err` carries the key help line of windowed runs and
// the one-line reason of any failure. A write to `out` that failed at any
// point fails the run once everything else is done. Returns the exit code.
int runProgram(std::span<const char* const> arguments, FILE* out, FILE* err);

#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Writes a whole file or nothing: `write` fills a temporary file created
// beside `path` (same directory, so the final rename cannot cross file
// systems), which is flushed to disk and then renamed over `path`. When
// anything fails (the directory is missing or not writable, `write` returns
// false, the disk fills up, the rename is refused) the temporary file is
// removed, `path` is left as it was, `error` holds one line naming the file
// and the reason, and false is returned.
bool writeFileSafely(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string& error);

#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Writes a whole file or nothing: `write` fills a temporary file created
// beside `path` (same directory, so the final rename cannot cross file
// systems), which is flushed to disk and then renamed over `path`. When
// anything fails (the directory is missing or not writable, `write` returns
// false or runs out of memory (std::bad_alloc), the disk fills up, the rename
// is refused) the temporary file is
// removed, `path` is left as it was, `error` holds one line naming the file
// (control characters escaped) and the reason, and false is returned.
//
// An existing regular file at `path` is replaced, when the user may write
// it, and its permission bits carry over; a new file gets 0666 less the
// umask. A symbolic link at `path`
// is replaced by the file (what it points to is untouched). Anything else
// there (a directory, a FIFO, a device) is refused and left alone.
// The temporary name stays within the file-name length limit however long
// the target's name is.
bool writeFileSafely(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string& error);

// For a signal handler about to end the process: removes the temporary file
// of a writeFileSafely call in progress, if there is one. Async-signal-safe.
void discardUnfinishedFile();

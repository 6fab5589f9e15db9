#include "output/safe_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// The temporary file is ".NAME.partial-XXXXXX" beside NAME: hidden from plain
// listings, and mkstemp fills in the Xs.
constexpr const char* kTemporarySuffix = ".partial-XXXXXX";
// Files the program writes are readable by everyone, as with a plain fopen
// under the usual umask.
constexpr mode_t kFileMode = 0666;

std::string temporaryTemplate(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + kTemporarySuffix;
}

bool fail(const std::string& path, std::string& error) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Writes through `file` and makes sure the bytes reached the disk; closes
// `file` in every case.
bool fillAndClose(FILE* file, const std::function<bool(FILE*)>& write) {
    const bool written =
        write(file) && std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written) {
        errno = savedErrno == 0 ? EIO : savedErrno;
    }
    return written && closed;
}

}  // namespace

bool writeFileSafely(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string& error) {
    std::string name = temporaryTemplate(path);
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int descriptor = mkstemp(buffer.data());
    if (descriptor < 0) {
        return fail(path, error);
    }
    name = buffer.data();
    fchmod(descriptor, kFileMode & ~currentUmask());  // mkstemp makes it private
    FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int savedErrno = errno;
        close(descriptor);
        unlink(name.c_str());
        errno = savedErrno;
        return fail(path, error);
    }
    errno = 0;
    if (!fillAndClose(file, write) || std::rename(name.c_str(), path.c_str()) != 0) {
        const int savedErrno = errno;
        unlink(name.c_str());
        errno = savedErrno;
        return fail(path, error);
    }
    return true;
}

#include "output/safe_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <string_view>

#include "output/printable_text.h"

namespace {

// The temporary file is ".NAME.partial-XXXXXX" beside NAME: hidden from plain
// listings, and mkstemp fills in the Xs.
constexpr std::string_view kHiddenPrefix = ".";
constexpr std::string_view kTemporarySuffix = ".partial-XXXXXX";
// Files the program writes are readable by everyone, as with a plain fopen
// under the usual umask.
constexpr mode_t kNewFileMode = 0666;
// What a replaced file passes on: read, write and execute for its owner, group
// and others; set-id bits are not carried over to new contents.
constexpr mode_t kPermissionBits = 0777;

// The temporary file being written, for discardUnfinishedFile. Written only
// while every signal is held, so a handler never sees half a name.
char unfinishedName[PATH_MAX];
volatile sig_atomic_t unfinishedNamed = 0;

// The longest file name the directory takes.
size_t nameLimitIn(const std::string& directory) {
    const long limit = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

// The name is cut short when need be; mkstemp's random letters keep
// temporaries of long names that share a beginning apart.
std::string temporaryTemplate(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string directory = path.substr(0, nameStart);
    const size_t room = nameLimitIn(directory) - kHiddenPrefix.size() - kTemporarySuffix.size();
    return directory + std::string(kHiddenPrefix) + path.substr(nameStart, room) +
           std::string(kTemporarySuffix);
}

bool fail(const std::string& path, const char* reason, std::string& error) {
    error = "cannot write " + printableText(path) + ": " + reason;
    return false;
}

bool failWithErrno(const std::string& path, std::string& error) {
    return fail(path, std::strerror(errno), error);
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The mode the new file gets, or false when `path` may not be replaced.
bool modeFor(const std::string& path, mode_t& mode) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) != 0 || S_ISLNK(existing.st_mode)) {
        mode = kNewFileMode & ~currentUmask();
        return true;
    }
    mode = existing.st_mode & kPermissionBits;
    return S_ISREG(existing.st_mode);
}

// Creates the temporary file and records its name with every signal held, so
// no handler can end the process between the two.
int createTemporary(std::string& name) {
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    int descriptor = -1;
    if (name.size() >= sizeof unfinishedName) {
        errno = ENAMETOOLONG;
    } else {
        std::copy(name.begin(), name.end(), unfinishedName);
        unfinishedName[name.size()] = '\0';
        descriptor = mkstemp(unfinishedName);
        unfinishedNamed = descriptor >= 0 ? 1 : 0;
        name = unfinishedName;
    }
    const int savedErrno = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = savedErrno;
    return descriptor;
}

// Removes the temporary file unless it was renamed; keeps errno.
void forgetTemporary(const std::string& name, bool renamed) {
    const int savedErrno = errno;
    if (!renamed) {
        unlink(name.c_str());
    }
    unfinishedNamed = 0;
    errno = savedErrno;
}

// Running out of memory while the contents are prepared is a failed write.
bool fill(FILE* file, const std::function<bool(FILE*)>& write) {
    try {
        return write(file);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return false;
    }
}

// Writes through `file` and makes sure the bytes reached the disk; closes
// `file` in every case.
bool fillAndClose(FILE* file, const std::function<bool(FILE*)>& write) {
    const bool written = fill(file, write) && std::fflush(file) == 0 && !std::ferror(file) &&
                         fsync(fileno(file)) == 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written) {
        errno = savedErrno == 0 ? EIO : savedErrno;
    }
    return written && closed;
}

// Renaming over a file needs only the directory's permission; a file the
// user may not write is refused as a shell's redirection refuses it. Asked
// with the effective IDs, as open() would be; root may write anything.
bool mayReplace(const std::string& path) {
    struct stat existing {};
    return lstat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode) ||
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

bool writeFileSafely(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string& error) {
    mode_t mode = 0;
    if (!modeFor(path, mode)) {
        return fail(path, "not a regular file", error);
    }
    if (!mayReplace(path)) {
        return failWithErrno(path, error);
    }
    std::string name = temporaryTemplate(path);
    const int descriptor = createTemporary(name);
    if (descriptor < 0) {
        return failWithErrno(path, error);
    }
    fchmod(descriptor, mode);  // mkstemp makes it private
    FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        close(descriptor);
        forgetTemporary(name, false);
        return failWithErrno(path, error);
    }
    errno = 0;
    const bool renamed = fillAndClose(file, write) && std::rename(name.c_str(), path.c_str()) == 0;
    forgetTemporary(name, renamed);
    return renamed || failWithErrno(path, error);
}

void discardUnfinishedFile() {
    if (unfinishedNamed != 0) {
        unlink(unfinishedName);
    }
}

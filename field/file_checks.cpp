#include "field/file_checks.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

bool checkRegularFile(const std::string& path, uint64_t& bytes, std::string& problem) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        problem = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = S_ISDIR(status.st_mode) ? "cannot open: Is a directory"
                                          : "cannot open: not a regular file";
        return false;
    }
    bytes = static_cast<uint64_t>(status.st_size);
    return true;
}

bool holdsClaim(uint64_t claimedBytes, uint64_t storedBytes, uint64_t expansion,
                std::string& problem) {
    // Divided, so a claim near 2^64 cannot wrap.
    if (claimedBytes / expansion + (claimedBytes % expansion != 0 ? 1 : 0) > storedBytes) {
        problem = "the data hold " + std::to_string(storedBytes) + " bytes, too few for the " +
                  std::to_string(claimedBytes) + " bytes of samples the header gives";
        return false;
    }
    return true;
}

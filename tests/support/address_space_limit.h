#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>

// Makes the process look like a machine nearly out of memory: while it lives,
// the address space may grow by only `headroom` bytes beyond what is mapped
// now, so a larger allocation fails at once. AddressSanitizer maps its shadow
// memory up front and treats a failed allocation as fatal, so under it the
// limit is not set and active() is false.
class AddressSpaceLimit {
  public:
    explicit AddressSpaceLimit([[maybe_unused]] size_t headroom) {
#if !defined(__SANITIZE_ADDRESS__)
        size_t mappedPages = 0;
        std::ifstream("/proc/self/statm") >> mappedPages;
        if (mappedPages != 0 && getrlimit(RLIMIT_AS, &saved_) == 0) {
            rlimit lowered = saved_;
            lowered.rlim_cur = mappedPages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom;
            active_ = setrlimit(RLIMIT_AS, &lowered) == 0;
        }
#endif
    }
    ~AddressSpaceLimit() {
        if (active_) {
            setrlimit(RLIMIT_AS, &saved_);
        }
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

    bool active() const {
        return active_;
    }

  private:
    rlimit saved_{};
    bool active_ = false;
};

#include <cstdio>
#include <new>
#include <span>

#include "app/process_setup.h"
#include "app/run.h"

int main(int argc, char** argv) {
    openStandardDescriptors();
    handleProcessSignals();
    try {
        return runProgram(std::span<const char* const>(argv + 1, argc - 1), stdout, stderr);
    } catch (const std::bad_alloc&) {
        // Where running out of memory is foreseen, it is reported closer to
        // its cause and the quit sequence still runs; this is the last resort.
        std::fputs("marching-cubes: out of memory\n", stderr);
        return kExitFailure;
    }
}

#include "app/process_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "output/safe_file.h"

// Each case runs in a child process of its own (a death test), since it
// changes how the process takes signals.

namespace {

namespace fs = std::filesystem;

constexpr int kStillRunning = 0;
constexpr int kNotAskedToQuit = 3;

// A first signal while a file is written asks to quit and the write carries
// on; a second one ends the process at once, and the temporary file with it.
TEST(ProcessSignalsDeathTest, ASecondSignalEndsAtOnceAndLeavesNoTemporaryFile) {
    char name[] = "/tmp/mc-signals-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const fs::path directory = name;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        EXPECT_EXIT(
            {
                handleProcessSignals();
                std::string error;
                writeFileSafely(
                    directory / "mesh.obj",
                    [signal](FILE* file) {
                        std::fputs("v 0 0 0\n", file);
                        std::raise(signal);
                        if (!quitSignalReceived()) {
                            std::_Exit(kNotAskedToQuit);
                        }
                        std::raise(signal);
                        return true;
                    },
                    error);
                std::_Exit(kStillRunning);
            },
            testing::KilledBySignal(signal), "")
            << "signal " << signal;
        EXPECT_TRUE(fs::is_empty(directory)) << "signal " << signal;
    }
    fs::remove_all(directory);
}

}  // namespace

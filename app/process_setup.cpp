#include "app/process_setup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "output/safe_file.h"

namespace {

constexpr int kLastStandardDescriptor = STDERR_FILENO;
constexpr std::array kQuitSignals{SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t quitSignal = 0;

bool isClosed(int descriptor) {
    return fcntl(descriptor, F_GETFD) < 0 && errno == EBADF;
}

void onQuitSignal(int signal) {
    if (quitSignal == 0) {
        quitSignal = signal;
        return;
    }
    discardUnfinishedFile();
    std::signal(signal, SIG_DFL);
    std::raise(signal);  // delivered as this handler returns
}

bool ignoredAtStart(int signal) {
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void openStandardDescriptors() {
    for (int descriptor = STDIN_FILENO; descriptor <= kLastStandardDescriptor; ++descriptor) {
        if (!isClosed(descriptor)) {
            continue;
        }
        // open() takes the lowest free number, which is this one.
        const int opened = open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != descriptor) {
            close(opened);
        }
    }
}

void handleProcessSignals() {
    struct sigaction quit {};
    quit.sa_handler = onQuitSignal;
    quit.sa_flags = SA_RESTART;  // a file being written at quit carries on
    sigemptyset(&quit.sa_mask);
    for (const int signal : kQuitSignals) {
        sigaddset(&quit.sa_mask, signal);  // one handler at a time
    }
    for (const int signal : kQuitSignals) {
        if (!ignoredAtStart(signal)) {
            sigaction(signal, &quit, nullptr);
        }
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

bool quitSignalReceived() {
    return quitSignal != 0;
}

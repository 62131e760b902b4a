#include "interrupt.hpp"

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include "errors.hpp"

namespace camctl {

namespace {

std::atomic<bool> signalled{false};
// Read from the signal handler, so it must be a plain buffer written before it is published.
char pendingPath[4096];
std::atomic<bool> pendingSet{false};

extern "C" void onSignal(int) {
    static const char hint[] = "\ncamctl: stopping; press Ctrl-C again to quit at once\n";
    if (!signalled.exchange(true)) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, hint, sizeof hint - 1);
    } else {
        if (pendingSet.load()) {
            ::unlink(pendingPath);
        }
        ::_exit(ExitInterrupted);
    }
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // SIGHUP: the terminal was closed; the download in progress must be cleaned up the same way.
    // A signal that was ignored when camctl started (nohup, a background job) stays ignored.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
}

bool interrupted() {
    return signalled.load();
}

void throwIfInterrupted() {
    if (interrupted()) {
        throw Interrupted();
    }
}

bool sleepUnlessInterrupted(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!interrupted()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) {
            return true;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(20)));
    }
    return false;
}

void setPendingTempFile(const char* path) {
    pendingSet.store(false);
    if (path == nullptr) {
        return;
    }
    std::strncpy(pendingPath, path, sizeof pendingPath - 1);
    pendingPath[sizeof pendingPath - 1] = '\0';
    pendingSet.store(true);
}

}  // namespace camctl

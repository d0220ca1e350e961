#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// Where the handler writes. A lock-free atomic: the only kind of shared object a signal
// handler may read.
std::atomic<int> gWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction gPrevious[kSignalCount];

void OnSignal(int number) {
    const int saved = errno;
    const int fd = gWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        // A full pipe already holds signals enough to wake the loop: the byte may be lost.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    int expected = -1;
    if (!gWriteFd.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls elsewhere in the program resume: the signal is handled in the
    // event loop, not where it happened to land.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) {
        ::sigaction(kSignals[i], &action, &gPrevious[i]);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!Valid()) {
        return;
    }
    for (int i = 0; i < kSignalCount; ++i) {
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    gWriteFd.store(-1);
    ::close(readFd_);
    ::close(writeFd_);
}

int TerminationSignals::Take() {
    if (!Valid()) {
        return 0;
    }
    unsigned char byte = 0;
    ssize_t n;
    do {
        n = ::read(readFd_, &byte, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? byte : 0;
}

}  // namespace platform

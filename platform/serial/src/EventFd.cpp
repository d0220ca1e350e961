#include "platform/serial/EventFd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform::serial {

EventFd::EventFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EventFd::~EventFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void EventFd::signal() {
    uint64_t one = 1;
    // The counter only overflows after 2^64-2 signals without a reset; EAGAIN then still
    // leaves the event signalled, which is all we need.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EventFd::reset() {
    uint64_t value;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool EventFd::isSignalled() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

}  // namespace platform::serial

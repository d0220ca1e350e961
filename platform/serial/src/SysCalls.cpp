#include "platform/serial/SysCalls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::serial {

int PosixSysCalls::open(const char* path, int flags) {
    return ::open(path, flags);
}
int PosixSysCalls::close(int fd) {
    return ::close(fd);
}
ssize_t PosixSysCalls::read(int fd, void* buf, size_t count) {
    return ::read(fd, buf, count);
}
ssize_t PosixSysCalls::write(int fd, const void* buf, size_t count) {
    return ::write(fd, buf, count);
}
int PosixSysCalls::poll(pollfd* fds, nfds_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}
int PosixSysCalls::ioctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}
int PosixSysCalls::tcgetattr(int fd, termios* attrs) {
    return ::tcgetattr(fd, attrs);
}
int PosixSysCalls::tcsetattr(int fd, int when, const termios* attrs) {
    return ::tcsetattr(fd, when, attrs);
}
int PosixSysCalls::tcflush(int fd, int queue) {
    return ::tcflush(fd, queue);
}

SysCalls& systemCalls() {
    static PosixSysCalls calls;
    return calls;
}

}  // namespace platform::serial

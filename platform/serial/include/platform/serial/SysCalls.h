// The system calls the serial layer makes, behind an interface so that tests can make any of
// them fail. Each method behaves like the POSIX call of the same name: -1 and errno on failure.
#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

#include <cstddef>

namespace platform::serial {

class SysCalls {
  public:
    virtual ~SysCalls() = default;
    virtual int open(const char* path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t read(int fd, void* buf, size_t count) = 0;
    virtual ssize_t write(int fd, const void* buf, size_t count) = 0;
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual int tcgetattr(int fd, termios* attrs) = 0;
    virtual int tcsetattr(int fd, int when, const termios* attrs) = 0;
    virtual int tcflush(int fd, int queue) = 0;
};

// The real calls. Tests derive from it and override the calls whose failures they need.
class PosixSysCalls : public SysCalls {
  public:
    int open(const char* path, int flags) override;
    int close(int fd) override;
    ssize_t read(int fd, void* buf, size_t count) override;
    ssize_t write(int fd, const void* buf, size_t count) override;
    int poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    int tcgetattr(int fd, termios* attrs) override;
    int tcsetattr(int fd, int when, const termios* attrs) override;
    int tcflush(int fd, int queue) override;
};

// The process-wide instance of PosixSysCalls.
SysCalls& systemCalls();

}  // namespace platform::serial

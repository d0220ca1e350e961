// A manual-reset event on an eventfd: once signalled it stays readable (so poll() reports it on
// every wait) until it is reset. Signal and reset may be called from any thread.
#pragma once

namespace platform::serial {

class EventFd {
  public:
    EventFd();
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    // False when the kernel refused to create the eventfd (fd() is then -1).
    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void signal();
    void reset();
    // True when signalled (does not reset).
    bool isSignalled() const;

  private:
    int fd_ = -1;
};

}  // namespace platform::serial

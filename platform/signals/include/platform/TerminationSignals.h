// Log-off, shutdown, a service manager and Ctrl-C end a program with SIGTERM, SIGHUP or
// SIGINT. Left to their default action these kill it on the spot: nothing is saved. This
// turns them into a descriptor that becomes readable, so the program's own event loop can
// close it the ordinary way.
//
// The handler does nothing but write the signal's number into a non-blocking pipe (the
// self-pipe pattern): it is async-signal-safe whichever thread the kernel picks, and needs no
// signal mask in the threads that libraries start. A Qt program watches fd() with a
// QSocketNotifier; a plain program adds it to its poll().
#pragma once

namespace platform {

class TerminationSignals {
  public:
    // Main thread. Installs the handlers of SIGTERM, SIGINT and SIGHUP. Only one object may
    // hold them at a time: a second one stays invalid and changes nothing.
    TerminationSignals();
    // Main thread. Puts back the handlers that were in place before.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The handlers are installed.
    bool Valid() const { return readFd_ >= 0; }
    // Readable while a signal that arrived has not been taken.
    int Fd() const { return readFd_; }
    // The number of the next signal that arrived (in order of arrival), or 0 when none is
    // waiting. Never blocks.
    int Take();

  private:
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace platform

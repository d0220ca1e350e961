// The seam between the protocol engine and the line: the engine hands each command to a
// CommandPort; the port's reader hands each complete reply back to a ReplySink.
#pragma once

#include <cstdint>

namespace mic {

struct ReplyState;

class ReplySink {
  public:
    virtual ~ReplySink() = default;
    // Called on the reader thread; returns only after the engine has run its transaction step
    // for this reply (the reader waits, as the line protocol requires). `reply` points at the
    // reply buffer of the ReplyState; `transaction` is the record's transaction number as it
    // stood when the byte that completed the reply was taken.
    virtual void OnReplyReady(uint32_t portNumber, const uint8_t* reply, uint32_t transaction) = 0;
};

class CommandPort {
  public:
    virtual ~CommandPort() = default;
    // Main thread. `message` is a command ended by 0xFF, at most 127 data bytes. Copies it,
    // prepares the ReplyState (echo length, count) and wakes the reader. Does not wait.
    virtual void SendCommand(const uint8_t* message) = 0;
    // Main thread. True while the port is open and its reader runs.
    virtual bool IsOpen() const = 0;
};

}  // namespace mic

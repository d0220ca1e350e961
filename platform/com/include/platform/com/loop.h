// Delivery of the object server's pushes on the thread that asked for them.
//
// Each thread that uses the object server has its own bus connection. Pushes (OnDataChange)
// for the sinks of a thread are dispatched only when that thread processes its connection, so
// the thread's event loop must watch the connection: before every wait, read what to wait for
// (CurrentThreadWait: fd, poll events and time-out, which change after every call the thread
// makes), wait, then ProcessCurrentThread. A synchronous call may read pushes off the socket
// and park them, leaving the fd quiet: the time-out of 0 that CurrentThreadWait then gives
// is what keeps them from being stranded.
#pragma once

#include <functional>

namespace platform::messages {
class MessageQueue;
}

namespace platform::com {

struct LoopWait {
    int fd = -1;         // -1: the thread has no connection yet, nothing to watch
    short events = 0;    // POLLIN, POLLOUT
    int timeoutMs = -1;  // -1: no time-out; 0: process at once
};

// Calling thread: what its loop must wait for before it blocks.
LoopWait CurrentThreadWait();
// Calling thread: dispatches every pending push and message of its connection; never blocks.
// Returns how many were dispatched.
int ProcessCurrentThread();

// A plain program's loop for the calling thread: waits on its connection (and on `queue`, when
// given, running its window messages) until PostQuitMessage; returns the code given to it.
int RunMessagePump(platform::messages::MessageQueue* queue = nullptr);

// Ends the calling thread's message loop with `code`. RunMessagePump returns; where a loop of
// another kind runs (Qt), the handler it installed is called instead.
void PostQuitMessage(int code);
using QuitHandler = std::function<void(int code)>;
// Calling thread: installs (or with an empty function removes) its loop's quit handler.
void SetQuitHandler(QuitHandler handler);

}  // namespace platform::com

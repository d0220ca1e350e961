// Time and thread services the core asks of its host (the Qt window, or a fake in tests).
#pragma once

#include <cstdint>
#include <functional>

namespace mic {

// The main window's timers.
enum TimerId : int {
    kTimerTransaction = 1,  // protocol time-out: 10, 50, 100 or 200 ms
    kTimerInfo = 2,         // info picture back to default after 3 s
    kTimerPopup = 3,        // popup auto-close after 2500 ms
    kTimerSeqLock = 4,      // sequential-assignment lock, 2 s
    kTimerRackCheck = 5,    // periodic read-back of the racks ("Verify Every"), off by default
};

class MicTimers {
  public:
    virtual ~MicTimers() = default;
    // Main thread. (Re)starts timer `id` as a repeating timer of `periodMs`; it fires
    // MicController::OnTimer(id) on the main thread until killed or set again.
    virtual void SetTimer(int id, uint32_t periodMs) = 0;
    // Main thread.
    virtual void KillTimer(int id) = 0;
};

// Hands work from the serial reader thread to the main thread and waits for it (the reply
// hand-over of the line protocol is synchronous). Tests run the function in place.
class MainThreadInvoker {
  public:
    virtual ~MainThreadInvoker() = default;
    // Reader thread. Runs `fn` on the main thread and returns after it has run (or at once,
    // without running it, when the main thread is shutting down).
    virtual void CallAndWait(const std::function<void()>& fn) = 0;
};

}  // namespace mic

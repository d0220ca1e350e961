// Qt implementations of the core's time and thread services: the main window's four timers,
// and the hand-over from the serial reader thread to the GUI thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "mic/core/MicTimers.h"

namespace mic::ui {

// Timers 1-4 of the main window as repeating QTimers on the GUI thread.
class QtMicTimers : public MicTimers {
  public:
    // `fire` is called on the GUI thread with the timer id.
    explicit QtMicTimers(std::function<void(int)> fire);
    ~QtMicTimers() override;

    void SetTimer(int id, uint32_t periodMs) override;
    void KillTimer(int id) override;
    // Main thread. Running, and its period (tests).
    bool Active(int id) const;
    int Interval(int id) const;

  private:
    std::array<std::unique_ptr<QTimer>, 5> timers_;
    std::function<void(int)> fire_;
};

// The reader's reply hand-over: the function runs on the GUI thread, and the reader waits until
// it has run, as the line protocol requires. Unlike a BlockingQueuedConnection the wait can be
// cancelled: the GUI thread calls Shutdown() before it stops the reader, so a reader that is
// handing over a reply at that moment returns instead of waiting for a GUI thread that is itself
// waiting for the reader to end. A cancelled hand-over never runs.
class QtMainThreadInvoker : public MainThreadInvoker {
  public:
    // `context` lives on the GUI thread.
    explicit QtMainThreadInvoker(QObject* context);
    ~QtMainThreadInvoker() override;

    // Reader thread.
    void CallAndWait(const std::function<void()>& fn) override;
    // Main thread. Cancels waiting hand-overs and refuses new ones until Resume().
    void Shutdown();
    // Main thread.
    void Resume();

  private:
    struct Call;
    QObject* context_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool shuttingDown_ = false;
    uint64_t generation_ = 0;
};

}  // namespace mic::ui

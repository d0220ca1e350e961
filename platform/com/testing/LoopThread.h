// A thread that runs a message pump (its bus connection and a window-message queue) and the
// work other threads hand it: a stand-in for a server's main thread in tests and benchmarks.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

namespace platform::com::testing {

class LoopThread {
  public:
    LoopThread();
    ~LoopThread();
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;

    // Runs `work` on the thread and waits for it.
    void Run(const std::function<void()>& work);
    // Queues `work` for the thread and returns at once.
    void Post(std::function<void()> work);
    // Ends the thread (idempotent); its bus connection closes with it.
    void Stop();

  private:
    std::uintptr_t window_ = 0;
    std::thread thread_;
};

}  // namespace platform::com::testing

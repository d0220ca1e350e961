// How the console-link receivers reach the main window: notices queued to the window's
// thread, never run inside the delivery that caused them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace mic {

// The main window's side (the host implements it).
class ConsoleNoticeTarget {
  public:
    virtual ~ConsoleNoticeTarget() = default;
    // Any thread: queues `notice` to run later on the target's thread.
    virtual void Post(std::function<void()> notice) = 0;
    // Target's thread: a new mic-line image is waiting ("ButtonFromVantor").
    virtual void OnButtonFromVantor(int wParam, int lParam) = 0;
    // Target's thread: the console asks the program to close.
    virtual void OnCloseRequest() = 0;
};

// A receiver's line to its target. Queued notices of a receiver that has gone are dropped.
class NoticePoster {
  public:
    explicit NoticePoster(ConsoleNoticeTarget* target);
    ~NoticePoster();
    NoticePoster(const NoticePoster&) = delete;
    NoticePoster& operator=(const NoticePoster&) = delete;

    // Main thread; null: no notices.
    void SetTarget(ConsoleNoticeTarget* target);
    // Queues `notice` for the target; false without one.
    bool Post(std::function<void(ConsoleNoticeTarget&)> notice);
    // As Post, unless a notice queued by PostOnce has not run yet: at most one such notice
    // waits at any time. True when one is waiting after the call.
    bool PostOnce(std::function<void(ConsoleNoticeTarget&)> notice);

  private:
    bool Queue(bool once, std::function<void(ConsoleNoticeTarget&)> notice);

    struct Shared {
        std::atomic<ConsoleNoticeTarget*> target{nullptr};
        std::atomic<bool> waiting{false};
    };
    std::shared_ptr<Shared> shared_;
};

}  // namespace mic

// A critical section and its scoped lock. Like the critical sections they stand for, a thread
// that holds the section may enter it again.
#pragma once

#include <mutex>

namespace mic {

class CFastCriticalSection {
  public:
    CFastCriticalSection() = default;
    virtual ~CFastCriticalSection() = default;
    CFastCriticalSection(const CFastCriticalSection&) = delete;
    CFastCriticalSection& operator=(const CFastCriticalSection&) = delete;

    // Any thread.
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

  private:
    std::recursive_mutex mutex_;
};

// Holds the section from construction to destruction.
class CFastSingleLock {
  public:
    explicit CFastSingleLock(CFastCriticalSection* section) : section_(section) {
        section_->Enter();
    }
    virtual ~CFastSingleLock() { section_->Leave(); }
    CFastSingleLock(const CFastSingleLock&) = delete;
    CFastSingleLock& operator=(const CFastSingleLock&) = delete;

  private:
    CFastCriticalSection* section_;
};

}  // namespace mic

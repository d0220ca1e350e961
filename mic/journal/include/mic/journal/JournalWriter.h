// The journal's worker: rows handed over by the main thread wait in a bounded queue and are
// written by a thread of their own, each batch in one transaction, so that the main thread
// never waits on the disk. The worker also keeps the journal within its age and count bounds.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mic/journal/JournalRow.h"
#include "mic/journal/JournalStore.h"

namespace mic::journal {

struct JournalLimits {
    int64_t maxAgeUs = int64_t{90} * 24 * 3600 * 1000000;  // 90 days
    int64_t maxRows = 100000;                              // 0 = no count bound
    // Prune after this many rows have been written since the last pruning (and on start).
    int64_t pruneEvery = 1000;
};

class JournalWriter {
  public:
    using Clock = std::function<int64_t()>;  // microseconds since the epoch
    // Any thread (the worker). `lastId` is the id of the newest row committed so far.
    using CommitListener = std::function<void(int64_t lastId, int64_t rowsCommitted)>;

    // Starts the worker, which owns `store` from now on. `capacity`: rows that may wait.
    JournalWriter(std::unique_ptr<JournalStore> store, size_t capacity, JournalLimits limits,
                  Clock clock, CommitListener onCommit = {});
    // Writes every row still waiting, then stops the worker.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Main thread. Hands a row over without waiting for the disk: the lock is only ever held
    // for a move into or a swap of the queue. A full queue drops the row and counts it; the
    // worker then journals a note of how many rows were dropped.
    bool Push(JournalRow&& row);
    // Any thread. Waits until every row pushed so far is committed (or failed); false on
    // timeout. For readers that must see what was pushed (the window opening, tests).
    bool Flush(std::chrono::milliseconds timeout);

    // Any thread.
    uint64_t Dropped() const { return dropped_.load(); }
    uint64_t Failed() const { return failed_.load(); }
    uint64_t Committed() const { return committed_.load(); }

  private:
    void Run();
    void WriteBatch(std::vector<JournalRow>& batch);
    void PruneIfDue(bool force);
    JournalRow Note(std::string text) const;

    std::unique_ptr<JournalStore> store_;
    const size_t capacity_;
    const JournalLimits limits_;
    const Clock clock_;
    const CommitListener onCommit_;

    std::mutex mutex_;
    std::condition_variable wake_;      // the worker: rows waiting or stop
    std::condition_variable finished_;  // Flush: a batch is done
    std::vector<JournalRow> queue_;     // guarded by mutex_
    bool stop_ = false;                 // guarded by mutex_
    uint64_t pushed_ = 0;               // guarded by mutex_: rows accepted
    uint64_t done_ = 0;                 // guarded by mutex_: rows committed or failed

    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> failed_{0};
    std::atomic<uint64_t> committed_{0};
    // Worker only.
    uint64_t droppedNoted_ = 0;  // dropped rows a committed note counts
    uint64_t droppedSeen_ = 0;   // dropped rows a note was attempted for
    uint64_t failedNoted_ = 0;
    int64_t sincePrune_ = 0;
    std::thread worker_;
};

}  // namespace mic::journal

#include "mic/journal/JournalWriter.h"

#include <cstdio>

namespace mic::journal {

JournalWriter::JournalWriter(std::unique_ptr<JournalStore> store, size_t capacity,
                             JournalLimits limits, Clock clock, CommitListener onCommit)
    : store_(std::move(store)),
      capacity_(capacity == 0 ? 1 : capacity),
      limits_(limits),
      clock_(std::move(clock)),
      onCommit_(std::move(onCommit)) {
    // Both vectors that trade places keep this capacity: pushing never allocates the queue.
    queue_.reserve(capacity_);
    worker_ = std::thread([this] { Run(); });
}

JournalWriter::~JournalWriter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

bool JournalWriter::Push(JournalRow&& row) {
    bool wasEmpty;
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= capacity_) {
            dropped_.fetch_add(1);
            return false;
        }
        wasEmpty = queue_.empty();
        queue_.push_back(std::move(row));
        ++pushed_;
    }
    if (wasEmpty) {
        wake_.notify_one();
    }
    return true;
}

bool JournalWriter::Flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const uint64_t target = pushed_;
    return finished_.wait_for(lock, timeout, [&] { return done_ >= target; });
}

void JournalWriter::Run() {
    std::vector<JournalRow> batch;
    batch.reserve(capacity_);
    PruneIfDue(true);
    for (;;) {
        bool stopping;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(
                lock, [&] { return stop_ || !queue_.empty() || dropped_.load() != droppedNoted_; });
            batch.swap(queue_);
            stopping = stop_;
        }
        const size_t taken = batch.size();
        WriteBatch(batch);
        {
            std::lock_guard lock(mutex_);
            done_ += taken;
        }
        finished_.notify_all();
        if (stopping) {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
        }
    }
}

JournalRow JournalWriter::Note(std::string text) const {
    JournalRow note;
    note.kind = RowKind::Note;
    note.timeUs = clock_();
    note.note = std::move(text);
    return note;
}

void JournalWriter::WriteBatch(std::vector<JournalRow>& batch) {
    // Rows dropped or lost since the last note are journaled after the batch they were missing
    // from, so that a reader sees the gap where it happened.
    const uint64_t dropped = dropped_.load();
    // A note that cannot be written is tried again with the next batch, not in a loop.
    droppedSeen_ = dropped;
    if (dropped != droppedNoted_) {
        batch.push_back(Note(std::to_string(dropped - droppedNoted_) +
                             " rows dropped: the journal queue was full"));
    }
    const uint64_t failed = failed_.load();
    if (failed != failedNoted_) {
        batch.push_back(Note(std::to_string(failed - failedNoted_) +
                             " rows lost: the journal could not be written"));
    }
    if (batch.empty()) {
        return;
    }
    const size_t notes = (dropped != droppedNoted_) + (failed != failedNoted_);
    if (store_->Append(batch)) {
        droppedNoted_ = dropped;
        failedNoted_ = failed;
        const auto rows = static_cast<int64_t>(batch.size() - notes);
        committed_.fetch_add(static_cast<uint64_t>(rows));
        sincePrune_ += static_cast<int64_t>(batch.size());
        if (onCommit_) {
            onCommit_(batch.back().id, rows);
        }
        PruneIfDue(false);
    } else {
        failed_.fetch_add(batch.size() - notes);
        std::fprintf(stderr, "mic: journal: %zu rows not written: %s\n", batch.size() - notes,
                     store_->LastError().c_str());
    }
    batch.clear();
}

void JournalWriter::PruneIfDue(bool force) {
    if (!force && sincePrune_ < limits_.pruneEvery) {
        return;
    }
    sincePrune_ = 0;
    const int64_t oldest = limits_.maxAgeUs > 0 ? clock_() - limits_.maxAgeUs : INT64_MIN;
    if (store_->Prune(oldest, limits_.maxRows) < 0) {
        std::fprintf(stderr, "mic: journal: pruning failed: %s\n", store_->LastError().c_str());
    }
}

}  // namespace mic::journal

// The change journal: an observer of the controller that records every applied change and
// every refusal, with its time and source, in the journal database, and passes each row on to
// listeners on the main thread (the Journal window) without reading the database again.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/journal/JournalRow.h"
#include "mic/journal/JournalWriter.h"

namespace mic::journal {

// The database's place: journal.db in mic's state directory (beside the automatic snapshot).
std::string DefaultJournalPath();

struct JournalOptions {
    std::string path;  // empty: DefaultJournalPath()
    JournalLimits limits;
    size_t queueCapacity = 8192;  // rows that may wait for the worker
    JournalWriter::Clock clock;   // empty: the system clock
    JournalWriter::CommitListener onCommit;
};

class JournalListener {
  public:
    virtual ~JournalListener() = default;
    // Main thread. A row was journaled (its id is not known yet).
    virtual void JournalRowAdded(const JournalRow& row) = 0;
};

class ChangeJournal : public ChangeObserver {
  public:
    // Main thread, at start-up: opens or creates the database (the only disk access on the
    // main thread) and starts the worker. nullptr with `error` set when it cannot be opened.
    static std::unique_ptr<ChangeJournal> Open(JournalOptions options,
                                               std::string* error = nullptr);
    ~ChangeJournal() override;

    // ChangeObserver (main thread).
    void ChannelChanged(const ChannelChange& change) override;

    // Main thread.
    void AddListener(JournalListener* listener);
    void RemoveListener(JournalListener* listener);

    // Main thread. Rows from the database after every row journaled so far has been written
    // (waits for the worker at most `wait`). For the window's opening and its filter changes.
    std::vector<JournalRow> Read(const JournalFilter& filter,
                                 std::chrono::milliseconds wait = std::chrono::seconds(2));

    const std::string& Path() const { return path_; }
    JournalWriter& Writer() { return *writer_; }

  private:
    ChangeJournal(std::string path, JournalWriter::Clock clock,
                  std::unique_ptr<JournalWriter> writer);

    std::string path_;
    JournalWriter::Clock clock_;
    std::unique_ptr<JournalWriter> writer_;
    std::vector<JournalListener*> listeners_;
    std::unique_ptr<JournalStore> reader_;  // opened at the first Read
};

}  // namespace mic::journal

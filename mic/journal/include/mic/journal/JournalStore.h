// The journal's SQLite database: the table of rows, batched appends, pruning and queries.
// One connection per thread: the writer's worker owns a writable one; readers (the window,
// micctl) open their own read-only connections, which WAL lets run beside the writer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mic/journal/JournalRow.h"

struct sqlite3;

namespace mic::journal {

class JournalStore {
  public:
    enum class Mode { ReadWrite, ReadOnly };

    // Opens (ReadWrite: creates the file, its directory and the table) the database at `path`.
    // nullptr with `error` set when it cannot be opened or is not a journal.
    static std::unique_ptr<JournalStore> Open(const std::string& path, Mode mode,
                                              std::string* error = nullptr);
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    // Appends `rows` in one transaction and sets their ids. False (and nothing written) when the
    // transaction fails; LastError() says why.
    bool Append(std::vector<JournalRow>& rows);
    // Deletes rows older than `oldestUs` and all but the newest `maxRows` (0 = no count bound).
    // The number of rows deleted, or -1 on failure.
    int64_t Prune(int64_t oldestUs, int64_t maxRows);
    std::vector<JournalRow> Query(const JournalFilter& filter);
    int64_t Count();
    const std::string& LastError() const { return error_; }

  private:
    explicit JournalStore(sqlite3* db) : db_(db) {}
    bool Exec(const char* sql);
    bool Fail(const char* what);

    sqlite3* db_;
    std::string error_;
};

}  // namespace mic::journal

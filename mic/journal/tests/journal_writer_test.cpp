// The worker: the main thread's hand-over never waits for the disk, a full queue drops rows
// and says so in the journal, a failed write is reported, and the bounds are kept.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>

#include "JournalFixture.h"

namespace mic::journal::test {
namespace {

using namespace std::chrono_literals;

ChannelChange Change(int n) {
    ChannelChange c;
    c.rack = n % 16;
    c.channel = n % 12;
    c.field = ChannelField::Phase;
    c.newValue = 1;
    c.origin.detail = "row " + std::to_string(n);
    return c;
}

// Another connection holding the write lock: the worker's next transaction has to wait.
class WriteLock {
  public:
    explicit WriteLock(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        // The worker may still be in its start-up pruning: wait for it rather than fail.
        sqlite3_busy_timeout(db_, 30000);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~WriteLock() { Release(); }
    void Release() {
        if (db_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }

  private:
    sqlite3* db_ = nullptr;
};

uint64_t DroppedByNotes(const std::vector<JournalRow>& rows) {
    uint64_t total = 0;
    for (const JournalRow& r : rows) {
        unsigned long long n = 0;
        char rest[64] = {};
        if (r.kind == RowKind::Note &&
            std::sscanf(r.note.c_str(), "%llu rows dropped: %63[^\n]", &n, rest) == 2) {
            EXPECT_STREQ(rest, "the journal queue was full");
            total += n;
        }
    }
    return total;
}

struct Listener : JournalListener {
    void JournalRowAdded(const JournalRow& row) override { rows.push_back(row); }
    std::vector<JournalRow> rows;
};

TEST(JournalWriter, AFullQueueDropsRowsWithoutWaitingAndTheJournalSaysHowMany) {
    JournalFixture f({}, 64);
    Listener listener;
    f.journal->AddListener(&listener);
    WriteLock lock(f.dir.File("journal.db"));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i)
        f.journal->ChannelChanged(Change(i));
    // The worker is stuck behind the lock (for up to its 5 s busy wait): a hand-over that
    // waited for the disk would not get through a thousand rows this fast.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // At most the batch the worker took before it got stuck, and a full queue behind it.
    const uint64_t dropped = f.journal->Writer().Dropped();
    EXPECT_GE(dropped, 1000u - 2 * 64u);
    lock.Release();

    const auto rows = f.Rows();
    uint64_t changes = 0;
    for (const JournalRow& r : rows)
        changes += r.kind == RowKind::Change;
    EXPECT_EQ(changes + dropped, 1000u);
    EXPECT_EQ(f.journal->Writer().Committed(), changes);
    // Every dropped row is counted by a note (one or more, as the worker noticed them).
    EXPECT_EQ(DroppedByNotes(rows), dropped);
    // The window still saw every row as it happened.
    EXPECT_EQ(listener.rows.size(), 1000u);
    f.journal->RemoveListener(&listener);
    f.journal->ChannelChanged(Change(1000));
    EXPECT_EQ(listener.rows.size(), 1000u);
}

TEST(JournalWriter, RowsThatCannotBeWrittenAreCountedAndJournaledAsLost) {
    JournalFixture f;
    {
        WriteLock lock(f.dir.File("journal.db"));
        f.journal->ChannelChanged(Change(1));
        // Longer than the worker's busy wait: its transaction fails.
        EXPECT_TRUE(f.journal->Writer().Flush(30s));
    }
    EXPECT_EQ(f.journal->Writer().Failed(), 1u);
    EXPECT_EQ(f.journal->Writer().Committed(), 0u);
    f.journal->ChannelChanged(Change(2));
    const auto rows = f.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].change.origin.detail, "row 2");
    EXPECT_EQ(rows[1].note, "1 rows lost: the journal could not be written");
}

TEST(JournalWriter, TheWorkerKeepsTheJournalWithinItsAgeAndCount) {
    JournalLimits limits;
    limits.maxAgeUs = 10 * 1000000;
    limits.maxRows = 5;
    limits.pruneEvery = 1;
    JournalFixture f(limits);
    for (int i = 0; i < 20; ++i) {
        f.journal->ChannelChanged(Change(i));
        f.journal->Writer().Flush(30s);
    }
    auto rows = f.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.front().change.origin.detail, "row 15");
    EXPECT_EQ(rows.back().change.origin.detail, "row 19");

    // Twenty seconds on, the old rows are past their age: the next batch prunes them.
    f.now += 20 * 1000000;
    f.journal->ChannelChanged(Change(20));
    rows = f.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].change.origin.detail, "row 20");
}

TEST(JournalWriter, ClosingTheJournalWritesEveryRowStillWaiting) {
    JournalDir dir;
    {
        JournalOptions options;
        options.path = dir.File("j.db");
        auto journal = ChangeJournal::Open(options);
        ASSERT_TRUE(journal);
        WriteLock lock(options.path);
        for (int i = 0; i < 100; ++i)
            journal->ChannelChanged(Change(i));
        lock.Release();
    }
    auto store = JournalStore::Open(dir.File("j.db"), JournalStore::Mode::ReadOnly);
    ASSERT_TRUE(store);
    const auto rows = store->Query({});
    ASSERT_EQ(rows.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(rows[static_cast<size_t>(i)].change.origin.detail, "row " + std::to_string(i));
}

}  // namespace
}  // namespace mic::journal::test

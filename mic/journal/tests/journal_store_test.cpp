// The database: what a query selects and in which order, what pruning keeps, and what it
// refuses to open.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "JournalFixture.h"

namespace mic::journal::test {
namespace {

JournalRow Row(int64_t timeUs, int rack, int channel, ChangeSource source, int newValue = 5) {
    JournalRow row;
    row.timeUs = timeUs;
    row.change.origin.source = source;
    row.change.rack = rack;
    row.change.channel = channel;
    row.change.field = ChannelField::Gain;
    row.change.oldValue = 3;
    row.change.newValue = newValue;
    return row;
}

struct Store : ::testing::Test {
    void SetUp() override {
        store = JournalStore::Open(dir.File("j.db"), JournalStore::Mode::ReadWrite, &error);
        ASSERT_TRUE(store) << error;
    }
    void Append(std::vector<JournalRow> rows) { ASSERT_TRUE(store->Append(rows)); }
    std::vector<int> Values(const JournalFilter& f) {
        std::vector<int> v;
        for (const JournalRow& r : store->Query(f))
            v.push_back(r.change.newValue);
        return v;
    }
    JournalDir dir;
    std::string error;
    std::unique_ptr<JournalStore> store;
};

TEST_F(Store, QueriesFilterByRackChannelSourceAndTimeInEitherOrderWithALimit) {
    const int64_t t = kTestEpochUs;
    Append({Row(t + 1, 0, 0, ChangeSource::Operator, 3), Row(t + 2, 1, 0, ChangeSource::Remote, 4),
            Row(t + 3, 1, 5, ChangeSource::FrontPanel, 5),
            Row(t + 4, 1, 5, ChangeSource::Operator, 6),
            Row(t + 5, 2, 5, ChangeSource::Operator, 7)});
    JournalRow note;
    note.kind = RowKind::Note;
    note.timeUs = t + 6;
    note.note = "3 rows dropped";
    Append({note});

    EXPECT_EQ(store->Query({}).size(), 6u);
    JournalFilter f;
    f.rack = 1;
    EXPECT_EQ(Values(f), (std::vector<int>{4, 5, 6}));
    f.channel = 5;
    EXPECT_EQ(Values(f), (std::vector<int>{5, 6}));
    f.source = ChangeSource::Operator;
    EXPECT_EQ(Values(f), (std::vector<int>{6}));

    JournalFilter byTime;
    byTime.sinceUs = t + 2;
    byTime.untilUs = t + 5;
    EXPECT_EQ(Values(byTime), (std::vector<int>{4, 5, 6}));
    byTime.newestFirst = true;
    byTime.limit = 2;
    EXPECT_EQ(Values(byTime), (std::vector<int>{6, 5}));

    // A note belongs to no channel: a filter by place leaves it out, a filter by time keeps it.
    JournalFilter bySource;
    bySource.source = ChangeSource::Operator;
    EXPECT_EQ(Values(bySource), (std::vector<int>{3, 6, 7}));
    JournalFilter recent;
    recent.sinceUs = t + 6;
    const auto rows = store->Query(recent);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, RowKind::Note);
    EXPECT_EQ(rows[0].note, "3 rows dropped");
    // The same rules as the window applies to rows that arrive live.
    for (const JournalRow& r : store->Query({}))
        EXPECT_EQ(Matches(f, r), r.change.newValue == 6 && r.kind == RowKind::Change);
    EXPECT_TRUE(Matches(recent, rows[0]));
}

TEST_F(Store, PruningKeepsTheNewestRowsWithinTheAgeAndTheCount) {
    std::vector<JournalRow> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(Row(kTestEpochUs + i * 1000, 0, 0, ChangeSource::Operator, i));
    Append(rows);
    // Below the bounds nothing goes.
    EXPECT_EQ(store->Prune(kTestEpochUs, 10), 0);
    EXPECT_EQ(store->Prune(kTestEpochUs, 0), 0);
    EXPECT_EQ(store->Count(), 10);
    // By age: rows older than the oldest time kept.
    EXPECT_EQ(store->Prune(kTestEpochUs + 3000, 0), 3);
    EXPECT_EQ(Values({}), (std::vector<int>{3, 4, 5, 6, 7, 8, 9}));
    // By count: the newest ones stay.
    EXPECT_EQ(store->Prune(kTestEpochUs, 4), 3);
    EXPECT_EQ(Values({}), (std::vector<int>{6, 7, 8, 9}));
    EXPECT_EQ(store->Prune(kTestEpochUs, 1), 3);
    EXPECT_EQ(Values({}), (std::vector<int>{9}));
    // New rows continue after the pruned ones.
    Append({Row(kTestEpochUs + 20000, 0, 0, ChangeSource::Operator, 42)});
    const auto left = store->Query({});
    ASSERT_EQ(left.size(), 2u);
    EXPECT_GT(left[1].id, left[0].id);
}

TEST_F(Store, AReaderSeesCommittedRowsWhileTheWriterKeepsTheDatabaseOpen) {
    auto reader = JournalStore::Open(dir.File("j.db"), JournalStore::Mode::ReadOnly, &error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->Count(), 0);
    Append({Row(kTestEpochUs, 3, 4, ChangeSource::Operator)});
    EXPECT_EQ(reader->Count(), 1);
    // A reader cannot write.
    std::vector<JournalRow> more{Row(kTestEpochUs, 3, 4, ChangeSource::Operator)};
    EXPECT_FALSE(reader->Append(more));
    EXPECT_EQ(more[0].id, 0);
    EXPECT_EQ(store->Count(), 1);
}

TEST(JournalStoreOpen, RefusesOtherFilesAndMissingJournalsWithoutTouchingThem) {
    JournalDir dir;
    std::string error;
    // Another program's SQLite database is not altered.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.File("other.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_FALSE(JournalStore::Open(dir.File("other.db"), JournalStore::Mode::ReadWrite, &error));
    EXPECT_NE(error.find("not a change journal"), std::string::npos);

    std::ofstream(dir.File("text.db")) << "hello, this is not a database at all\n";
    EXPECT_FALSE(JournalStore::Open(dir.File("text.db"), JournalStore::Mode::ReadWrite, &error));

    // A reader does not create a journal that is not there.
    EXPECT_FALSE(JournalStore::Open(dir.File("none.db"), JournalStore::Mode::ReadOnly, &error));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.db")));
    // The writer creates the directories it needs.
    EXPECT_TRUE(JournalStore::Open(dir.File("a/b/j.db"), JournalStore::Mode::ReadWrite, &error))
        << error;
}

}  // namespace
}  // namespace mic::journal::test

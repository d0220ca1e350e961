// A process killed with SIGKILL in the middle of a burst of changes: every row it had reported
// committed is in the journal afterwards, whole and in order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "JournalFixture.h"
#include "mic/journal/JournalCommand.h"

namespace mic::journal::test {
namespace {

// The burst program, its stdout read line by line.
class Burst {
  public:
    explicit Burst(const std::string& db) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(JOURNAL_BURST_PROGRAM, JOURNAL_BURST_PROGRAM, db.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~Burst() {
        Kill();
        if (out_)
            std::fclose(out_);
    }
    bool Line(std::string& line) {
        char buf[256];
        if (!out_ || !std::fgets(buf, sizeof buf, out_))
            return false;
        line = buf;
        return true;
    }
    int Kill() {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

TEST(JournalCrash, EveryRowReportedCommittedBeforeAKillIsReadableAfterIt) {
    JournalDir dir;
    const std::string db = dir.File("journal.db");
    Burst burst(db);
    std::string line;
    ASSERT_TRUE(burst.Line(line));
    ASSERT_EQ(line, "ready\n");
    // Let a good number of transactions go by, then kill the process in the middle of the
    // burst, without reading further: the last report read is a lower bound of what was
    // committed at the kill.
    long long lastId = 0, rows = 0, commits = 0;
    while (lastId < 20000 && burst.Line(line)) {
        long long id = 0, n = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "committed %lld %lld", &id, &n), 2) << line;
        ASSERT_GT(id, lastId);
        lastId = id;
        rows += n;
        ++commits;
    }
    const int status = burst.Kill();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_GE(lastId, 20000);
    EXPECT_GT(commits, 1);

    // The next reader, as micctl would be: read-only, right after the crash.
    std::ostringstream out, err;
    ASSERT_EQ(RunJournalCommand({"--db", db, "--limit", "1"}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("rack 1 channel 1  gain \"20 dB\" -> \"25 dB\""), std::string::npos)
        << out.str();

    auto store = JournalStore::Open(db, JournalStore::Mode::ReadOnly);
    ASSERT_TRUE(store);
    JournalFilter upTo;
    upTo.untilUs = INT64_MAX;
    const auto all = store->Query(upTo);
    ASSERT_GE(static_cast<long long>(all.size()), lastId);
    // Rows 1..lastId are there, each the change the program made in that order; rows the full
    // queue dropped are skipped where the journal's note says how many.
    long long expected = 0, notes = 0, previousId = 0;
    for (const JournalRow& r : all) {
        if (r.id > lastId)
            break;
        ASSERT_EQ(r.id, previousId + 1) << "a committed row is missing";
        previousId = r.id;
        if (r.kind == RowKind::Note) {
            long long dropped = 0;
            ASSERT_EQ(std::sscanf(r.note.c_str(), "%lld rows dropped", &dropped), 1) << r.note;
            expected += dropped;
            ++notes;
            continue;
        }
        const int n = static_cast<int>(expected);
        ASSERT_EQ(r.change.origin.detail, "row " + std::to_string(expected)) << "id " << r.id;
        EXPECT_EQ(r.change.rack, n % 16);
        EXPECT_EQ(r.change.channel, n % 12);
        EXPECT_EQ(r.change.newValue, 3 + (n + 1) % 11);
        ++expected;
    }
    EXPECT_EQ(previousId, lastId);
    EXPECT_GE(expected, lastId - notes);
    EXPECT_EQ(rows + notes, lastId);
}

}  // namespace
}  // namespace mic::journal::test

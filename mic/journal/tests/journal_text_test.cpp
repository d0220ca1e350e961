// The journal as text: CSV quoting, times given by a user, and `micctl journal` run against
// a database the way the command line runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "JournalFixture.h"
#include "mic/journal/JournalCommand.h"
#include "mic/journal/JournalText.h"

namespace mic::journal::test {
namespace {

// The tests read times in UTC whatever the machine's zone.
struct Utc : ::testing::Test {
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> saved_;
};

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\r\n") {
    std::vector<std::string> lines;
    size_t start = 0, at;
    while ((at = text.find(end, start)) != std::string::npos) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return lines;
}

TEST(JournalCsv, QuotesOnlyFieldsWithCommasQuotesOrLineBreaks) {
    EXPECT_EQ(CsvField("Kick"), "Kick");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("Snare, top"), "\"Snare, top\"");
    EXPECT_EQ(CsvField("the \"big\" one"), "\"the \"\"big\"\" one\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
    EXPECT_EQ(CsvField("\""), "\"\"\"\"");
}

TEST_F(Utc, TimesAreReadAsDatesSpansBackOrUnixSecondsAndWrittenWithTheirOffset) {
    const int64_t now = kTestEpochUs;  // 2026-01-01T00:00:00Z
    EXPECT_EQ(FormatTime(now + 1234567), "2026-01-01T00:00:01.234+00:00");
    EXPECT_EQ(ParseTime("2026-01-01", now), now);
    EXPECT_EQ(ParseTime("2028-02-29Z", now),
              now + int64_t{(365 + 365 + 31 + 28) * 86400} * 1000000);
    EXPECT_EQ(ParseTime("2026-01-01T00:00:01", now), now + 1000000);
    EXPECT_EQ(ParseTime("2026-01-01 01:02", now), now + 3720 * int64_t{1000000});
    EXPECT_EQ(ParseTime("2025-12-31T23:59:59Z", now), now - 1000000);
    EXPECT_EQ(ParseTime("@1767225600", now), now);
    EXPECT_EQ(ParseTime("90s", now), now - 90 * int64_t{1000000});
    EXPECT_EQ(ParseTime("-10m", now), now - 600 * int64_t{1000000});
    EXPECT_EQ(ParseTime("2h", now), now - 7200 * int64_t{1000000});
    EXPECT_EQ(ParseTime("7d", now), now - 7 * 86400 * int64_t{1000000});
    for (const char* bad :
         {"", "@", "@12x", "10", "m", "10w", "x10m", "2026-13-01", "2026-02-29", "2026-04-31",
          "2026-1-1", "2026-01-01T25:00", "2026-01-01T10", "2026-01-01 10:00 ", "--5m",
          "99999999999999999999d", "@99999999999999999999"})
        EXPECT_FALSE(ParseTime(bad, now)) << bad;
    // Local time follows the zone; the offset is written beside it.
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_EQ(ParseTime("2026-01-01T01:00", now), now);
    EXPECT_EQ(FormatTime(now), "2026-01-01T01:00:00.000+01:00");
}

struct Command : Utc {
    void SetUp() override {
        Utc::SetUp();
        fixture = std::make_unique<JournalFixture>();
        ChannelChange name;
        name.rack = 2;
        name.channel = 11;
        name.field = ChannelField::Name;
        name.oldText = "Vox";
        name.newText = "Gtr, \"amp\"\nleft";
        name.origin.source = ChangeSource::Remote;
        name.origin.detail = "10.0.0.2:9000";
        fixture->journal->ChannelChanged(name);

        fixture->now += 60 * 1000000;
        ChannelChange line;
        line.field = ChannelField::Gain;
        line.oldValue = 3;
        line.newValue = 13;
        line.origin.source = ChangeSource::ConsoleLine;
        line.origin.consoleLine = 7;
        fixture->journal->ChannelChanged(line);

        ChannelChange refused = line;
        refused.origin = {};
        refused.field = ChannelField::Phantom;
        refused.oldValue = 0;
        refused.newValue = 1;
        refused.refused = true;
        refused.reason = refusal::kConsoleOwned;
        fixture->journal->ChannelChanged(refused);
        ASSERT_TRUE(fixture->journal->Writer().Flush(std::chrono::seconds(30)));
    }
    int Run(std::vector<std::string> args) {
        args.push_back("--db");
        args.push_back(fixture->dir.File("journal.db"));
        out.str("");
        err.str("");
        return RunJournalCommand(args, out, err);
    }
    std::unique_ptr<JournalFixture> fixture;
    std::ostringstream out, err;
};

TEST_F(Command, CsvHasAHeaderAndEveryValueOfARowQuotedWhereItMustBe) {
    ASSERT_EQ(Run({"--csv"}), 0) << err.str();
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 4u);  // the header and three rows (a quoted LF ends no row)
    EXPECT_EQ(lines[0],
              "id,time,source,console_line,detail,rack,channel,field,old,new,refused,"
              "reason");
    EXPECT_EQ(lines[1],
              "1,2026-01-01T00:00:00.000+00:00,remote,,10.0.0.2:9000,3,12,name,Vox,"
              "\"Gtr, \"\"amp\"\"\nleft\",no,");
    EXPECT_EQ(lines[2], "2,2026-01-01T00:01:00.000+00:00,console,7,,1,1,gain,20 dB,70 dB,no,");
    EXPECT_EQ(lines[3],
              "3,2026-01-01T00:01:00.000+00:00,operator,,,1,1,phantom,off,on,yes,"
              "channel is assigned to a console line");
}

TEST_F(Command, FiltersAndOrderComeFromTheCommandLine) {
    ASSERT_EQ(Run({"--rack", "1", "--newest-first"}), 0) << err.str();
    auto lines = Lines(out.str(), "\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "2026-01-01T00:01:00.000+00:00  rack 1 channel 1  phantom \"off\" -> "
              "\"on\"  operator  REFUSED: channel is assigned to a console line");
    EXPECT_EQ(lines[1],
              "2026-01-01T00:01:00.000+00:00  rack 1 channel 1  gain \"20 dB\" -> "
              "\"70 dB\"  console line 7");

    ASSERT_EQ(Run({"--source", "OSC"}), 0);
    lines = Lines(out.str(), "\n");
    ASSERT_EQ(lines.size(), 1u);  // the name's line break does not split the listing
    EXPECT_EQ(lines[0],
              "2026-01-01T00:00:00.000+00:00  rack 3 channel 12  name \"Vox\" -> "
              "\"Gtr, \"amp\" left\"  remote 10.0.0.2:9000");
    ASSERT_EQ(Run({"--channel", "12", "--rack", "3", "--csv"}), 0);
    EXPECT_EQ(Lines(out.str()).size(), 2u);
    ASSERT_EQ(Run({"--since", "2026-01-01T00:00:30Z", "--source", "console"}), 0);
    EXPECT_EQ(Lines(out.str(), "\n").size(), 1u);
    ASSERT_EQ(Run({"--until", "@1767225601", "--csv"}), 0);
    EXPECT_EQ(Lines(out.str()).size(), 2u);
    ASSERT_EQ(Run({"--limit", "1", "--csv"}), 0);
    EXPECT_EQ(Lines(out.str()).size(), 2u);
    ASSERT_EQ(Run({"--since", "1d", "--rack", "16"}), 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(Command, BadArgumentsAndAMissingJournalAreErrorsThatSayWhy) {
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--rack", "0"},
                                                {"--rack", "17"},
                                                {"--channel", "13"},
                                                {"--channel", "1x"},
                                                {"--source", "nobody"},
                                                {"--since", "yesterday"},
                                                {"--limit", "0"},
                                                {"--bogus", "1"},
                                                {"extra"}}) {
        EXPECT_EQ(Run(bad), 2) << bad[0];
        EXPECT_NE(err.str().find("Usage: micctl journal"), std::string::npos);
        EXPECT_EQ(out.str(), "");
    }
    out.str("");
    err.str("");
    EXPECT_EQ(RunJournalCommand({"--csv", "--since"}, out, err), 2);
    EXPECT_NE(err.str().find("--since needs a value"), std::string::npos);
    EXPECT_EQ(RunJournalCommand({"--db", fixture->dir.File("none.db")}, out, err), 1);
    EXPECT_NE(err.str().find("none.db"), std::string::npos);
    EXPECT_EQ(RunJournalCommand({"--help"}, out, err), 0);
    EXPECT_NE(out.str().find("--csv"), std::string::npos);
}

}  // namespace
}  // namespace mic::journal::test

#include <gtest/gtest.h>
#include <ledger/EventLogEntry.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct Captured {
    std::mutex mutex;
    std::vector<std::pair<ledger::Severity, std::string>> entries;
};

class TheEventLog : public ::testing::Test {
  protected:
    TheEventLog() {
        CEventLogEntry::SetSink([this](ledger::Severity severity, const std::string& text) {
            std::lock_guard lock(captured.mutex);
            captured.entries.emplace_back(severity, text);
        });
    }
    ~TheEventLog() override { CEventLogEntry::SetSink({}); }
    Captured captured;
};

}  // namespace

TEST_F(TheEventLog, WritesTheLinesOfAnErrorInOrderAsOneEntry) {
    CEventLogEntry entry;
    EXPECT_NE(entry.ReportError({"Server object MicLineRook", "not ready", "%s%n"}), 0);
    EXPECT_NE(CEventLogEntry().ReportWarning("The PDM has a mixture"), 0);
    CEventLogEntry().ReportError({});
    ASSERT_EQ(captured.entries.size(), 3u);
    EXPECT_EQ(captured.entries[0].first, ledger::Severity::Error);
    EXPECT_EQ(captured.entries[0].second, "Server object MicLineRook\nnot ready\n%s%n");
    EXPECT_EQ(captured.entries[1].first, ledger::Severity::Warning);
    EXPECT_EQ(captured.entries[1].second, "The PDM has a mixture");
    EXPECT_EQ(captured.entries[2].second, "");
}

TEST_F(TheEventLog, TakesEntriesFromManyThreadsWhileTheSinkChanges) {
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            CEventLogEntry::SetSink([this](ledger::Severity, const std::string& text) {
                std::lock_guard lock(captured.mutex);
                captured.entries.emplace_back(ledger::Severity::Warning, text);
            });
        }
    });
    std::vector<std::thread> reporters;
    for (int t = 0; t < 4; ++t) {
        reporters.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                CEventLogEntry().ReportWarning("w");
            }
        });
    }
    for (auto& r : reporters) {
        r.join();
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(captured.entries.size(), 2000u);
}

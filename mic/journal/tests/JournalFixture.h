// A journal in a temporary directory with a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "mic/journal/ChangeJournal.h"
#include "mic/journal/JournalStore.h"

namespace mic::journal::test {

class JournalDir {
  public:
    JournalDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "micjournal-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~JournalDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Microseconds of 2026-01-01T00:00:00Z, a starting point for the test clocks.
inline constexpr int64_t kTestEpochUs = int64_t{1767225600} * 1000000;

struct JournalFixture {
    explicit JournalFixture(JournalLimits limits = {}, size_t capacity = 8192) {
        JournalOptions options;
        options.path = dir.File("journal.db");
        options.limits = limits;
        options.queueCapacity = capacity;
        options.clock = [this] { return now.load(); };
        std::string error;
        journal = ChangeJournal::Open(options, &error);
        EXPECT_TRUE(journal) << error;
    }
    // Every row in the database, oldest first, after the worker has written what it was given.
    std::vector<JournalRow> Rows(JournalFilter filter = {}) {
        EXPECT_TRUE(journal->Writer().Flush(std::chrono::seconds(30)));
        auto store = JournalStore::Open(dir.File("journal.db"), JournalStore::Mode::ReadOnly);
        EXPECT_TRUE(store);
        return store ? store->Query(filter) : std::vector<JournalRow>{};
    }

    JournalDir dir;
    std::atomic<int64_t> now{kTestEpochUs};
    std::unique_ptr<ChangeJournal> journal;
};

}  // namespace mic::journal::test

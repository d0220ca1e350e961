// A process that journals a burst of changes until it is killed, and says on stdout which rows
// the journal has committed: "committed ID COUNT" after each transaction. Rows carry their
// number in the detail ("row N") so that a reader can check what survived.
//
// Usage: journal_burst DATABASE
#include <chrono>
#include <cstdio>
#include <thread>

#include "mic/journal/ChangeJournal.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: journal_burst DATABASE\n");
        return 2;
    }
    mic::journal::JournalOptions options;
    options.path = argv[1];
    options.onCommit = [](int64_t lastId, int64_t rows) {
        std::printf("committed %lld %lld\n", static_cast<long long>(lastId),
                    static_cast<long long>(rows));
        std::fflush(stdout);
    };
    std::string error;
    auto journal = mic::journal::ChangeJournal::Open(options, &error);
    if (!journal) {
        std::fprintf(stderr, "journal_burst: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (int n = 0;; ++n) {
        mic::ChannelChange c;
        c.rack = n % 16;
        c.channel = n % 12;
        c.field = mic::ChannelField::Gain;
        c.oldValue = 3 + n % 11;
        c.newValue = 3 + (n + 1) % 11;
        c.origin.detail = "row " + std::to_string(n);
        journal->ChannelChanged(c);
        // Bursts of a hundred changes, as a preset load or a restore of several racks makes.
        if (n % 100 == 99) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

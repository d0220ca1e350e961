// Journal append rate with the main thread's stall per change.
//
// The main thread plays the controller: it reports changes to the journal as fast as it can,
// in bursts, and times every ChannelChanged call (the only time the journal takes from it).
// The baseline is the same row built and appended to a vector in memory. The rate is rows
// committed to the database per second of wall time, from the first change to the last commit.
// Between bursts the producer waits while more than half the queue is still waiting, so that
// the figure is the worker's sustained rate, not the rate of dropping rows.
//
// Usage: bench_journal [ROWS] [DIRECTORY]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mic/journal/ChangeJournal.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds = 0;
    double rowsPerSecond = 0;
    double meanCallUs = 0;
    double p999CallUs = 0;
    double maxCallUs = 0;
    size_t callsOver1ms = 0;
};

mic::ChannelChange Change(int n) {
    mic::ChannelChange c;
    c.rack = n % 16;
    c.channel = n % 12;
    c.field = mic::ChannelField::Gain;
    c.oldValue = 3 + n % 11;
    c.newValue = 3 + (n + 1) % 11;
    c.origin.source = mic::ChangeSource::PresetFile;
    c.origin.detail = "/home/studio/presets/evening show.mic";
    return c;
}

Figures Summarise(std::vector<double>& callsUs, double seconds) {
    Figures f;
    f.seconds = seconds;
    f.rowsPerSecond = static_cast<double>(callsUs.size()) / seconds;
    double sum = 0;
    for (double us : callsUs) {
        sum += us;
        f.callsOver1ms += us > 1000.0;
    }
    f.meanCallUs = sum / static_cast<double>(callsUs.size());
    std::sort(callsUs.begin(), callsUs.end());
    f.p999CallUs = callsUs[callsUs.size() * 999 / 1000];
    f.maxCallUs = callsUs.back();
    return f;
}

template <typename Report>
std::vector<double> TimedCalls(int rows, size_t burst, Report report,
                               const std::function<void()>& betweenBursts) {
    std::vector<double> callsUs;
    callsUs.reserve(static_cast<size_t>(rows));
    for (int n = 0; n < rows; ++n) {
        const mic::ChannelChange c = Change(n);
        const auto start = Clock::now();
        report(c);
        callsUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (static_cast<size_t>(n) % burst == burst - 1) {
            betweenBursts();
        }
    }
    return callsUs;
}

void Print(const char* name, const Figures& f) {
    std::printf("%-10s %12.0f %10.3f %10.3f %10.1f %8zu\n", name, f.rowsPerSecond, f.meanCallUs,
                f.p999CallUs, f.maxCallUs, f.callsOver1ms);
}

}  // namespace

int main(int argc, char** argv) {
    // Options meant for the Google Benchmark programs (scripts/bench.sh passes its arguments to
    // every benchmark) are not ours.
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            words.emplace_back(argv[i]);
        }
    }
    const int rows = words.size() > 0 ? std::max(1000, std::atoi(words[0].c_str())) : 200000;
    const std::filesystem::path dir =
        words.size() > 1 ? std::filesystem::path(words[1])
                         : std::filesystem::temp_directory_path() / "bench_journal";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    constexpr size_t kCapacity = 8192;
    constexpr size_t kBurst = 500;  // a preset load across sixteen racks is a few hundred rows

    // Baseline: the row built as the journal builds it, appended to memory.
    std::vector<mic::journal::JournalRow> memory;
    memory.reserve(static_cast<size_t>(rows));
    auto start = Clock::now();
    auto baselineCalls = TimedCalls(
        rows, kBurst,
        [&](const mic::ChannelChange& c) {
            mic::journal::JournalRow row;
            row.timeUs = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
            row.change = c;
            memory.push_back(std::move(row));
        },
        [] {});
    const Figures baseline =
        Summarise(baselineCalls, std::chrono::duration<double>(Clock::now() - start).count());

    mic::journal::JournalOptions options;
    options.path = (dir / "journal.db").string();
    options.queueCapacity = kCapacity;
    options.limits.maxRows = 0;  // keep every row: pruning is measured by its own figure below
    std::string error;
    auto journal = mic::journal::ChangeJournal::Open(options, &error);
    if (!journal) {
        std::fprintf(stderr, "bench_journal: %s\n", error.c_str());
        return 1;
    }
    auto& writer = journal->Writer();
    uint64_t pushed = 0;
    start = Clock::now();
    auto journalCalls = TimedCalls(
        rows, kBurst,
        [&](const mic::ChannelChange& c) {
            journal->ChannelChanged(c);
            ++pushed;
        },
        [&] {
            while (pushed - writer.Committed() - writer.Dropped() > kCapacity / 2) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    writer.Flush(std::chrono::minutes(5));
    const Figures journaled =
        Summarise(journalCalls, std::chrono::duration<double>(Clock::now() - start).count());
    const uint64_t dropped = writer.Dropped();
    journal.reset();

    // Pruning a full journal down to its bound, on the worker, as at a start-up.
    auto store =
        mic::journal::JournalStore::Open(options.path, mic::journal::JournalStore::Mode::ReadWrite);
    start = Clock::now();
    const int64_t pruned = store->Prune(INT64_MIN, rows / 2);
    const double pruneSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("%d rows, queue %zu, bursts of %zu\n\n", rows, kCapacity, kBurst);
    std::printf("%-10s %12s %10s %10s %10s %8s\n", "", "rows/s", "mean us", "p99.9 us", "max us",
                ">1 ms");
    Print("journal", journaled);
    Print("baseline", baseline);
    std::printf("\nratio journal/baseline: rows/s %.3fx, mean call %.2fx, longest call %.2fx\n",
                journaled.rowsPerSecond / baseline.rowsPerSecond,
                journaled.meanCallUs / baseline.meanCallUs,
                journaled.maxCallUs / baseline.maxCallUs);
    std::printf("rows dropped: %llu; longest main-thread stall %.3f ms (goal < 1 ms)\n",
                static_cast<unsigned long long>(dropped), journaled.maxCallUs / 1000.0);
    std::printf("pruning %lld of %d rows: %.1f ms\n", static_cast<long long>(pruned), rows,
                pruneSeconds * 1000.0);
    std::filesystem::remove_all(dir);
    return 0;
}

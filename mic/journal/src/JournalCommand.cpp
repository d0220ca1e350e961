#include "mic/journal/JournalCommand.h"

#include <charconv>
#include <chrono>

#include "mic/journal/ChangeJournal.h"
#include "mic/journal/JournalStore.h"
#include "mic/journal/JournalText.h"

namespace mic::journal {

namespace {

const char* const kUsage =
    "Usage: micctl journal [--csv] [--since TIME] [--until TIME] [--rack N] [--channel N]\n"
    "                      [--source S] [--newest-first] [--limit N] [--db PATH]\n"
    "Lists the change journal of mic, oldest first.\n\n"
    "  --csv           comma-separated values with a header line (RFC 4180)\n"
    "  --since TIME    rows at or after TIME; --until TIME: rows before TIME. TIME is\n"
    "                  YYYY-MM-DD[THH:MM[:SS]] (local time; UTC with a final Z), @UNIXSECONDS,\n"
    "                  or a span back from now: 30s, 10m, 2h, 7d\n"
    "  --rack N        rack 1-16;  --channel N: channel 1-12\n"
    "  --source S      operator, console, preset, restore, front-panel or remote\n"
    "  --newest-first  newest rows first;  --limit N: at most N rows\n"
    "  --db PATH       the journal database (default: journal.db in mic's state directory)\n";

bool Number(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && p == text.data() + text.size() && value >= low && value <= high;
}

}  // namespace

int RunJournalCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    JournalFilter filter;
    bool csv = false;
    std::string path;
    const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        }
        if (arg == "--csv") {
            csv = true;
            continue;
        }
        if (arg == "--newest-first") {
            filter.newestFirst = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            err << "micctl journal: "
                << (arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg)
                << "\n"
                << kUsage;
            return 2;
        }
        const std::string& value = args[++i];
        int64_t n = 0;
        std::string problem;
        if (arg == "--since" || arg == "--until") {
            const auto t = ParseTime(value, now);
            if (!t) {
                problem = "not a time: " + value;
            } else {
                (arg == "--since" ? filter.sinceUs : filter.untilUs) = *t;
            }
        } else if (arg == "--rack") {
            if (Number(value, 1, 16, n)) {
                filter.rack = static_cast<int>(n - 1);
            } else {
                problem = "--rack needs a number from 1 to 16";
            }
        } else if (arg == "--channel") {
            if (Number(value, 1, 12, n)) {
                filter.channel = static_cast<int>(n - 1);
            } else {
                problem = "--channel needs a number from 1 to 12";
            }
        } else if (arg == "--source") {
            filter.source = SourceFromName(value);
            if (!filter.source) {
                problem = "unknown source " + value;
            }
        } else if (arg == "--limit") {
            if (Number(value, 1, INT64_MAX, n)) {
                filter.limit = n;
            } else {
                problem = "--limit needs a positive number";
            }
        } else if (arg == "--db") {
            path = value;
        } else {
            problem = "unknown argument " + arg;
        }
        if (!problem.empty()) {
            err << "micctl journal: " << problem << "\n" << kUsage;
            return 2;
        }
    }
    if (path.empty()) {
        path = DefaultJournalPath();
    }
    std::string error;
    auto store = JournalStore::Open(path, JournalStore::Mode::ReadOnly, &error);
    if (!store) {
        err << "micctl journal: " << error << "\n";
        return 1;
    }
    const std::vector<JournalRow> rows = store->Query(filter);
    if (!store->LastError().empty()) {
        err << "micctl journal: " << path << ": " << store->LastError() << "\n";
        return 1;
    }
    if (csv) {
        WriteCsv(out, rows);
    } else {
        WriteListing(out, rows);
    }
    return out.good() ? 0 : 1;
}

}  // namespace mic::journal

// Times and arguments of `micctl journal` from arbitrary bytes: the time parser must not
// overflow or read past its text, a span back from now never lands after now, and the command
// must answer every argument list with a usage error, a read error or rows, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "mic/journal/JournalCommand.h"
#include "mic/journal/JournalText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    constexpr int64_t kNow = int64_t{1767225600} * 1000000;
    if (const auto t = mic::journal::ParseTime(text, kNow)) {
        const char last = text.empty() ? 0 : text.back();
        const bool span =
            text[0] != '@' && (last == 's' || last == 'm' || last == 'h' || last == 'd');
        if (span && *t > kNow) {
            std::abort();
        }
        (void)mic::journal::FormatTime(*t);
    }

    // The same bytes as an argument list, split at NUL; never a real database.
    std::vector<std::string> args;
    std::string current;
    for (char c : text) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    args.push_back(current);
    args.push_back("--db");
    args.push_back("/nonexistent/journal.db");
    std::ostringstream out, err;
    const int code = mic::journal::RunJournalCommand(args, out, err);
    if (code != 0 && code != 1 && code != 2) {
        std::abort();
    }
    return 0;
}

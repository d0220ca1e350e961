// One row of the change journal and the filter that selects rows from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mic/core/ChannelChange.h"

namespace mic::journal {

// Values are stored: append only.
enum class RowKind : uint8_t {
    Change = 0,  // a change applied to a rack channel, or a refused one
    Note = 1,    // something the journal itself reports (rows dropped, rows lost)
};

struct JournalRow {
    int64_t id = 0;      // 0 until the row is committed
    int64_t timeUs = 0;  // microseconds since the Unix epoch (UTC)
    RowKind kind = RowKind::Change;
    ChannelChange change;  // Change rows; oldText/newText are filled for names only
    std::string note;      // Note rows
};

// Text of the old / new value as the journal stores and shows it ("45 dB", "on", a name).
std::string OldValueText(const JournalRow& row);
std::string NewValueText(const JournalRow& row);
// The source with its detail: "console line 7", "preset file /x.mic", "remote 10.0.0.2:9000".
std::string SourceText(const JournalRow& row);
// A source from its name as SourceName gives it ("front panel" also as "front-panel" or
// "panel"; "remote" also as "osc"). Case-insensitive.
std::optional<ChangeSource> SourceFromName(std::string name);

// Rows matching every given condition. Racks and channels count from 0 here; the user-facing
// texts count from 1. Note rows match only filters without rack, channel and source.
struct JournalFilter {
    std::optional<int> rack;
    std::optional<int> channel;
    std::optional<ChangeSource> source;
    std::optional<int64_t> sinceUs;  // time >= since
    std::optional<int64_t> untilUs;  // time < until
    bool newestFirst = false;
    int64_t limit = 0;  // 0 = no limit
};

bool Matches(const JournalFilter& filter, const JournalRow& row);

}  // namespace mic::journal

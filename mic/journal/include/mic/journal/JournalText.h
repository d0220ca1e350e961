// The journal as text: times, CSV (RFC 4180) and the plain listing of `micctl journal`.
// Racks and channels are shown counting from 1, as on the window's buttons and strips.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "mic/journal/JournalRow.h"

namespace mic::journal {

// Local time with its offset, to the millisecond: "2026-12-07T02:40:01.123+01:00".
std::string FormatTime(int64_t timeUs);

// A moment given by a user, relative to `nowUs`:
//   "@SECONDS"                          Unix time;
//   "N[smhd]" or "-N[smhd]"             that long ago (seconds, minutes, hours, days);
//   "YYYY-MM-DD[(T| )HH:MM[:SS]][Z]"    local time, or UTC with "Z".
// nullopt when the text is none of these.
std::optional<int64_t> ParseTime(std::string_view text, int64_t nowUs);

// One CSV field: quoted when it holds a comma, a quote, a CR or an LF, quotes doubled.
std::string CsvField(std::string_view text);
// Header line and one line per row, each ended by CRLF.
void WriteCsv(std::ostream& out, const std::vector<JournalRow>& rows);
// One line per row: time, rack/channel, field, old -> new, source, refusal.
void WriteListing(std::ostream& out, const std::vector<JournalRow>& rows);

}  // namespace mic::journal

// The event log of the console's programs: entries go to syslog (journald) under the name of
// the running program. Tests replace the destination with a sink of their own.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ledger {

enum class Severity { Error, Warning };

// Receives each entry as one text; lines of an error entry are joined with '\n'.
using Sink = std::function<void(Severity, const std::string&)>;

}  // namespace ledger

// One entry of the event log. Construct, report, drop; any thread may report.
class CEventLogEntry {
  public:
    CEventLogEntry() = default;
    virtual ~CEventLogEntry() = default;

    // Writes the lines, in order, as one error entry. Returns non-zero when the entry was
    // handed to the log (callers in this system ignore it).
    int ReportError(const std::vector<std::string>& lines);
    int ReportWarning(const std::string& text);

    // Sends every later entry of the process to `sink` instead of syslog; an empty sink
    // goes back to syslog.
    static void SetSink(ledger::Sink sink);
};

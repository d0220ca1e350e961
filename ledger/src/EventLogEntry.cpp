#include <ledger/EventLogEntry.h>
#include <syslog.h>

#include <mutex>

namespace {

std::mutex g_sinkMutex;
ledger::Sink g_sink;

int Report(ledger::Severity severity, const std::string& text) {
    ledger::Sink sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        sink(severity, text);
        return 1;
    }
    // Without openlog() the C library tags entries with the program's name, and we leave the
    // program's own syslog settings alone. The text is never used as a format.
    syslog(LOG_USER | (severity == ledger::Severity::Error ? LOG_ERR : LOG_WARNING), "%s",
           text.c_str());
    return 1;
}

}  // namespace

int CEventLogEntry::ReportError(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) {
            text += '\n';
        }
        text += lines[i];
    }
    return Report(ledger::Severity::Error, text);
}

int CEventLogEntry::ReportWarning(const std::string& text) {
    return Report(ledger::Severity::Warning, text);
}

void CEventLogEntry::SetSink(ledger::Sink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

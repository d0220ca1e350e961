#include "platform/notify.h"

#include <ledger/EventLogEntry.h>

#include <errno.h>

#include <cstdio>
#include <mutex>

namespace platform::notify {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
Handler& Installed() {
    static auto* handler = new Handler;  // outlives static destructors
    return *handler;
}

}  // namespace

// Nobody may be there to press a button: the box becomes a line on stderr and an event-log
// warning, and counts as answered with OK.
int WriteMessageBox(const std::string& text, const std::string& caption, uint32_t) {
    const std::string title =
        caption.empty() ? std::string(program_invocation_short_name) : caption;
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    CEventLogEntry entry;
    entry.ReportWarning(title + ": " + text);
    return IDOK;
}

int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    Handler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = Installed();
    }
    return handler ? handler(text, caption, style) : WriteMessageBox(text, caption, style);
}

Handler SetMessageBoxHandler(Handler handler) {
    std::lock_guard lock(HandlerMutex());
    Handler old = std::move(Installed());
    Installed() = std::move(handler);
    return old;
}

}  // namespace platform::notify

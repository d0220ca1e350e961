#include <objectkit/StatusMessages.h>

#include <platform/messages.h>

namespace objectkit {

void PostStatusMessage(int code, long value) {
    namespace msg = platform::messages;
    const auto wParam = static_cast<msg::WParam>(code);
    const auto lParam = static_cast<msg::LParam>(value);
    if (msg::WindowHandle window = msg::findWindow(kStatusWindowClass); window != 0) {
        msg::postMessage(window, msg::registerMessage(kStatusMessageName), wParam, lParam);
        return;
    }
    const msg::MessageId needsStatus = msg::registerMessage(kNeedsStatusMessageName);
    if (msg::WindowHandle window = msg::findWindow(kUniqueWindowClass); window != 0) {
        msg::postMessage(window, needsStatus, wParam, lParam);
        return;
    }
    msg::postMessage(msg::kBroadcast, needsStatus, wParam, lParam);
}

long PercentOf(long long done, long long total) {
    if (total == 0) {
        total = 1;
    }
    return static_cast<long>(done * 100 / total);
}

}  // namespace objectkit

// Progress and notices of the automation operations, posted (never sent) as registered
// messages: to the top-level window of class "VantorStatusWindow" with "Automation Event
// Notication"; else to the window of class "VantorUniqueClass" with "Automation Needs Status";
// else to every top-level window with "Automation Needs Status". wParam = code, lParam = value.
#pragma once

namespace objectkit {

enum StatusCode : int {
    StatusFileLoad = 15,  // 0 at the start, 50 when read, then percent
    StatusIsolate = 19,   // percent
    StatusErase = 20,     // percent
    StatusReplay = 27,    // percent
    StatusSortStarted = 31,
    // A package could not be loaded and was left as it was; the value is the id of the block
    // of a block file that could not be read or inflated, 0 for any other failure.
    StatusFileLoadFailed = 16,
};

inline constexpr const char* kStatusWindowClass = "VantorStatusWindow";
inline constexpr const char* kUniqueWindowClass = "VantorUniqueClass";
inline constexpr const char* kStatusMessageName = "Automation Event Notication";
inline constexpr const char* kNeedsStatusMessageName = "Automation Needs Status";

void PostStatusMessage(int code, long value);
// done x 100 / total, a total of 0 counting as 1.
long PercentOf(long long done, long long total);

}  // namespace objectkit

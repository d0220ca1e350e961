// Message boxes from code that has no window of its own (libraries). A program with a user
// interface installs a handler that shows them; without one, the box is written to stderr and
// to the event log, and the answer is OK.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform::notify {

// Style bits, numbered as the console's programs number them.
inline constexpr uint32_t MB_OK = 0x0000;
inline constexpr uint32_t MB_ICONSTOP = 0x0010;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x0030;
inline constexpr uint32_t MB_ICONINFORMATION = 0x0040;
inline constexpr uint32_t MB_ICONMASK = 0x00F0;
inline constexpr uint32_t MB_SYSTEMMODAL = 0x1000;

// The answer of a box with an OK button.
inline constexpr int IDOK = 1;

// Shows the box and returns the button pressed. An empty caption means the program's name.
using Handler =
    std::function<int(const std::string& text, const std::string& caption, uint32_t style)>;

// Any thread; the handler runs on the calling thread and may block until the box is closed.
int ShowMessageBox(const std::string& text, const std::string& caption = {},
                   uint32_t style = MB_OK);

// The default: the box as a line on stderr and an event-log warning; answers OK. A handler
// that cannot show a box (no display, wrong thread) may hand it on to this.
int WriteMessageBox(const std::string& text, const std::string& caption, uint32_t style);

// Installs the process's handler (an empty one restores the default) and returns the old one.
Handler SetMessageBoxHandler(Handler handler);

}  // namespace platform::notify

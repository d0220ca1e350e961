// Window messages on the bus: names and the decoding of the two signals.
#pragma once

#include <cstdint>
#include <string>

#include "bus_ptr.h"

namespace platform::com::wire {

inline constexpr char kMessagesPath[] = "/org/kestane/Messages";
inline constexpr char kMessagesInterface[] = "org.kestane.Messages";
// Each process's receiver owns kMessagesNamePrefix + "p<pid>_<16 hex digits>".
inline constexpr char kMessagesNamePrefix[] = "org.kestane.Messages.";

struct CarriedMessage {
    uint64_t origin = 0;  // the sending process's token
    uint64_t window = 0;  // the target window in the receiving process (Post only)
    const char* name = "";
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// Broadcast: "tsutx" (origin, name, message, wParam, lParam).
int DecodeBroadcast(sd_bus_message* m, CarriedMessage& out);
// Post: "ttsutx" (origin, window, name, message, wParam, lParam).
int DecodePost(sd_bus_message* m, CarriedMessage& out);

}  // namespace platform::com::wire

// The OSC address space of mic. Racks and channels are numbered from 1, as the window shows
// them; inside the program they are 0-based.
//
//   /mic/version                             get: "mic <version>"
//   /mic/subscribe [i seconds [i port]]      every change is pushed to the sender (or to its
//                                            host at `port`) for that long (default 600 s,
//                                            1-86400); send again to renew
//   /mic/unsubscribe [i port]                stops the pushes
//   /mic/rack/{1-16}                         get: the rack and its twelve channels (below)
//   /mic/rack/{1-16}/online                  get: i 1/0 (read-only)
//   /mic/rack/{1-16}/version                 get: s the rack's version from the last scan
//   /mic/rack/{1-16}/channel/{1-12}          get: i gain, i phantom, i phase, i pad, i direct,
//                                                 s name, i console
//   /mic/rack/{r}/channel/{c}/gain           get/set: dB 20-70 (set rounds to 5 dB steps)
//   /mic/rack/{r}/channel/{c}/phantom        get/set: 0/1
//   /mic/rack/{r}/channel/{c}/phase          get/set: 0/1
//   /mic/rack/{r}/channel/{c}/pad            get/set: 0/1
//   /mic/rack/{r}/channel/{c}/direct         get/set: 0/1 (direct output)
//   /mic/rack/{r}/channel/{c}/name           get/set: s, up to 12 characters
//   /mic/rack/{r}/channel/{c}/console        get: i console channel, 0 = none (read-only)
//
// Replies and pushes come on the target's address (numbers without leading zeros) with the
// value; errors and refusals come as /mic/error with the address asked for and the reason.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mic/core/ChannelChange.h"

namespace mic::osc {

inline constexpr std::string_view kErrorAddress = "/mic/error";
inline constexpr std::string_view kSubscribedAddress = "/mic/subscribed";
inline constexpr std::string_view kUnsubscribedAddress = "/mic/unsubscribed";

enum class Node {
    Version,      // /mic/version
    Subscribe,    // /mic/subscribe
    Unsubscribe,  // /mic/unsubscribe
    Rack,         // /mic/rack/r
    RackOnLine,   // /mic/rack/r/online
    RackVersion,  // /mic/rack/r/version
    Channel,      // /mic/rack/r/channel/c
    Field,        // /mic/rack/r/channel/c/<field>
};

struct Target {
    Node node = Node::Version;
    int rack = -1;     // 0-15
    int channel = -1;  // 0-11
    ChannelField field = ChannelField::Gain;
    friend bool operator==(const Target&, const Target&) = default;
};

// The target of an address, or nothing for an address outside the space (numbers out of
// range included). Numbers are 1-2 decimal digits.
std::optional<Target> ParseAddress(std::string_view path);

// The address of a target (numbers without leading zeros).
std::string AddressOf(const Target& target);
std::string FieldAddress(int rack, int channel, ChannelField field);
std::string OnLineAddress(int rack);

}  // namespace mic::osc

// The kind of microphone on each rack channel, kept in the user's profile. Ribbon microphones
// and line-level sources must never get phantom power: the controller refuses it for them
// whatever asks for it (a click, a preset, the restore, the console, a remote peer).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mic/core/PreampState.h"

namespace mic {

enum class MicType : uint8_t { Unknown = 0, Condenser = 1, Dynamic = 2, Ribbon = 3, Line = 4 };
inline constexpr int kMicTypeCount = 5;

// Per channel, index = rack × 12 + channel.
using MicTypeTable = std::array<MicType, kChannels>;

// Profile value: one letter per channel, rack 0 channel 0 first.
inline constexpr const char* kMicTypesKey = "Microphone Types";

constexpr bool PhantomAllowed(MicType type) {
    return type != MicType::Ribbon && type != MicType::Line;
}
// "unknown", "condenser", "dynamic", "ribbon", "line".
std::string_view MicTypeName(MicType type);

// Profile text: 'U', 'C', 'D', 'R', 'L' per channel (either case). Any other character and any
// channel past the end of the text reads as unknown; text past 192 characters is ignored.
MicTypeTable ParseMicTypes(std::string_view text);
// The profile text, without trailing unknowns ("" when every channel is unknown).
std::string FormatMicTypes(const MicTypeTable& types);

// Any thread. Switches phantom off on every channel of `rack` (-1: all racks) whose microphone
// must not have it, and returns the channel indices it switched off.
std::vector<int> HoldPhantomOff(PreampState& state, int rack, const MicTypeTable& types);

}  // namespace mic

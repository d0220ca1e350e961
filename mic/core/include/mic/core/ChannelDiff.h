// The channel fields that change notices and load previews speak of, and their differences.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/core/PreampState.h"

namespace mic {

struct ChannelTables {
    std::array<uint32_t, kChannels> setting{};  // without bit 7
    std::array<uint32_t, kChannels> directSwitch{};
    std::array<uint32_t, kChannels> assignment{};
    std::array<std::array<char, kNameSize>, kChannels> name{};

    explicit ChannelTables(const PreampState& state);
};

// Any thread. Every field that differs, channel by channel (rack 0 channel 0 first) and within
// a channel in the order gain, phantom, phase, pad, direct, console channel, name. The origin
// is left empty for the caller.
std::vector<ChannelChange> ChannelDifferences(const ChannelTables& before,
                                              const ChannelTables& after);

}  // namespace mic

// The channel fields that change notices and load previews speak of, and their differences.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/core/PreampState.h"

namespace mic {

// The value of a setting-byte field (gain: the step as stored; phantom, phase, pad: 0/1); -1 for
// the fields the setting byte does not hold.
int SettingFieldValue(uint32_t setting, ChannelField field);
inline constexpr ChannelField kSettingFields[] = {ChannelField::Gain, ChannelField::Phantom,
                                                  ChannelField::Phase, ChannelField::Pad};

// The value of a field of channel `index` (name: 0, its text is the state's).
int FieldValue(const PreampState& state, int index, ChannelField field);

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

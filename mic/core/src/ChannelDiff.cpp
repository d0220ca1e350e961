#include "mic/core/ChannelDiff.h"

#include <cstring>
#include <string>

namespace mic {

namespace {

std::string NameText(const std::array<char, kNameSize>& name) {
    return std::string(name.data(), strnlen(name.data(), name.size()));
}

}  // namespace

ChannelTables::ChannelTables(const PreampState& state)
    : directSwitch(state.directSwitch), assignment(state.assignment), name(state.name) {
    for (int i = 0; i < kChannels; ++i)
        setting[i] = state.setting[i] & 0x7F;
}

std::vector<ChannelChange> ChannelDifferences(const ChannelTables& before,
                                              const ChannelTables& after) {
    std::vector<ChannelChange> changes;
    ChannelChange c;
    auto report = [&](ChannelField field, uint32_t was, uint32_t now) {
        if (was == now)
            return;
        c.field = field;
        c.oldValue = static_cast<int>(was);
        c.newValue = static_cast<int>(now);
        changes.push_back(c);
    };
    for (int i = 0; i < kChannels; ++i) {
        c.rack = i / kChannelsPerRack;
        c.channel = i % kChannelsPerRack;
        const uint32_t was = before.setting[i];
        const uint32_t now = after.setting[i];
        report(ChannelField::Gain, was & kGainMask, now & kGainMask);
        report(ChannelField::Phantom, (was & kPhantomBit) ? 1 : 0, (now & kPhantomBit) ? 1 : 0);
        report(ChannelField::Phase, (was & kPhaseBit) ? 1 : 0, (now & kPhaseBit) ? 1 : 0);
        report(ChannelField::Pad, (was & kPadBit) ? 1 : 0, (now & kPadBit) ? 1 : 0);
        report(ChannelField::DirectOut, before.directSwitch[i], after.directSwitch[i]);
        report(ChannelField::ConsoleChannel, before.assignment[i], after.assignment[i]);
        if (before.name[i] != after.name[i]) {
            ChannelChange n = c;
            n.field = ChannelField::Name;
            n.oldValue = n.newValue = 0;
            n.oldText = NameText(before.name[i]);
            n.newText = NameText(after.name[i]);
            changes.push_back(std::move(n));
        }
    }
    return changes;
}

}  // namespace mic

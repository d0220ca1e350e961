#include "mic/core/ChannelDiff.h"

#include <cstring>
#include <string>

namespace mic {

namespace {

std::string NameText(const std::array<char, kNameSize>& name) {
    return std::string(name.data(), strnlen(name.data(), name.size()));
}

}  // namespace

int SettingFieldValue(uint32_t setting, ChannelField field) {
    switch (field) {
        case ChannelField::Gain:
            return static_cast<int>(setting & kGainMask);
        case ChannelField::Phantom:
            return (setting & kPhantomBit) ? 1 : 0;
        case ChannelField::Phase:
            return (setting & kPhaseBit) ? 1 : 0;
        case ChannelField::Pad:
            return (setting & kPadBit) ? 1 : 0;
        default:
            return -1;
    }
}

int FieldValue(const PreampState& state, int index, ChannelField field) {
    switch (field) {
        case ChannelField::DirectOut:
            return state.directSwitch[index] ? 1 : 0;
        case ChannelField::ConsoleChannel:
            return static_cast<int>(state.assignment[index]);
        case ChannelField::Name:
            return 0;
        default:
            return SettingFieldValue(state.setting[index] & 0x7F, field);
    }
}

ChannelTables::ChannelTables(const PreampState& state)
    : directSwitch(state.directSwitch), assignment(state.assignment), name(state.name) {
    for (int i = 0; i < kChannels; ++i)
        setting[i] = state.setting[i] & 0x7F;
}

std::vector<ChannelChange> ChannelDifferences(const ChannelTables& before,
                                              const ChannelTables& after) {
    std::vector<ChannelChange> changes;
    ChannelChange c;
    auto report = [&](ChannelField field, int was, int now) {
        if (was == now)
            return;
        c.field = field;
        c.oldValue = was;
        c.newValue = now;
        changes.push_back(c);
    };
    for (int i = 0; i < kChannels; ++i) {
        c.rack = i / kChannelsPerRack;
        c.channel = i % kChannelsPerRack;
        const uint32_t was = before.setting[i];
        const uint32_t now = after.setting[i];
        for (ChannelField f : kSettingFields)
            report(f, SettingFieldValue(was, f), SettingFieldValue(now, f));
        report(ChannelField::DirectOut, static_cast<int>(before.directSwitch[i]),
               static_cast<int>(after.directSwitch[i]));
        report(ChannelField::ConsoleChannel, static_cast<int>(before.assignment[i]),
               static_cast<int>(after.assignment[i]));
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

#include "mic/core/RecallScope.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "mic/core/ChannelDiff.h"
#include "mic/core/PresetFile.h"

namespace mic {

namespace {

constexpr uint32_t kSettingParts = kRecallGain | kRecallPhantom | kRecallPhase | kRecallPad;

uint32_t SettingBits(uint32_t scope) {
    uint32_t bits = 0;
    bits |= (scope & kRecallGain) ? kGainMask : 0;
    bits |= (scope & kRecallPhantom) ? kPhantomBit : 0;
    bits |= (scope & kRecallPhase) ? kPhaseBit : 0;
    bits |= (scope & kRecallPad) ? kPadBit : 0;
    return bits;
}

// Copies the parts of `file` the scope names into `state` for one channel.
void TakeChannel(const PreampState& file, uint32_t scope, int i, PreampState& state) {
    if ((scope & kSettingParts) == kSettingParts) {
        state.setting[i] = file.setting[i];  // the whole value, as the plain load takes it
    } else {
        const uint32_t bits = SettingBits(scope);
        state.setting[i] = (state.setting[i] & ~bits) | (file.setting[i] & bits);
    }
    if (scope & kRecallDirect)
        state.directSwitch[i] = file.directSwitch[i];
    if (scope & kRecallNames) {
        state.name[i] = file.name[i];
        state.nameShown[i] = file.nameShown[i];
    }
    if (scope & kRecallConsole)
        state.assignment[i] = file.assignment[i];
}

}  // namespace

uint32_t RecallPartOf(ChannelField field) {
    switch (field) {
        case ChannelField::Gain:
            return kRecallGain;
        case ChannelField::Phantom:
            return kRecallPhantom;
        case ChannelField::Phase:
            return kRecallPhase;
        case ChannelField::Pad:
            return kRecallPad;
        case ChannelField::DirectOut:
            return kRecallDirect;
        case ChannelField::Name:
            return kRecallNames;
        case ChannelField::ConsoleChannel:
            return kRecallConsole;
    }
    return 0;
}

PreampState ComposeRecall(const PreampState& current, const PreampState& file, int rack,
                          const RecallRules& rules, std::vector<int>* heldOff) {
    PreampState state = current;
    if (rack < -1 || rack >= kRacks)
        return state;
    for (int r = 0; r < kRacks; ++r) {
        if (rack != -1 && r != rack)
            continue;
        for (int c = 0; c < kChannelsPerRack; ++c)
            TakeChannel(file, rules.scope, ChannelIndex(r, c), state);
        if (rules.scope & kRecallConsole)
            state.sequential[r] = file.sequential[r];
    }
    if (!rules.consoleIntegration) {
        state.sequential.fill(0);
        state.assignment.fill(0);
        state.popupOnSel = 0;
        state.popupControls = 0;
    }
    std::vector<int> held = HoldPhantomOff(state, rack, rules.micTypes);
    if (heldOff)
        *heldOff = std::move(held);
    return state;
}

std::vector<ChannelChange> PreviewRecall(const PreampState& current, const PreampState& file,
                                         int rack, const RecallRules& rules) {
    std::vector<int> held;
    const PreampState after = ComposeRecall(current, file, rack, rules, &held);
    std::vector<ChannelChange> changes =
        ChannelDifferences(ChannelTables(current), ChannelTables(after));
    for (int i : held) {
        ChannelChange c;
        c.rack = i / kChannelsPerRack;
        c.channel = i % kChannelsPerRack;
        c.field = ChannelField::Phantom;
        c.oldValue = (after.setting[i] & kPhantomBit) ? 1 : 0;
        c.newValue = 1;
        c.refused = true;
        c.reason = std::string(refusal::kPhantomUnsafe);
        changes.push_back(std::move(c));
    }
    // Each refusal beside its channel's other changes.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const ChannelChange& a, const ChannelChange& b) {
                         return ChannelIndex(a.rack, a.channel) < ChannelIndex(b.rack, b.channel);
                     });
    return changes;
}

std::vector<ChannelChange> PreviewPresetFile(const PreampState& current, const std::string& path,
                                             int rack, const RecallRules& rules, bool* readable) {
    PreampState file = current;
    const bool read = LoadPresetFile(path, file, rack);
    if (readable)
        *readable = read;
    return PreviewRecall(current, file, rack, rules);
}

int PreviewCounts::Applied() const {
    return std::accumulate(perField.begin(), perField.end(), 0);
}

PreviewCounts CountPreview(const std::vector<ChannelChange>& changes) {
    PreviewCounts counts;
    std::set<int> channels;
    std::set<int> racks;
    for (const ChannelChange& c : changes) {
        if (c.refused) {
            ++counts.refused;
        } else {
            ++counts.perField[static_cast<size_t>(c.field)];
        }
        channels.insert(ChannelIndex(c.rack, c.channel));
        racks.insert(c.rack);
    }
    counts.channels = static_cast<int>(channels.size());
    counts.racks = static_cast<int>(racks.size());
    return counts;
}

}  // namespace mic

#include "mic/core/PreampState.h"

#include <algorithm>
#include <cstring>

namespace mic {

PreampState::PreampState() {
    setting.fill(kDefaultSetting);
}

std::string PreampState::Name(int index) const {
    const auto& n = name[index];
    return std::string(n.data(), strnlen(n.data(), n.size()));
}

void PreampState::SetName(int index, std::string_view text) {
    auto& n = name[index];
    n.fill(0);
    std::copy_n(text.data(), std::min<size_t>(text.size(), kNameSize - 1), n.data());
}

void PreampState::ResetRack(int rack) {
    for (int c = 0; c < kChannelsPerRack; ++c) {
        const int i = ChannelIndex(rack, c);
        setting[i] = kDefaultSetting;
        directSwitch[i] = 0;
        assignment[i] = 0;
    }
    sequential[rack] = 0;
}

int PreampState::OnLineCount() const {
    return static_cast<int>(
        std::count_if(rackOnLine.begin(), rackOnLine.end(), [](uint8_t f) { return f != 0; }));
}

void ConsoleChannelLists::Add(int k, ChannelMapping m) {
    if (k < 0 || k >= kConsoleChannels)
        return;
    auto& list = lists_[k];
    if (std::find(list.begin(), list.end(), m) == list.end())
        list.push_back(m);
}

void ConsoleChannelLists::Remove(int k, ChannelMapping m) {
    if (k < 0 || k >= kConsoleChannels)
        return;
    auto& list = lists_[k];
    if (auto it = std::find(list.begin(), list.end(), m); it != list.end())
        list.erase(it);
}

void ConsoleChannelLists::Clear() {
    for (auto& list : lists_)
        list.clear();
}

void ConsoleChannelLists::Rebuild(const PreampState& state) {
    Clear();
    for (int i = 0; i < kChannels; ++i) {
        const uint32_t a = state.assignment[i];
        if (a > 0)
            Add(static_cast<int>(a) - 1, {i / kChannelsPerRack, i % kChannelsPerRack});
    }
}

const std::vector<ChannelMapping>& ConsoleChannelLists::List(int k) const {
    static const std::vector<ChannelMapping> empty;
    return k >= 0 && k < kConsoleChannels ? lists_[k] : empty;
}

void ConsoleChannelLists::Move(ChannelMapping m, uint32_t oldAssignment, uint32_t newAssignment) {
    if (oldAssignment > 0)
        Remove(static_cast<int>(oldAssignment) - 1, m);
    if (newAssignment > 0)
        Add(static_cast<int>(newAssignment) - 1, m);
}

}  // namespace mic

// The pre-amp state of all racks and the console-channel lists built from its assignments.
// Owned by the window's thread; nothing here is shared with the serial reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mic {

inline constexpr int kRacks = 16;
inline constexpr int kChannelsPerRack = 12;
inline constexpr int kChannels = kRacks * kChannelsPerRack;
inline constexpr int kNameSize = 13;  // 12 characters and a NUL
inline constexpr int kConsoleChannels = 256;
inline constexpr uint32_t kMaxAssignment = 99;  // highest value the operator can enter

// Setting bits (also the wire's setting byte).
inline constexpr uint32_t kGainMask = 0x0F;
inline constexpr uint32_t kPadBit = 0x10;
inline constexpr uint32_t kPhaseBit = 0x20;
inline constexpr uint32_t kPhantomBit = 0x40;
inline constexpr uint32_t kMinGainStep = 3;   // 20 dB
inline constexpr uint32_t kMaxGainStep = 13;  // 70 dB
inline constexpr uint32_t kDefaultSetting = 3;

constexpr int ChannelIndex(int rack, int channel) {
    return rack * kChannelsPerRack + channel;
}
constexpr uint32_t ClampGainStep(uint32_t step) {
    return step < kMinGainStep ? kMinGainStep : (step > kMaxGainStep ? kMaxGainStep : step);
}
constexpr int GainDb(uint32_t step) {
    return 20 + 5 * (static_cast<int>(ClampGainStep(step)) - 3);
}

struct PreampState {
    std::array<uint8_t, kRacks> rackOnLine{};
    std::array<uint32_t, kChannels> status{};        // 0 = not available, 1/2 = kind; never stored
    std::array<uint32_t, kChannels> directSwitch{};  // 0/1
    std::array<uint32_t, kChannels> setting{};       // gain step, pad, phase, phantom
    std::array<uint32_t, kChannels> assignment{};    // console channel + 1, 0 = none
    std::array<std::array<char, kNameSize>, kChannels> name{};
    std::array<uint8_t, kChannels> nameShown{};
    uint32_t displayedRack = 0;
    std::array<uint8_t, kRacks> sequential{};
    uint8_t popupOnSel = 0;
    uint8_t popupControls = 0;

    PreampState();

    // Reads a setting for any purpose: bit 7 never survives a read.
    uint32_t ReadSetting(int index) {
        setting[index] &= 0x7F;
        return setting[index];
    }
    std::string Name(int index) const;
    // Stores the first 12 characters.
    void SetName(int index, std::string_view text);
    // Settings 3, direct switches and assignments 0, sequential flag off; names and statuses stay.
    void ResetRack(int rack);
    int OnLineCount() const;
};

struct ChannelMapping {
    int32_t rack = 0;
    int32_t channel = 0;
    friend bool operator==(const ChannelMapping&, const ChannelMapping&) = default;
};

// List k holds the pre-amp channels assigned to console channel k (assignment value k + 1).
class ConsoleChannelLists {
  public:
    // Adding an entry that is present does nothing; out-of-range k is ignored.
    void Add(int consoleChannel, ChannelMapping m);
    // Removes the entry, keeping the order of the rest.
    void Remove(int consoleChannel, ChannelMapping m);
    void Clear();
    // Empties every list and adds each channel with assignment a > 0 to list a - 1.
    void Rebuild(const PreampState& state);
    const std::vector<ChannelMapping>& List(int consoleChannel) const;
    // Moves a channel from the list of its old assignment value to that of the new one.
    void Move(ChannelMapping m, uint32_t oldAssignment, uint32_t newAssignment);

  private:
    std::array<std::vector<ChannelMapping>, kConsoleChannels> lists_;
};

}  // namespace mic

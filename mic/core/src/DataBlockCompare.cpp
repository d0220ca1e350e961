#include "mic/core/DataBlockCompare.h"

#include "mic/core/ChannelDiff.h"

namespace mic {

namespace {

// An assignment as the wire can carry it: values beyond the 7-bit range go out as "none".
int WireAssignment(uint32_t value) {
    return value > kNoAssignmentByte ? 0 : static_cast<int>(value);
}

}  // namespace

std::vector<BlockDifference> CompareDataBlock(const PreampState& state, int rack,
                                              const uint8_t* block, bool withAssignments,
                                              const TransmitRing& ring) {
    std::vector<BlockDifference> out;
    if (rack < 0 || rack >= kRacks || !block)
        return out;
    const uint8_t address = AddressByte(rack);
    for (int c = 0; c < kChannelsPerRack; ++c) {
        const uint8_t statusByte = block[24 + c];
        if ((statusByte & 0x0F) == 0)
            continue;
        const int i = ChannelIndex(rack, c);
        const auto channel = static_cast<uint8_t>(c);
        auto differ = [&](ChannelField field, int controller, int rackValue) {
            if (controller != rackValue)
                out.push_back({c, field, controller, rackValue});
        };
        if (!ring.HasPending(address, kCmdSetChannel, channel)) {
            const uint32_t mine = state.setting[i] & 0x7F;
            const uint32_t theirs = block[2 * c] & 0x7F;
            for (ChannelField f : kSettingFields)
                differ(f, SettingFieldValue(mine, f), SettingFieldValue(theirs, f));
            if (withAssignments) {
                const uint8_t assignByte = block[2 * c + 1];
                differ(ChannelField::ConsoleChannel, WireAssignment(state.assignment[i]),
                       assignByte >= kNoAssignmentByte ? 0 : assignByte + 1);
            }
        }
        if (!ring.HasPending(address, kCmdSetDirect, channel))
            differ(ChannelField::DirectOut, state.directSwitch[i] ? 1 : 0, (statusByte >> 5) & 1);
    }
    return out;
}

}  // namespace mic

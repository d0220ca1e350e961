#include "mic/core/Frames.h"

namespace mic {

Frame MakeShortFrame(int rack, uint8_t command) {
    Frame f;
    f.bytes = {AddressByte(rack), command, kFrameEnd};
    f.length = 2;
    return f;
}

Frame MakeSetChannel(int rack, int channel, uint32_t setting, uint32_t assignment) {
    Frame f;
    // Assignments above the 7-bit range cannot be carried; they go out as "none".
    const uint8_t a = (assignment == 0 || assignment > 0x7F) ? kNoAssignmentByte
                                                             : static_cast<uint8_t>(assignment - 1);
    const uint8_t payload[3] = {static_cast<uint8_t>(channel & 0x7F),
                                static_cast<uint8_t>(setting & 0x7F), a};
    f.bytes = {AddressByte(rack), kCmdSetChannel,        payload[0], payload[1],
               payload[2],        Checksum7(payload, 3), kFrameEnd};
    f.length = 6;
    return f;
}

Frame MakeSetDirect(int rack, int channel, uint32_t directSwitch) {
    Frame f;
    const uint8_t payload[2] = {static_cast<uint8_t>(channel & 0x7F),
                                static_cast<uint8_t>(directSwitch & 0x7F)};
    f.bytes = {AddressByte(rack), kCmdSetDirect,         payload[0],
               payload[1],        Checksum7(payload, 2), kFrameEnd};
    f.length = 5;
    return f;
}

}  // namespace mic

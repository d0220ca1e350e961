// Frames of the pre-amp line: address 0x80 | (rack + 1), command, 7-bit payload, checksum.
// In memory a frame ends with 0xFF, which is not transmitted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mic {

enum Command : uint8_t {
    kCmdTest = 0x00,  // expected code of the Setup / Test frame (sent as a poll)
    kCmdPoll = 0x01,
    kCmdVersion = 0x10,
    kCmdSetChannel = 0x11,
    kCmdSetDirect = 0x13,
    kCmdDataRequest = 0x14,
};

enum Answer : uint8_t { kAck = 0x04, kNack = 0x05, kAckWithData = 0x06 };

inline constexpr uint8_t kFrameEnd = 0xFF;
inline constexpr uint8_t kNoAssignmentByte = 0x7F;
inline constexpr size_t kDataBlockSize = 37;
inline constexpr size_t kVersionTextSize = 10;

// Time-outs of timer 1 by what was sent.
inline constexpr uint32_t kTimeoutPollMs = 50;
inline constexpr uint32_t kTimeoutTestMs = 10;
inline constexpr uint32_t kTimeoutVersionMs = 50;
inline constexpr uint32_t kTimeoutHaltedVersionMs = 100;
inline constexpr uint32_t kTimeoutCommandMs = 200;

constexpr uint8_t AddressByte(int rack) {
    return static_cast<uint8_t>(0x80 | (rack + 1));
}
// Rack of an address byte; -1 when the byte names no rack.
constexpr int RackOfAddress(uint8_t address) {
    const int r = (address & 0x7F) - 1;
    return r >= 0 && r < 16 ? r : -1;
}
constexpr uint8_t Checksum7(const uint8_t* bytes, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(sum & 0x7F);
}

// A frame with its terminator; `length` counts the bytes before 0xFF.
struct Frame {
    std::array<uint8_t, 8> bytes{};
    size_t length = 0;
};

Frame MakeShortFrame(int rack, uint8_t command);  // poll, version, data request
// `setting` is sent with bit 7 cleared; `assignment` is the stored value (0 = none).
Frame MakeSetChannel(int rack, int channel, uint32_t setting, uint32_t assignment);
Frame MakeSetDirect(int rack, int channel, uint32_t directSwitch);

}  // namespace mic

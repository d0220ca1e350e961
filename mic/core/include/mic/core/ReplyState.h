// The reply record shared by the serial reader thread, which fills it, and the protocol engine,
// which prepares it before each command and reads it when a reply is handed over. Every field
// is an atomic so that the two threads never race on it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace mic {

inline constexpr size_t kReplyBufferSize = 128;

// What the reader assembles for the command in flight.
enum ReplyMode : uint32_t {
    kReplySingleByte = 0,  // one of 0x04, 0x05, 0x06
    kReplyText = 1,        // ten printable characters, a check byte, then any further byte
    kReplyNothing = 2,     // transaction finished: every byte is dropped
    kReplyDataBlock = 3,   // completed by the 37th stored byte
    kReplyDataBlockAlt = 4,
};

// awaiting values
inline constexpr uint32_t kIdle = 0;
inline constexpr uint32_t kAwaitingReply = 1;
inline constexpr uint32_t kReceivingReply = 2;

struct ReplyState {
    std::array<std::atomic<uint8_t>, kReplyBufferSize> replyBuffer{};
    std::atomic<uint32_t> replyCount{0};
    std::atomic<uint32_t> awaiting{kIdle};
    std::atomic<uint32_t> replyMode{kReplySingleByte};
    std::atomic<int32_t> echoLength{0};
    // The transaction the record is prepared for: the engine numbers every frame it sends
    // and writes the number here after the frame's mode and `awaiting`, before the frame goes
    // to the port. The reader takes it with each byte and hands a completed reply over under
    // that number, so a reply that the main thread has already dealt with, or given up on, is
    // known for what it is.
    std::atomic<uint32_t> transaction{0};
};

}  // namespace mic

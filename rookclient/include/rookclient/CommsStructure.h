// The server data block: the one unit of exchange between a proxy and the object server. A
// zero-filled global memory block whose first 16 bytes are this header, followed by a
// command-specific payload. Every field is a little-endian 32-bit number.
#pragma once

#include <cstddef>
#include <cstdint>

struct _CommsStructure {
    uint32_t command;      // command code
    uint32_t replyWindow;  // window the server notifies about this command; 0 = none
    uint32_t blockSize;    // whole block in bytes, header included
    uint32_t reserved;     // always zero
};

namespace rookclient {

inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kCommandOffset = 0;
inline constexpr size_t kReplyWindowOffset = 4;
inline constexpr size_t kBlockSizeOffset = 8;
static_assert(sizeof(_CommsStructure) == kHeaderSize);

// Flags of every block a proxy allocates: movable, zero-initialised, shareable.
inline constexpr unsigned kBlockAllocFlags = 0x2042;

inline uint32_t LoadLE32(const void* bytes, size_t offset) {
    const auto* p = static_cast<const uint8_t*>(bytes) + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreLE32(void* bytes, size_t offset, uint32_t value) {
    auto* p = static_cast<uint8_t*>(bytes) + offset;
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace rookclient

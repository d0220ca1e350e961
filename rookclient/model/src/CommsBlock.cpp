#include "rookclient/model/CommsBlock.h"

#include <algorithm>
#include <cstring>

namespace rookclient::model {

CommsBlock::CommsBlock(uint32_t command, size_t size, uint32_t replyWindow)
    : bytes_(std::max(size, kHeaderSize), 0) {
    PutU32(kCommandOffset, command);
    PutU32(kReplyWindowOffset, replyWindow);
    PutU32(kBlockSizeOffset, static_cast<uint32_t>(bytes_.size()));
}

bool CommsBlock::PutBytes(size_t offset, std::span<const uint8_t> data) {
    if (offset > bytes_.size() || data.size() > bytes_.size() - offset) {
        return false;
    }
    if (!data.empty()) {
        std::memcpy(bytes_.data() + offset, data.data(), data.size());
    }
    return true;
}

bool CommsBlock::PutU8(size_t offset, uint8_t value) {
    return PutBytes(offset, std::span<const uint8_t>(&value, 1));
}

bool CommsBlock::PutU16(size_t offset, uint16_t value) {
    const uint8_t le[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return PutBytes(offset, le);
}

bool CommsBlock::PutU32(size_t offset, uint32_t value) {
    const uint8_t le[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return PutBytes(offset, le);
}

bool CommsBlock::PutText(size_t offset, size_t width, std::string_view text) {
    if (offset > bytes_.size()) {
        return false;
    }
    const size_t room = std::min(width, bytes_.size() - offset);
    size_t n = std::min(text.size(), room);
    if (n < text.size()) {
        // Step back over continuation bytes so that a cut never splits a character.
        size_t cut = n;
        while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        n = cut;
    }
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), room, uint8_t{0});
    // An empty text may have no storage at all (a null pointer), which memcpy must not get.
    if (n > 0) {
        std::memcpy(bytes_.data() + offset, text.data(), n);
    }
    return n == text.size();
}

uint32_t CommsBlock::U32(size_t offset) const {
    return BlockReader(bytes_).U32(offset);
}

bool BlockReader::Valid() const {
    return bytes_.size() >= kHeaderSize && StatedSize() == bytes_.size();
}

std::span<const uint8_t> BlockReader::Bytes(size_t offset, size_t length) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
        return {};
    }
    return bytes_.subspan(offset, length);
}

uint8_t BlockReader::U8(size_t offset) const {
    const auto b = Bytes(offset, 1);
    return b.empty() ? 0 : b[0];
}

uint16_t BlockReader::U16(size_t offset) const {
    const auto b = Bytes(offset, 2);
    return b.empty() ? 0 : static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t BlockReader::U32(size_t offset) const {
    const auto b = Bytes(offset, 4);
    return b.empty()
               ? 0
               : uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

std::string_view BlockReader::Text(size_t offset, size_t width) const {
    if (offset >= bytes_.size()) {
        return {};
    }
    const size_t room = std::min(width, bytes_.size() - offset);
    const auto* start = reinterpret_cast<const char*>(bytes_.data() + offset);
    const void* zero = std::memchr(start, 0, room);
    return {start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : room};
}

}  // namespace rookclient::model

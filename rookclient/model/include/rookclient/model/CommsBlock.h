// A server data block as bytes: the 16-byte header (command, reply window, block size,
// reserved; little-endian) and the command's payload. Builders of command blocks fill one;
// decoders of pushed images read one through BlockReader, which never reads past the bytes
// that really arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace rookclient::model {

inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kCommandOffset = 0;
inline constexpr size_t kReplyWindowOffset = 4;
inline constexpr size_t kBlockSizeOffset = 8;

class CommsBlock {
  public:
    // A zero-filled block of `size` bytes (at least the header) with its header set.
    CommsBlock(uint32_t command, size_t size, uint32_t replyWindow = 0);

    uint32_t Command() const { return U32(kCommandOffset); }
    uint32_t ReplyWindow() const { return U32(kReplyWindowOffset); }
    size_t Size() const { return bytes_.size(); }
    std::span<const uint8_t> Bytes() const { return bytes_; }
    std::span<uint8_t> MutableBytes() { return bytes_; }

    // Writers ignore (and report false for) a field that would not fit inside the block.
    bool PutU8(size_t offset, uint8_t value);
    bool PutU16(size_t offset, uint16_t value);
    bool PutU32(size_t offset, uint32_t value);
    bool PutI32(size_t offset, int32_t value) {
        return PutU32(offset, static_cast<uint32_t>(value));
    }
    bool PutBytes(size_t offset, std::span<const uint8_t> data);
    // Copies `text` into the fixed field [offset, offset + width), cut at the field's end (and
    // at the block's end): a text as long as the field has no terminator, a shorter one is
    // terminated by the zero fill. A multibyte character is never split: the cut falls before
    // its lead byte (UTF-8).
    bool PutText(size_t offset, size_t width, std::string_view text);

    uint32_t U32(size_t offset) const;

  private:
    std::vector<uint8_t> bytes_;
};

// Checked reads of a received block. Valid() is true when the block holds at least the header
// and its stated size (the blockSize field) equals the number of bytes that arrived; reads
// outside the bytes give 0 / empty, never a read past the end.
class BlockReader {
  public:
    explicit BlockReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool Valid() const;
    // Valid() and at least `size` bytes long.
    bool HasAtLeast(size_t size) const { return Valid() && bytes_.size() >= size; }
    size_t Size() const { return bytes_.size(); }
    uint32_t Command() const { return U32(kCommandOffset); }
    uint32_t StatedSize() const { return U32(kBlockSizeOffset); }

    uint8_t U8(size_t offset) const;
    uint16_t U16(size_t offset) const;
    uint32_t U32(size_t offset) const;
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
    // The bytes [offset, offset + length) or an empty span when they are not all there.
    std::span<const uint8_t> Bytes(size_t offset, size_t length) const;
    // The text of a fixed field: up to its first zero byte or the field's end.
    std::string_view Text(size_t offset, size_t width) const;

  private:
    std::span<const uint8_t> bytes_;
};

}  // namespace rookclient::model

#include "Blocks.h"

namespace rookd {
namespace {

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

void WriteU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::optional<BlockHeader> ReadHeader(std::span<const uint8_t> block) {
    if (block.size() < kHeaderSize) {
        return std::nullopt;
    }
    return BlockHeader{ReadU32(block, 0), ReadU32(block, 4), ReadU32(block, 8), ReadU32(block, 12)};
}

std::vector<uint8_t> MakeBlock(uint32_t command, size_t size) {
    std::vector<uint8_t> block(size < kHeaderSize ? kHeaderSize : size, 0);
    WriteU32(block, 0, command);
    WriteU32(block, 8, static_cast<uint32_t>(block.size()));
    return block;
}

std::vector<uint8_t> NeutralMicLineImage() {
    std::vector<uint8_t> image = MakeBlock(kMicLineAttach, kMicLineImageSize);
    for (int line = 1; line <= kMicLines; ++line) {
        SetMicLine(image, line, MicLineFields{});
    }
    return image;
}

bool SetMicLine(std::vector<uint8_t>& image, int line, const MicLineFields& fields) {
    if (line < 1 || line > kMicLines || image.size() != kMicLineImageSize) {
        return false;
    }
    const size_t at = kHeaderSize + 4 * size_t(line - 1);
    image[at] = fields.phantom;
    image[at + 1] = fields.pad;
    image[at + 2] = fields.gainStep;
    image[at + 3] = fields.select;
    return true;
}

std::vector<uint8_t> CloseRequestBlock(uint32_t code) {
    std::vector<uint8_t> block = MakeBlock(kClientMonitorAttach, kCloseRequestSize);
    WriteU32(block, kHeaderSize, code);
    return block;
}

}  // namespace rookd

// The server's data blocks: the 16-byte header every block starts with (little-endian u32
// command, replyWindow, blockSize, reserved), and the images this server builds itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rookd {

inline constexpr size_t kHeaderSize = 16;
inline constexpr uint32_t kMicLineAttach = 276;
inline constexpr uint32_t kClientMonitorAttach = 192;
inline constexpr int kMicLines = 120;
inline constexpr size_t kMicLineImageSize = kHeaderSize + 4 * kMicLines;  // 496
inline constexpr size_t kCloseRequestSize = kHeaderSize + 4;              // 20

struct BlockHeader {
    uint32_t command = 0;
    uint32_t replyWindow = 0;
    uint32_t blockSize = 0;
    uint32_t reserved = 0;
};

// The header of a block, or nothing when the block is shorter than a header.
std::optional<BlockHeader> ReadHeader(std::span<const uint8_t> block);
std::vector<uint8_t> MakeBlock(uint32_t command, size_t size);

// What the console sets for one mic line.
struct MicLineFields {
    uint8_t phantom = 1;  // 0 = phantom power on
    uint8_t pad = 0;
    uint8_t gainStep = 3;
    uint8_t select = 0;
};

// A mic-line image with every line at its neutral setting (phantom off, no pad, lowest gain,
// not selected).
std::vector<uint8_t> NeutralMicLineImage();
// Writes line `line` (1 to 120) of a mic-line image; false (image untouched) when the line is
// out of range or the image is not a whole mic-line image.
bool SetMicLine(std::vector<uint8_t>& image, int line, const MicLineFields& fields);
std::vector<uint8_t> CloseRequestBlock(uint32_t code);

}  // namespace rookd

// Readable text of the blocks rookd holds: an object's data image decoded by the client
// library's own decoders where the object's layout is known, and an annotated hex dump where
// it is not, so that an engineer can see what a program sent or will receive.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace rookd {

// The header line and the decoded image of `object`; a block that the object's decoder
// refuses (or an object without one) is shown as a hex dump with the reason.
std::string DescribeImage(const std::string& object, std::span<const uint8_t> block);

// The decoded image alone, or empty when the object has no decoder or the decoder refuses
// the block. Command blocks that carry a whole image are shown through this too.
std::string DecodeImage(const std::string& object, std::span<const uint8_t> block);

// The header (command, reply window, stated and real size) of a block.
std::string DescribeHeader(std::span<const uint8_t> block);

// Rows of 16 bytes from `from` with their offsets and printable characters; runs of zero rows
// are folded into one line.
std::string HexDump(std::span<const uint8_t> block, size_t from);

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rookd

// Readable text of a command block that a client sent to an object: the operations of the
// object's proxies that send this code and size, with the payload fields where the table lays
// them out, and the whole image where the block carries one.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace rookd {

std::string DescribeCommand(const std::string& object, std::span<const uint8_t> block);

}  // namespace rookd

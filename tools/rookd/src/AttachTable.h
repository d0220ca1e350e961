// Which server object an instance serves, told by the command code of the attach block its
// proxy sends first.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace rookd {

struct AttachEntry {
    uint32_t command;
    std::string_view object;
};

std::span<const AttachEntry> AttachTable();
// The server object of an attach command; empty for any other command.
std::string_view ObjectOfAttach(uint32_t command);

}  // namespace rookd

// Channel names between the program, which keeps them as Latin-1 bytes (as the window's name
// boxes store them), and OSC peers, which send and expect UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mic::osc {

std::string Latin1ToUtf8(std::string_view latin1);

// The Latin-1 form of a name from a peer, or nothing when the text is not valid UTF-8, holds a
// character outside Latin-1 or a control character, or is longer than `maxChars` characters.
std::optional<std::string> NameFromUtf8(std::string_view utf8, size_t maxChars);

}  // namespace mic::osc

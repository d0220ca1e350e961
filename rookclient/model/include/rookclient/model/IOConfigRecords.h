// The fixed-size records in which I/O configurations travel, in the save block and in the
// pushed image alike:
//   port record (48 bytes): key words 2, 3, 4 at 0, 4, 8; delay 12; dither 16; number 20;
//     relay 24; stereo 28; name 32 (5 bytes), second name 37 (5), scribble 42 (6), each
//     zero-terminated inside its field;
//   SRC record (48 bytes): key words 2, 3, 4 at 0, 4, 8; mode 12; state 20; the rest zero;
//   group record (80 bytes): master key words 2, 3, 4 at 0, 4, 8; member count 12 (0-5);
//     member keys from 16, 12 bytes each.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/IOConfigTypes.h"

namespace rookclient::model::io {

inline constexpr size_t kPortRecordSize = 48;
inline constexpr size_t kGroupRecordSize = 80;

void WritePortRecord(CommsBlock& block, size_t at, const PortKey& key, const PortRecord& port);
void WriteSrcRecord(CommsBlock& block, size_t at, const PortKey& key, const SrcRecord& src);
void WriteGroupRecord(CommsBlock& block, size_t at, const PortKey& master,
                      const StructGroupedPorts& group);

std::pair<PortKey, PortRecord> ReadPortRecord(const BlockReader& r, size_t at);
std::pair<PortKey, SrcRecord> ReadSrcRecord(const BlockReader& r, size_t at);
// Empty for a record that states more than five members.
std::optional<std::pair<PortKey, StructGroupedPorts>> ReadGroupRecord(const BlockReader& r,
                                                                      size_t at);

// Writes `text` into a field of `width` bytes so that it always ends with a zero byte.
bool PutTerminatedText(CommsBlock& block, size_t at, size_t width, std::string_view text);

}  // namespace rookclient::model::io

#include "rookclient/model/IOConfigRecords.h"

#include <algorithm>

namespace rookclient::model::io {

namespace {

constexpr size_t kNameWidth = 5;
constexpr size_t kScribbleWidth = 6;

void WriteKey(CommsBlock& block, size_t at, const PortKey& key) {
    block.PutI32(at, key.word2);
    block.PutI32(at + 4, key.word3);
    block.PutI32(at + 8, key.word4);
}

PortKey ReadKey(const BlockReader& r, size_t at) {
    return {r.I32(at + 4), r.I32(at), r.I32(at + 8)};
}

}  // namespace

bool PutTerminatedText(CommsBlock& block, size_t at, size_t width, std::string_view text) {
    // The zero fill of the block supplies the terminator in the field's last byte.
    return width > 0 && block.PutText(at, width - 1, text);
}

void WritePortRecord(CommsBlock& block, size_t at, const PortKey& key, const PortRecord& port) {
    WriteKey(block, at, key);
    block.PutI32(at + 12, port.delay);
    block.PutI32(at + 16, port.dither);
    block.PutI32(at + 20, port.number);
    block.PutI32(at + 24, port.relay);
    block.PutI32(at + 28, port.stereo);
    PutTerminatedText(block, at + 32, kNameWidth, port.name);
    PutTerminatedText(block, at + 37, kNameWidth, port.name2);
    PutTerminatedText(block, at + 42, kScribbleWidth, port.scribble);
}

void WriteSrcRecord(CommsBlock& block, size_t at, const PortKey& key, const SrcRecord& src) {
    WriteKey(block, at, key);
    block.PutI32(at + 12, src.mode);
    block.PutI32(at + 20, src.state);
}

void WriteGroupRecord(CommsBlock& block, size_t at, const PortKey& master,
                      const StructGroupedPorts& group) {
    WriteKey(block, at, master);
    const int32_t count =
        std::clamp(group.count, 0, static_cast<int32_t>(StructGroupedPorts::kMaxMembers));
    block.PutI32(at + 12, count);
    for (int32_t i = 0; i < count; ++i) {
        WriteKey(block, at + 16 + 12 * static_cast<size_t>(i),
                 group.members[static_cast<size_t>(i)]);
    }
}

std::pair<PortKey, PortRecord> ReadPortRecord(const BlockReader& r, size_t at) {
    PortRecord port;
    port.delay = r.I32(at + 12);
    port.dither = r.I32(at + 16);
    port.number = r.I32(at + 20);
    port.relay = r.I32(at + 24);
    port.stereo = r.I32(at + 28);
    // The last byte of each text field is its terminator, whatever the sender put there.
    port.name = std::string(r.Text(at + 32, kNameWidth - 1));
    port.name2 = std::string(r.Text(at + 37, kNameWidth - 1));
    port.scribble = std::string(r.Text(at + 42, kScribbleWidth - 1));
    return {ReadKey(r, at), port};
}

std::pair<PortKey, SrcRecord> ReadSrcRecord(const BlockReader& r, size_t at) {
    return {ReadKey(r, at), SrcRecord{r.I32(at + 12), r.I32(at + 20)}};
}

std::optional<std::pair<PortKey, StructGroupedPorts>> ReadGroupRecord(const BlockReader& r,
                                                                      size_t at) {
    StructGroupedPorts group;
    const uint32_t count = r.U32(at + 12);
    if (count > StructGroupedPorts::kMaxMembers) {
        return std::nullopt;
    }
    group.count = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        group.members[i] = ReadKey(r, at + 16 + 12 * size_t{i});
    }
    return std::make_pair(ReadKey(r, at), group);
}

}  // namespace rookclient::model::io

#include "rookclient/model/NexusRoutingMap.h"

namespace rookclient::model {

bool NexusRoutingMap::OnLinkIn(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.HasAtLeast(kHeadSize)) {
        return false;
    }
    const uint64_t count = r.U32(28);
    if (count > (r.Size() - kHeadSize) / 4) {
        return false;
    }
    modes_[0] = r.U32(20);
    modes_[1] = r.U32(24);
    streams_.clear();
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kHeadSize + 4 * i;
        streams_[r.U16(at + 2)] = r.U16(at);
    }
    return true;
}

CommsBlock NexusRoutingMap::MapStream(uint16_t stream, uint16_t source) {
    streams_[stream] = source;
    return MapBlock();
}

CommsBlock NexusRoutingMap::UnmapStream(uint16_t stream) {
    streams_.erase(stream);
    return MapBlock();
}

CommsBlock NexusRoutingMap::MapBlock() const {
    CommsBlock block(kMapStreams, kHeadSize + 4 * streams_.size());
    block.PutU32(20, modes_[0]);
    block.PutU32(24, modes_[1]);
    block.PutU32(28, static_cast<uint32_t>(streams_.size()));
    size_t at = kHeadSize;
    for (const auto& [key, value] : streams_) {
        block.PutU16(at, value);
        block.PutU16(at + 2, key);
        at += 4;
    }
    return block;
}

std::optional<uint16_t> NexusRoutingMap::GetMappedStream(uint16_t stream) const {
    const auto it = streams_.find(stream);
    return it == streams_.end() ? std::nullopt : std::optional<uint16_t>(it->second);
}

}  // namespace rookclient::model

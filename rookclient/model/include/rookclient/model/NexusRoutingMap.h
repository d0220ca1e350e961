// The stream map of the "Nexus Routing" proxy, and the notice-only decode of the studio
// configuration proxy ("CStudioConfigRook").
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

inline constexpr std::string_view kNexusLinkIn = "Nexus LinkIn";
inline constexpr std::string_view kStudioConfigReady = "Studio Config Ready";

class NexusRoutingMap {
  public:
    static constexpr uint32_t kAttach = 215;
    static constexpr uint32_t kMapStreams = 216;
    // Asks the server to read its stream names again; the argument record is empty, so the
    // block is the header alone.
    static constexpr uint32_t kReloadNames = 217;
    static constexpr size_t kHeadSize = 32;

    // Takes the two communication-mode words and rebuilds the map from the n pairs: in each
    // 4-byte pair the first 16-bit value is stored under the second as key. A block that is
    // short, misstated, or too short for the n pairs it announces is ignored. Returns true
    // when the map was taken (the client is then told "Nexus LinkIn").
    bool OnLinkIn(std::span<const uint8_t> block);

    static CommsBlock NRAttach() { return CommsBlock(kAttach, kHeaderSize); }
    static CommsBlock ReloadNames() { return CommsBlock(kReloadNames, kHeaderSize); }
    // Maps `stream` (the key) to `source` and returns the whole map for the server.
    CommsBlock MapStream(uint16_t stream, uint16_t source);
    // Removes a stream's mapping and returns the whole map for the server.
    CommsBlock UnmapStream(uint16_t stream);
    // The whole map: modes at 20 and 24, n at 28, n pairs (value, key) from 32, keys rising.
    CommsBlock MapBlock() const;

    std::optional<uint16_t> GetMappedStream(uint16_t stream) const;
    const std::map<uint16_t, uint16_t>& Streams() const { return streams_; }
    uint32_t GetCommsMode(int which) const { return which == 0 ? modes_[0] : modes_[1]; }

  private:
    uint32_t modes_[2] = {};
    std::map<uint16_t, uint16_t> streams_;
};

// The studio configuration proxy decodes nothing; a sound block only tells the client window
// ("Studio Config Ready").
inline bool StudioConfigLinkIn(std::span<const uint8_t> block) {
    return BlockReader(block).Valid();
}

namespace studio_config {
inline constexpr uint32_t kAttach = 221;
// Reload and Save take no arguments: their blocks are the header alone.
inline constexpr uint32_t kReload = 222;
inline constexpr uint32_t kSave = 213;
inline CommsBlock SCAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}
inline CommsBlock Reload() {
    return CommsBlock(kReload, kHeaderSize);
}
inline CommsBlock Save() {
    return CommsBlock(kSave, kHeaderSize);
}
}  // namespace studio_config

}  // namespace rookclient::model

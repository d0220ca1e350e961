#include "rookclient/model/IOConfigCommands.h"

#include "rookclient/model/IOConfigRecords.h"

namespace rookclient::model::io {

namespace {

constexpr size_t kSetCurrentB = 216;
constexpr size_t kSetCurrentA = 288;
constexpr size_t kSetCurrentC = 292;

constexpr size_t kSaveCountsOffset = 172;
constexpr size_t kSaveInputUnitsOffset = 192;
constexpr size_t kSaveOutputUnitsOffset = 196;
constexpr size_t kSaveFlagOffset = 288;
constexpr size_t kSaveZeroOffset = 296;
constexpr size_t kSaveRecordsOffset = 300;

constexpr size_t kAFConfigSize = 40;
constexpr size_t kQuickDelaySize = 40;
constexpr size_t kRelaysHeaderSize = 20;

CommsBlock NamedConfigBlock(uint32_t command, std::string_view name, uint32_t window = 0) {
    CommsBlock block(command, kConfigBlockSize, window);
    PutTerminatedText(block, kConfigNameOffset, kConfigNameWidth, name);
    return block;
}

void WriteIOSearch(CommsBlock& block, size_t at, const StructIOSearch& port) {
    constexpr size_t kWords = 5;
    for (size_t i = 0; i < kWords; ++i) {
        block.PutI32(at + 4 * i, port.Word(i));
    }
    block.PutBytes(at + 4 * kWords,
                   std::span(reinterpret_cast<const uint8_t*>(port.text), sizeof port.text));
}

CommsBlock SaveBlock(const IOConfigImage& image, std::string_view name, int32_t flag,
                     bool withGroups) {
    const size_t counts[5] = {image.Ports(1).size(), image.Ports(0).size(), image.Srcs(1).size(),
                              image.Srcs(0).size(), withGroups ? image.Groups().size() : 0};
    CommsBlock block(kSave, kSaveRecordsOffset +
                                kPortRecordSize * (counts[0] + counts[1] + counts[2] + counts[3]) +
                                kGroupRecordSize * counts[4]);
    PutTerminatedText(block, kConfigNameOffset, kSaveNameWidth, name);
    for (size_t i = 0; i < 5; ++i) {
        block.PutU32(kSaveCountsOffset + 4 * i, static_cast<uint32_t>(counts[i]));
    }
    block.PutI32(kSaveInputUnitsOffset, image.GetInputDelayUnits());
    block.PutI32(kSaveOutputUnitsOffset, image.GetOutputDelayUnits());
    block.PutI32(kSaveFlagOffset, flag);
    block.PutI32(kSaveZeroOffset, 0);
    size_t at = kSaveRecordsOffset;
    for (const int side : {1, 0}) {
        for (const auto& [key, port] : image.Ports(side)) {
            WritePortRecord(block, at, key, port);
            at += kPortRecordSize;
        }
    }
    for (const int side : {1, 0}) {
        for (const auto& [key, src] : image.Srcs(side)) {
            WriteSrcRecord(block, at, key, src);
            at += kPortRecordSize;
        }
    }
    if (withGroups) {
        for (const auto& [master, group] : image.Groups()) {
            WriteGroupRecord(block, at, master, group);
            at += kGroupRecordSize;
        }
    }
    return block;
}

}  // namespace

CommsBlock IOConfigAttach(std::string_view name) {
    return NamedConfigBlock(kAttach, name);
}

CommsBlock OfflineIOConfigAttach(std::string_view name) {
    return NamedConfigBlock(kOfflineAttach, name);
}

CommsBlock InterrogateIOConfig(std::string_view name) {
    return NamedConfigBlock(kInterrogateIOConfig, name);
}

CommsBlock SetCurrent(std::string_view name, int32_t a, int32_t b, int32_t c, uint32_t window) {
    CommsBlock block = NamedConfigBlock(kSetCurrent, name, window);
    block.PutI32(kSetCurrentB, b);
    block.PutI32(kSetCurrentA, a);
    block.PutI32(kSetCurrentC, c);
    return block;
}

CommsBlock LoadInMemory(std::string_view name, int32_t c) {
    return SetCurrent(name, 0, 0, c, kLoadInMemoryWindow);
}

CommsBlock SetDefault(std::string_view name) {
    return NamedConfigBlock(kSetDefault, name);
}

CommsBlock SetCurrent(IOConfigImage& image, std::string_view name, int32_t a, int32_t b, int32_t c,
                      uint32_t window) {
    image.SetCurrentName(std::string(name));
    return SetCurrent(name, a, b, c, window);
}

CommsBlock LoadInMemory(IOConfigImage& image, std::string_view name, int32_t c) {
    return SetCurrent(image, name, 0, 0, c, kLoadInMemoryWindow);
}

CommsBlock SetDefault(IOConfigImage& image, std::string_view name) {
    image.SetDefaultName(std::string(name));
    return SetDefault(name);
}

CommsBlock Save(const IOConfigImage& image, std::string_view name, int32_t flag) {
    return SaveBlock(image, name, flag, false);
}

CommsBlock SaveGroupedPorts(const IOConfigImage& image) {
    return SaveBlock(image, image.GetCurrent(), 0, true);
}

CommsBlock QuickSetDelay(const StructIOSearch& port, int32_t samples, int32_t inputUnits,
                         int32_t side) {
    CommsBlock block(kQuickSetDelay, kQuickDelaySize);
    block.PutI32(16, port.rack);
    block.PutI32(20, port.card);
    block.PutI32(24, port.port);
    block.PutI32(28, inputUnits);
    block.PutI32(32, samples);
    block.PutI32(36, side);
    return block;
}

CommsBlock QuickSetDelay(IOConfigImage& image, const StructIOSearch& port, int value, int side) {
    image.SetDelay(port, value, side);
    return QuickSetDelay(port, image.ConvertDelayFromUnits(value, side), image.GetInputDelayUnits(),
                         side);
}

std::optional<CommsBlock> SetRelays(std::span<const StructRelayPort> relays) {
    if (relays.empty()) {
        return std::nullopt;
    }
    CommsBlock block(kSetRelays, kRelaysHeaderSize + StructRelayPort::kWireSize * relays.size());
    block.PutU32(16, static_cast<uint32_t>(relays.size()));
    size_t at = kRelaysHeaderSize;
    for (const StructRelayPort& relay : relays) {
        WriteIOSearch(block, at, relay.port);
        block.PutI32(at + StructIOSearch::kWireSize, relay.relay);
        at += StructRelayPort::kWireSize;
    }
    return block;
}

CommsBlock SetAFConfig() {
    return CommsBlock(kSetAFConfig, kAFConfigSize);
}

}  // namespace rookclient::model::io

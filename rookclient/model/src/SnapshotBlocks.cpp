#include "rookclient/model/SnapshotBlocks.h"

#include <algorithm>

namespace rookclient::model::snapshot {

namespace {

void PutName(CommsBlock& block, size_t slot, std::string_view name) {
    block.PutText(kNamesAt + kNameSlot * slot, kNameWidth, name);
}

CommsBlock NamedBlock(uint32_t command, std::string_view name, WindowHandle window) {
    CommsBlock block(command, kBlockSize, window);
    PutName(block, 0, name);
    return block;
}

CommsBlock FileBlock(uint32_t command, std::string_view file, int32_t value, WindowHandle window) {
    CommsBlock block = NamedBlock(command, file, window);
    block.PutI32(kFileOptionAt, value);
    return block;
}

}  // namespace

CommsBlock SSAttach(WindowHandle window, int32_t value) {
    CommsBlock block(kAttach, kBlockSize, window);
    block.PutI32(16, value);
    return block;
}

CommsBlock CaptureSnapshot(std::string_view name, int32_t value, WindowHandle window) {
    CommsBlock block = NamedBlock(kCaptureSnapshot, name, window);
    block.PutI32(kCaptureAt, value);
    return block;
}

CommsBlock DeleteSnapshots(std::span<const std::string> names, WindowHandle window) {
    CommsBlock block(kDeleteSnapshots, kBlockSize, window);
    const size_t count = std::min(names.size(), kMaxNames);
    for (size_t i = 0; i < count; ++i) {
        PutName(block, i, names[i]);
    }
    block.PutU32(kNameCountAt, static_cast<uint32_t>(count));
    return block;
}

CommsBlock PreLoadSnapshot(std::string_view name, WindowHandle window) {
    return NamedBlock(kPreLoadSnapshot, name, window);
}

CommsBlock PlaySnapshot(std::string_view name, WindowHandle window) {
    return NamedBlock(kPlaySnapshot, name, window);
}

CommsBlock SelectSnapshot(std::string_view name, WindowHandle window) {
    return NamedBlock(kSelectSnapshot, name, window);
}

CommsBlock LoadSnapshots(std::string_view file, int32_t value, WindowHandle window) {
    return FileBlock(kLoadSnapshots, file, value, window);
}

CommsBlock SaveSnapshots(std::string_view file, int32_t value, WindowHandle window) {
    return FileBlock(kSaveSnapshots, file, value, window);
}

CommsBlock NewSnapshots(std::string_view file, int32_t value, WindowHandle window) {
    return FileBlock(kNewSnapshots, file, value, window);
}

CommsBlock RenameSnapshot(std::string_view oldName, std::string_view newName, WindowHandle window) {
    CommsBlock block = NamedBlock(kRenameSnapshot, oldName, window);
    PutName(block, 1, newName);
    return block;
}

CommsBlock SetScope(int32_t scope, WindowHandle window) {
    CommsBlock block(kSetScope, kBlockSize, window);
    block.PutI32(kScopeAt, scope);
    return block;
}

CommsBlock SetTargetWindow(WindowHandle window) {
    return CommsBlock(kSetTargetWindow, kHeaderSize, window);
}

CommsBlock CloseSnapshot() {
    return CommsBlock(kCloseSnapshot, kHeaderSize);
}

}  // namespace rookclient::model::snapshot

// Command blocks of the "SnapshotRook" proxy: capture, play, select, rename and delete
// snapshots, and load, save or create snapshot files. The proxy keeps no state.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/CommsBlock.h"

namespace rookclient::model::snapshot {

inline constexpr size_t kBlockSize = 106748;
inline constexpr uint32_t kAttach = 92;
inline constexpr uint32_t kCaptureSnapshot = 94;
inline constexpr uint32_t kDeleteSnapshots = 95;
inline constexpr uint32_t kPreLoadSnapshot = 96;
inline constexpr uint32_t kPlaySnapshot = 97;
inline constexpr uint32_t kLoadSnapshots = 98;
inline constexpr uint32_t kSaveSnapshots = 99;
inline constexpr uint32_t kNewSnapshots = 100;
inline constexpr uint32_t kSelectSnapshot = 103;
inline constexpr uint32_t kRenameSnapshot = 104;
inline constexpr uint32_t kSetScope = 105;
inline constexpr uint32_t kSetTargetWindow = 239;
inline constexpr uint32_t kCloseSnapshot = 240;

inline constexpr size_t kNamesAt = 20;
inline constexpr size_t kNameSlot = 201;
inline constexpr size_t kNameWidth = 200;  // every name ends inside its slot
inline constexpr size_t kMaxNames = 500;
inline constexpr size_t kCaptureAt = 100520;
inline constexpr size_t kNameCountAt = 106724;
inline constexpr size_t kFileOptionAt = 106736;
inline constexpr size_t kScopeAt = 106744;

CommsBlock SSAttach(WindowHandle window, int32_t value);
CommsBlock CaptureSnapshot(std::string_view name, int32_t value, WindowHandle window);
// At most 500 names are sent; the count says how many were.
CommsBlock DeleteSnapshots(std::span<const std::string> names, WindowHandle window);
CommsBlock PreLoadSnapshot(std::string_view name, WindowHandle window);
CommsBlock PlaySnapshot(std::string_view name, WindowHandle window);
CommsBlock SelectSnapshot(std::string_view name, WindowHandle window);
CommsBlock LoadSnapshots(std::string_view file, int32_t value, WindowHandle window);
CommsBlock SaveSnapshots(std::string_view file, int32_t value, WindowHandle window);
CommsBlock NewSnapshots(std::string_view file, int32_t value, WindowHandle window);
CommsBlock RenameSnapshot(std::string_view oldName, std::string_view newName, WindowHandle window);
CommsBlock SetScope(int32_t scope, WindowHandle window);
CommsBlock SetTargetWindow(WindowHandle window);
CommsBlock CloseSnapshot();

}  // namespace rookclient::model::snapshot

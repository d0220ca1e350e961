// Command blocks of the server object "IOConfigRook" (and of its offline attach).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/IOConfigImage.h"
#include "rookclient/model/IOConfigTypes.h"

namespace rookclient::model::io {

inline constexpr uint32_t kAttach = 83;
inline constexpr uint32_t kSetCurrent = 84;
inline constexpr uint32_t kSave = 85;
inline constexpr uint32_t kSetDefault = 86;
inline constexpr uint32_t kQuickSetDelay = 107;
inline constexpr uint32_t kSetRelays = 238;
inline constexpr uint32_t kSetAFConfig = 299;
inline constexpr uint32_t kOfflineAttach = 317;
inline constexpr uint32_t kInterrogateIOConfig = 318;

inline constexpr size_t kConfigBlockSize = 300;
// A configuration name runs from 16 to the next field (216 in the 300-byte blocks, 172 in the
// save block) and always keeps a terminator inside its field.
inline constexpr size_t kConfigNameOffset = 16;
inline constexpr size_t kConfigNameWidth = 200;
inline constexpr size_t kSaveNameWidth = 156;
// The window value that LoadInMemory sends: no window, but "load only".
inline constexpr uint32_t kLoadInMemoryWindow = 65535;

CommsBlock IOConfigAttach(std::string_view name);
// The offline attach names its configuration as the online one does.
CommsBlock OfflineIOConfigAttach(std::string_view name);
// Asks the offline server to read a configuration: a configuration block like the attach's,
// the name of the configuration at 16.
CommsBlock InterrogateIOConfig(std::string_view name);
// Name at 16; b at 216; a at 288; c at 292 (their meaning is the server's).
CommsBlock SetCurrent(std::string_view name, int32_t a, int32_t b, int32_t c, uint32_t window);
CommsBlock LoadInMemory(std::string_view name, int32_t c);
CommsBlock SetDefault(std::string_view name);
// The same, also storing the name as the image's current (or default) configuration.
CommsBlock SetCurrent(IOConfigImage& image, std::string_view name, int32_t a, int32_t b, int32_t c,
                      uint32_t window);
CommsBlock LoadInMemory(IOConfigImage& image, std::string_view name, int32_t c);
CommsBlock SetDefault(IOConfigImage& image, std::string_view name);
// The save block: name at 16; record counts at 172 (input ports), 176 (output ports), 180
// (input SRC), 184 (output SRC), 188 (port groups); input units 192; output units 196; flag
// 288; 0 at 296; the records from 300 in that order (layouts in IOConfigRecords.h).
// `withGroups` false gives the plain save, whose group count is 0: the server then keeps the
// groups it has. SaveGroupedPorts sends the groups as well.
CommsBlock Save(const IOConfigImage& image, std::string_view name, int32_t flag);
CommsBlock SaveGroupedPorts(const IOConfigImage& image);
// Key words 2, 3, 4 at 16, 20, 24; the input delay units at 28; the delay in 48 kHz samples
// at 32; the side at 36.
CommsBlock QuickSetDelay(const StructIOSearch& port, int32_t samples, int32_t inputUnits,
                         int32_t side);
// Stores the delay in the image and gives the block that sends it at once.
CommsBlock QuickSetDelay(IOConfigImage& image, const StructIOSearch& port, int value, int side);
// n at 16, then the 56-byte relay records from 20: each the port's 52-byte record (five words,
// then its label) followed by the relay number. Nothing for an empty list.
std::optional<CommsBlock> SetRelays(std::span<const StructRelayPort> relays);
CommsBlock SetAFConfig();

}  // namespace rookclient::model::io

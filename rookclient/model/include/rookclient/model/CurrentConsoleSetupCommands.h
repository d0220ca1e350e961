// Command blocks of the server object "CurrentConsoleSetupRook". Every command but the attach
// uses the console setup block: 109452 bytes, zero except for the fields a command sets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/CurrentConsoleSetupImage.h"

namespace rookclient::model::ccs {

inline constexpr uint32_t kAttach = 29;
inline constexpr uint32_t kLoadConsoleSetup = 30;
inline constexpr uint32_t kSetPathName = 23;
inline constexpr uint32_t kMakeDefault = 60;
inline constexpr size_t kSetupBlockSize = 109452;

// Field offsets of the console setup block.
inline constexpr size_t kSetupNameOffset = 16;
inline constexpr size_t kSetupNameWidth = 200;
inline constexpr size_t kPathNumberOffset = 420;
inline constexpr size_t kPathNameOffset = 2428;
// A path name is bounded by the width the console keeps for a path's long name.
inline constexpr size_t kPathNameWidth = 200;
inline constexpr size_t kSecondArgOffset = 105484;
inline constexpr size_t kOneOffset = 105488;
inline constexpr size_t kThirdArgOffset = 105492;
inline constexpr size_t kFurtherNamesOffset = 105496;
inline constexpr size_t kFurtherNameSlot = 201;
inline constexpr size_t kFurtherNameCount = 7;
inline constexpr size_t kFirstArgOffset = 106904;

CommsBlock CCSAttach();
// names[0] is the setup to load; names[1] to names[7] fill the further slots (later names are
// not sent). The three ints are placed for the server, which gives them their meaning.
CommsBlock LoadConsoleSetup(const std::vector<std::string>& names, int32_t a, int32_t b, int32_t c,
                            uint32_t window);
CommsBlock SetPathName(int32_t path, std::string_view name, uint32_t window);
CommsBlock MakeDefault(std::string_view setupName);
// Makes the current setup the default.
CommsBlock MakeDefault(const CurrentConsoleSetupImage& image);

}  // namespace rookclient::model::ccs

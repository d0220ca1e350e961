// Command blocks of the server object "MCSRookObject". Every command shares code 162 and is
// told apart by its sub-command at 20; the block is 716 bytes, or 848 for the sub-commands
// that carry machine data.
#pragma once

#include <cstdint>
#include <string_view>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/McsMachineInfo.h"

namespace rookclient::model::mcs {

inline constexpr uint32_t kAttach = 161;
inline constexpr uint32_t kCommand = 162;
// The server's machine-control debug switch: the same block, its own command code.
inline constexpr uint32_t kDebugCommand = 297;
inline constexpr size_t kBlockSize = 716;
inline constexpr size_t kMachineBlockSize = 848;

inline constexpr size_t kOpenFlagOffset = 16;
inline constexpr size_t kSubCommandOffset = 20;
inline constexpr size_t kLocateOffset = 24;  // also the second cycle argument
inline constexpr size_t kCycleFirstOffset = 28;
inline constexpr size_t kMemberFlagOffset = 36;
inline constexpr size_t kMachineOffset = 44;
inline constexpr size_t kGroupOffset = 45;
inline constexpr size_t kSynchroRefOffset = 140;
inline constexpr size_t kFeetAndFramesOffset = 195;
inline constexpr size_t kLocalZeroOffset = 201;
inline constexpr size_t kAliasOffset = 737;
inline constexpr size_t kTimeOffset = 768;
inline constexpr size_t kReadyBitmapOffset = 778;
inline constexpr size_t kRecordModeOffset = 794;
inline constexpr size_t kGeneralParamsOffset = 795;
inline constexpr size_t kServoParamsOffset = 827;

enum SubCommand : uint32_t {
    kFForward = 2,
    kRewind = 3,
    kPlay = 5,
    kStop = 6,
    kRecord = 16,
    kLocate = 20,
    kCycle = 21,
    kRollback = 22,
    kLocateMode = 27,
    kCycleMode = 28,
    kSetCurrentMachine = 36,
    kChangeGroupMember = 39,
    kClearGroup = 40,
    kSetCurrentGroup = 41,
    kSetDeviceOffset = 42,
    kSetSelectedTapeCode = 43,
    kSetMachineParams = 44,
    kSetTrackReadyModes = 45,
    kSetRecordMode = 46,
    kSetMachineAlias = 47,
    kSetMaster = 50,
    kReloadGroups = 51,
    kSetSynchroRef = 53,
    kSetFeetAndFrames = 54,
    kSetLocalZero = 55,
    // Sub-commands of kDebugCommand.
    kDebugOn = 56,
    kDebugOff = 57,
};

// A time as four packed BCD bytes (hours, minutes, seconds, frames); bit 7 of the hours byte
// marks a negative offset. Each value is held to two digits (0-99) and the hours to 0-79, so
// that no value spills into its neighbour's nibble or into the sign bit.
uint8_t ToBcd(int value);

CommsBlock MCSAttach();
CommsBlock FForwardMCS();
CommsBlock RewindMCS();
CommsBlock PlayMCS();
CommsBlock StopMCS();
CommsBlock RecordMCS();
CommsBlock LocateMCS(int32_t target);
CommsBlock CycleMCS(int32_t a, int32_t b);
CommsBlock RollbackMCS();
CommsBlock OpenLocate();
CommsBlock ExitCycleOrLocate();
CommsBlock OpenCycle();
CommsBlock SetCurrentMachine(uint8_t id);
CommsBlock ChangeGroupMember(uint8_t group, uint8_t id, bool add);
CommsBlock ClearGroup(uint8_t group);
CommsBlock SetCurrentGroup(uint8_t group);
CommsBlock SetDeviceOffset(uint8_t id, int h, int m, int s, int f, bool negative);
CommsBlock SetSelectedTapeCode(uint8_t id, int h, int m, int s, int f);
// The machine's general and servo parameters, its ready bitmap, record mode and alias, as
// the record holds them.
CommsBlock SetMachineParams(const MCSMachineInfoStruct& machine);
CommsBlock SetTrackReadyModes(const MCSMachineInfoStruct& machine);
CommsBlock SetRecordMode(const MCSMachineInfoStruct& machine);
// The proxy sends this one between StopAdvise and StartAdvise(1), so that the renamed
// machine comes back at once.
CommsBlock SetMachineAlias(const MCSMachineInfoStruct& machine);
CommsBlock SetMaster(uint8_t group, uint8_t id);
CommsBlock ReloadGroups();
CommsBlock SetSynchroRef(uint8_t ref);
// Bytes 195 to 200 take a3, a4, a5, a6, a1, a2: the server's order, not the arguments'.
CommsBlock SetMCSFeetAndFrames(uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4, uint8_t a5,
                               uint8_t a6);
CommsBlock SetMCSLocalZero(uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4, uint8_t a5);
// Turns the server's machine-control debugging on (sub-command 56) or off (57): a 716-byte
// block with command 297 and the sub-command at 20, every other field zero.
CommsBlock SetMCSDebug(bool on);

}  // namespace rookclient::model::mcs

// The image of the server object "MCSRookObject": the machines of the machine control system,
// their groups and the current group's state; the local edits that then send a command (the
// methods that return a block: the proxy sends what they return, nothing when they return
// none).
//
// Pushed block (after the 16-byte header):
//   16  u8 current group     17 u8 its state     18 u8 its process     19 u8 its cycle mode
//   20  9 x 8 u8             group table: machine IDs, 255 = empty slot, slot 0 the master
//   92  u8 locked reference  93 u8 locked status (0 = locked)
//   96  u32                  number of machines m (0-255)
//   100 m x 132 bytes        MCSMachineInfoStruct records
// A block whose machine count does not fit the bytes that arrived is ignored.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/McsMachineInfo.h"

namespace rookclient::model {

class McsImage {
  public:
    static constexpr int kGroups = 9;
    static constexpr int kSlots = 8;
    // SetMaster serves the first eight groups only.
    static constexpr int kMasterGroups = 8;
    static constexpr uint8_t kNone = 255;
    static constexpr int kTimecodeTrack = 254;
    static constexpr int kVideoTrack = 255;
    static constexpr size_t kMaxMachines = 255;
    using GroupSlots = std::array<uint8_t, kSlots>;

    McsImage();

    bool Decode(std::span<const uint8_t> block);
    CommsBlock Encode() const;

    // Filling the image directly (the server side and tests).
    void SetMachines(std::vector<MCSMachineInfoStruct> machines) {
        machines_ = std::move(machines);
    }
    void SetGroupTable(const std::array<GroupSlots, kGroups>& groups) { groups_ = groups; }
    void SetCurrentGroupState(uint8_t group, uint8_t state, uint8_t process, uint8_t cycleMode);
    void SetGroupLock(uint8_t reference, uint8_t status);

    int GetNumMachines() const { return static_cast<int>(machines_.size()); }
    uint8_t GetCurrentGroup() const { return currentGroup_; }
    uint8_t GetCurrentGroupState() const { return groupState_; }
    uint8_t GetCurrentGroupProcess() const { return groupProcess_; }
    uint8_t GetCurrentGroupCycleMode() const { return cycleMode_; }
    uint8_t GetGroupLockedReferenceInt() const { return lockedReference_; }
    std::string GetGroupLockedReference() const;
    bool GetGroupLockedStatus() const { return lockedStatus_ == 0; }
    // Slot 0 of the group; 0 for a group past the table.
    uint8_t GetGroupRefMaster(int group) const;
    // The group's eight slots; eight empty slots for a group past the table.
    void GetGroupMembers(int group, GroupSlots& out) const;

    // 255 when absent.
    uint8_t GetMachineIndexFromID(uint8_t id) const;
    uint8_t GetMachineIDFromIndex(int index) const;
    // All zero (and false) when absent.
    bool GetMachineInfo(uint8_t id, MCSMachineInfoStruct& out) const;
    // Empty when absent.
    std::string GetMachineName(uint8_t id) const;
    std::string GetMachineAlias(uint8_t id) const;
    std::string GetMachineProtocol(uint8_t id) const;
    // 255 when absent.
    uint8_t GetMachinePort(uint8_t id) const;
    uint8_t GetMachineState(uint8_t id) const;
    uint8_t GetMachineProcess(uint8_t id) const;
    // 0 when absent.
    uint8_t GetRecordMode(uint8_t id) const;

    // Tracks are numbered 0 to n - 1, the special tracks last; 254 is the timecode track and
    // 255 the video track, which read as not ready unless the user allows recording on them.
    bool IsTrackReady(uint8_t id, int track) const;
    bool IsTrackRecording(uint8_t id, int track) const;

    // Group edits: change the local table at once, then tell the server.
    std::optional<CommsBlock> AssignMachineToGroup(uint8_t id, int group);
    std::optional<CommsBlock> DeAssignMachineFromGroup(uint8_t id, int group);
    std::optional<CommsBlock> SetMaster(int group, uint8_t id);

    // Machine edits; none for a machine that is not registered.
    std::optional<CommsBlock> SetMachineParams(uint8_t id) const;
    std::optional<CommsBlock> SetTrackReadyModes(uint8_t id) const;
    std::optional<CommsBlock> SetRecordMode(uint8_t id, uint8_t mode);
    std::optional<CommsBlock> SetMachineAlias(uint8_t id, std::string_view alias);
    // None (false) also for an index past the parameters.
    std::optional<CommsBlock> SetServoParam(uint8_t id, int index, uint8_t value);
    std::optional<CommsBlock> SetGeneralParam(uint8_t id, int index, uint8_t value);
    // `tracks[t]` arms track t; indices past the span read as not armed.
    std::optional<CommsBlock> SetTracksReady(uint8_t id, bool timecode, bool video,
                                             std::span<const bool> tracks);
    std::optional<CommsBlock> SetAllTracksReady(uint8_t id);
    std::optional<CommsBlock> SetAllTracksSafe(uint8_t id);
    // One record-mode command per machine.
    std::vector<CommsBlock> PutAllMachinesInRehearse(int on);

  private:
    const MCSMachineInfoStruct* Find(uint8_t id) const;
    MCSMachineInfoStruct* Find(uint8_t id);

    uint8_t currentGroup_ = 0;
    uint8_t groupState_ = 0;
    uint8_t groupProcess_ = 0;
    uint8_t cycleMode_ = 0;
    std::array<GroupSlots, kGroups> groups_{};
    uint8_t lockedReference_ = 0;
    uint8_t lockedStatus_ = 0;
    std::vector<MCSMachineInfoStruct> machines_;
};

}  // namespace rookclient::model

#include "rookclient/model/McsCommands.h"

#include <algorithm>

namespace rookclient::model::mcs {

namespace {

constexpr int kMaxHours = 79;
constexpr uint8_t kNegativeBit = 0x80;

CommsBlock Sub(SubCommand sub, size_t size = kBlockSize, uint32_t command = kCommand) {
    CommsBlock block(command, size);
    block.PutU32(kSubCommandOffset, sub);
    return block;
}

CommsBlock ForMachine(SubCommand sub, uint8_t id) {
    CommsBlock block = Sub(sub, kMachineBlockSize);
    block.PutU8(kMachineOffset, id);
    return block;
}

CommsBlock WithOpenFlag(SubCommand sub, uint32_t open) {
    CommsBlock block = Sub(sub);
    block.PutU32(kOpenFlagOffset, open);
    return block;
}

CommsBlock WithTime(SubCommand sub, uint8_t id, int h, int m, int s, int f, bool negative) {
    CommsBlock block = ForMachine(sub, id);
    const uint8_t hours =
        static_cast<uint8_t>(ToBcd(std::clamp(h, 0, kMaxHours)) | (negative ? kNegativeBit : 0));
    const uint8_t time[4] = {hours, ToBcd(m), ToBcd(s), ToBcd(f)};
    block.PutBytes(kTimeOffset, time);
    return block;
}

CommsBlock WithGroup(SubCommand sub, uint8_t group, uint8_t id) {
    CommsBlock block = Sub(sub);
    block.PutU8(kGroupOffset, group);
    block.PutU8(kMachineOffset, id);
    return block;
}

}  // namespace

uint8_t ToBcd(int value) {
    const int v = std::clamp(value, 0, 99);
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

CommsBlock MCSAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock FForwardMCS() {
    return Sub(kFForward);
}

CommsBlock RewindMCS() {
    return Sub(kRewind);
}

CommsBlock PlayMCS() {
    return Sub(kPlay);
}

CommsBlock StopMCS() {
    return Sub(kStop);
}

CommsBlock RecordMCS() {
    return Sub(kRecord);
}

CommsBlock LocateMCS(int32_t target) {
    CommsBlock block = Sub(kLocate);
    block.PutI32(kLocateOffset, target);
    return block;
}

CommsBlock CycleMCS(int32_t a, int32_t b) {
    CommsBlock block = Sub(kCycle);
    block.PutI32(kCycleFirstOffset, a);
    block.PutI32(kLocateOffset, b);
    return block;
}

CommsBlock RollbackMCS() {
    return Sub(kRollback);
}

CommsBlock OpenLocate() {
    return WithOpenFlag(kLocateMode, 1);
}

CommsBlock ExitCycleOrLocate() {
    return WithOpenFlag(kLocateMode, 0);
}

CommsBlock OpenCycle() {
    return WithOpenFlag(kCycleMode, 1);
}

CommsBlock SetCurrentMachine(uint8_t id) {
    CommsBlock block = Sub(kSetCurrentMachine);
    block.PutU8(kMachineOffset, id);
    return block;
}

CommsBlock ChangeGroupMember(uint8_t group, uint8_t id, bool add) {
    CommsBlock block = WithGroup(kChangeGroupMember, group, id);
    block.PutU32(kMemberFlagOffset, add ? 1 : 0);
    return block;
}

CommsBlock ClearGroup(uint8_t group) {
    CommsBlock block = Sub(kClearGroup);
    block.PutU8(kGroupOffset, group);
    return block;
}

CommsBlock SetCurrentGroup(uint8_t group) {
    CommsBlock block = Sub(kSetCurrentGroup);
    block.PutU8(kGroupOffset, group);
    return block;
}

CommsBlock SetDeviceOffset(uint8_t id, int h, int m, int s, int f, bool negative) {
    return WithTime(kSetDeviceOffset, id, h, m, s, f, negative);
}

CommsBlock SetSelectedTapeCode(uint8_t id, int h, int m, int s, int f) {
    return WithTime(kSetSelectedTapeCode, id, h, m, s, f, false);
}

CommsBlock SetMachineParams(const MCSMachineInfoStruct& machine) {
    CommsBlock block = ForMachine(kSetMachineParams, machine.id);
    block.PutBytes(kGeneralParamsOffset, machine.generalParams);
    block.PutBytes(kServoParamsOffset, machine.servoParams);
    return block;
}

CommsBlock SetTrackReadyModes(const MCSMachineInfoStruct& machine) {
    CommsBlock block = ForMachine(kSetTrackReadyModes, machine.id);
    block.PutBytes(kReadyBitmapOffset, machine.trackReady);
    return block;
}

CommsBlock SetRecordMode(const MCSMachineInfoStruct& machine) {
    CommsBlock block = ForMachine(kSetRecordMode, machine.id);
    block.PutU8(kRecordModeOffset, machine.recordMode);
    return block;
}

CommsBlock SetMachineAlias(const MCSMachineInfoStruct& machine) {
    CommsBlock block = ForMachine(kSetMachineAlias, machine.id);
    // The record's alias field holds its terminator, so the copy ends inside the 21 bytes.
    block.PutText(kAliasOffset, MCSMachineInfoStruct::kNameWidth, machine.Alias());
    return block;
}

CommsBlock SetMaster(uint8_t group, uint8_t id) {
    return WithGroup(kSetMaster, group, id);
}

CommsBlock ReloadGroups() {
    return Sub(kReloadGroups);
}

CommsBlock SetSynchroRef(uint8_t ref) {
    CommsBlock block = Sub(kSetSynchroRef);
    block.PutU8(kSynchroRefOffset, ref);
    return block;
}

CommsBlock SetMCSFeetAndFrames(uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4, uint8_t a5,
                               uint8_t a6) {
    CommsBlock block = Sub(kSetFeetAndFrames);
    const uint8_t bytes[6] = {a3, a4, a5, a6, a1, a2};
    block.PutBytes(kFeetAndFramesOffset, bytes);
    return block;
}

CommsBlock SetMCSLocalZero(uint8_t a1, uint8_t a2, uint8_t a3, uint8_t a4, uint8_t a5) {
    CommsBlock block = Sub(kSetLocalZero);
    const uint8_t bytes[5] = {a1, a2, a3, a4, a5};
    block.PutBytes(kLocalZeroOffset, bytes);
    return block;
}

CommsBlock SetMCSDebug(bool on) {
    return Sub(on ? kDebugOn : kDebugOff, kBlockSize, kDebugCommand);
}

}  // namespace rookclient::model::mcs

#include "rookclient/model/McsImage.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "rookclient/model/McsCommands.h"

namespace rookclient::model {

namespace {

constexpr size_t kCurrentGroupOffset = 16;
constexpr size_t kGroupTableOffset = 20;
constexpr size_t kLockedReferenceOffset = 92;
constexpr size_t kLockedStatusOffset = 93;
constexpr size_t kMachineCountOffset = 96;
constexpr size_t kMachinesOffset = 100;
constexpr size_t kMachineSize = sizeof(MCSMachineInfoStruct);

bool InTable(int group, int groups) {
    return group >= 0 && group < groups;
}

}  // namespace

McsImage::McsImage() {
    for (GroupSlots& slots : groups_) {
        slots.fill(kNone);
    }
}

bool McsImage::Decode(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.HasAtLeast(kMachinesOffset)) {
        return false;
    }
    const uint32_t count = r.U32(kMachineCountOffset);
    if (count > kMaxMachines || !r.HasAtLeast(kMachinesOffset + kMachineSize * count)) {
        return false;
    }
    std::vector<MCSMachineInfoStruct> machines(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(&machines[i], r.Bytes(kMachinesOffset + kMachineSize * i, kMachineSize).data(),
                    kMachineSize);
    }
    const auto table = r.Bytes(kGroupTableOffset, kGroups * kSlots);
    for (size_t g = 0; g < kGroups; ++g) {
        std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(g * kSlots), kSlots,
                    groups_[g].begin());
    }
    currentGroup_ = r.U8(kCurrentGroupOffset);
    groupState_ = r.U8(kCurrentGroupOffset + 1);
    groupProcess_ = r.U8(kCurrentGroupOffset + 2);
    cycleMode_ = r.U8(kCurrentGroupOffset + 3);
    lockedReference_ = r.U8(kLockedReferenceOffset);
    lockedStatus_ = r.U8(kLockedStatusOffset);
    machines_ = std::move(machines);
    return true;
}

CommsBlock McsImage::Encode() const {
    const size_t count = std::min(machines_.size(), kMaxMachines);
    CommsBlock b(mcs::kAttach, kMachinesOffset + kMachineSize * count);
    const uint8_t state[4] = {currentGroup_, groupState_, groupProcess_, cycleMode_};
    b.PutBytes(kCurrentGroupOffset, state);
    for (size_t g = 0; g < kGroups; ++g) {
        b.PutBytes(kGroupTableOffset + g * kSlots, groups_[g]);
    }
    b.PutU8(kLockedReferenceOffset, lockedReference_);
    b.PutU8(kLockedStatusOffset, lockedStatus_);
    b.PutU32(kMachineCountOffset, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        b.PutBytes(kMachinesOffset + kMachineSize * i,
                   std::span(reinterpret_cast<const uint8_t*>(&machines_[i]), kMachineSize));
    }
    return b;
}

void McsImage::SetCurrentGroupState(uint8_t group, uint8_t state, uint8_t process,
                                    uint8_t cycleMode) {
    currentGroup_ = group;
    groupState_ = state;
    groupProcess_ = process;
    cycleMode_ = cycleMode;
}

void McsImage::SetGroupLock(uint8_t reference, uint8_t status) {
    lockedReference_ = reference;
    lockedStatus_ = status;
}

std::string McsImage::GetGroupLockedReference() const {
    return std::string(McsLockedReferenceName(lockedReference_));
}

uint8_t McsImage::GetGroupRefMaster(int group) const {
    return InTable(group, kGroups) ? groups_[static_cast<size_t>(group)][0] : 0;
}

void McsImage::GetGroupMembers(int group, GroupSlots& out) const {
    if (InTable(group, kGroups)) {
        out = groups_[static_cast<size_t>(group)];
    } else {
        out.fill(kNone);
    }
}

const MCSMachineInfoStruct* McsImage::Find(uint8_t id) const {
    const auto it = std::find_if(machines_.begin(), machines_.end(),
                                 [id](const MCSMachineInfoStruct& m) { return m.id == id; });
    return it == machines_.end() ? nullptr : &*it;
}

MCSMachineInfoStruct* McsImage::Find(uint8_t id) {
    return const_cast<MCSMachineInfoStruct*>(std::as_const(*this).Find(id));
}

uint8_t McsImage::GetMachineIndexFromID(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? kNone : static_cast<uint8_t>(m - machines_.data());
}

uint8_t McsImage::GetMachineIDFromIndex(int index) const {
    return index >= 0 && static_cast<size_t>(index) < machines_.size()
               ? machines_[static_cast<size_t>(index)].id
               : kNone;
}

bool McsImage::GetMachineInfo(uint8_t id, MCSMachineInfoStruct& out) const {
    const MCSMachineInfoStruct* m = Find(id);
    out = m == nullptr ? MCSMachineInfoStruct{} : *m;
    return m != nullptr;
}

std::string McsImage::GetMachineName(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? std::string{} : std::string(m->Name());
}

std::string McsImage::GetMachineAlias(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? std::string{} : std::string(m->Alias());
}

std::string McsImage::GetMachineProtocol(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? std::string{} : std::string(McsProtocolName(m->protocol));
}

uint8_t McsImage::GetMachinePort(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? kNone : m->port;
}

uint8_t McsImage::GetMachineState(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? kNone : m->state;
}

uint8_t McsImage::GetMachineProcess(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? kNone : m->process;
}

uint8_t McsImage::GetRecordMode(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? 0 : m->recordMode;
}

std::optional<CommsBlock> McsImage::AssignMachineToGroup(uint8_t id, int group) {
    if (!InTable(group, kGroups)) {
        return std::nullopt;
    }
    GroupSlots& slots = groups_[static_cast<size_t>(group)];
    // A machine already anywhere in the group stays where it is, even behind an empty slot:
    // a machine is never listed twice in one group.
    if (std::find(slots.begin(), slots.end(), id) != slots.end()) {
        return std::nullopt;
    }
    const auto empty = std::find(slots.begin(), slots.end(), kNone);
    if (empty == slots.end()) {
        return std::nullopt;
    }
    *empty = id;
    return mcs::ChangeGroupMember(static_cast<uint8_t>(group), id, true);
}

std::optional<CommsBlock> McsImage::DeAssignMachineFromGroup(uint8_t id, int group) {
    if (!InTable(group, kGroups)) {
        return std::nullopt;
    }
    GroupSlots& slots = groups_[static_cast<size_t>(group)];
    const auto at = std::find(slots.begin(), slots.end(), id);
    if (at != slots.end()) {
        std::copy(at + 1, slots.end(), at);
        slots.back() = kNone;
    }
    // Sent also when the machine was no member, so that the server's table agrees.
    return mcs::ChangeGroupMember(static_cast<uint8_t>(group), id, false);
}

std::optional<CommsBlock> McsImage::SetMaster(int group, uint8_t id) {
    if (!InTable(group, kMasterGroups)) {
        return std::nullopt;
    }
    GroupSlots& slots = groups_[static_cast<size_t>(group)];
    const auto at = std::find(slots.begin() + 1, slots.end(), id);
    if (at != slots.end()) {
        *at = slots[0];  // the old master takes the new master's slot
    }
    slots[0] = id;  // a machine from outside the group drops the old master
    return mcs::SetMaster(static_cast<uint8_t>(group), id);
}

std::optional<CommsBlock> McsImage::SetMachineParams(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? std::nullopt : std::optional(mcs::SetMachineParams(*m));
}

std::optional<CommsBlock> McsImage::SetTrackReadyModes(uint8_t id) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m == nullptr ? std::nullopt : std::optional(mcs::SetTrackReadyModes(*m));
}

std::optional<CommsBlock> McsImage::SetRecordMode(uint8_t id, uint8_t mode) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr) {
        return std::nullopt;
    }
    m->recordMode = mode;
    return mcs::SetRecordMode(*m);
}

std::optional<CommsBlock> McsImage::SetMachineAlias(uint8_t id, std::string_view alias) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr) {
        return std::nullopt;
    }
    m->SetAlias(alias);
    return mcs::SetMachineAlias(*m);
}

std::optional<CommsBlock> McsImage::SetServoParam(uint8_t id, int index, uint8_t value) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr || index < 0 || index >= static_cast<int>(m->servoParams.size())) {
        return std::nullopt;
    }
    m->servoParams[static_cast<size_t>(index)] = value;
    return mcs::SetMachineParams(*m);
}

std::optional<CommsBlock> McsImage::SetGeneralParam(uint8_t id, int index, uint8_t value) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr || index < 0 || index >= static_cast<int>(m->generalParams.size())) {
        return std::nullopt;
    }
    m->generalParams[static_cast<size_t>(index)] = value;
    return mcs::SetMachineParams(*m);
}

std::vector<CommsBlock> McsImage::PutAllMachinesInRehearse(int on) {
    std::vector<CommsBlock> blocks;
    const uint8_t mode = on ? kRecordModeRehearse : kRecordModeRecord;
    for (MCSMachineInfoStruct& m : machines_) {
        m.recordMode = mode;
        blocks.push_back(mcs::SetRecordMode(m));
    }
    return blocks;
}

}  // namespace rookclient::model

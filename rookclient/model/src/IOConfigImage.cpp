#include "rookclient/model/IOConfigImage.h"

#include <algorithm>
#include <cstdint>

#include "rookclient/model/IOConfigRecords.h"

namespace rookclient::model {

namespace {

constexpr size_t kConfigNameWidth = 200;
constexpr size_t kCurrentNameOffset = 16;
constexpr size_t kDefaultNameOffset = 216;
constexpr size_t kOnDeskNameOffset = 416;
constexpr size_t kSampleRateOffset = 616;
constexpr size_t kExtendedDelayOffset = 620;
constexpr size_t kRelayCardsOffset = 632;
constexpr size_t kQuadMadisOffset = 680;
constexpr size_t kFrameRateOffset = 684;
constexpr size_t kDelayShiftOffset = 688;
constexpr size_t kInputUnitsOffset = 692;
constexpr size_t kOutputUnitsOffset = 696;
constexpr size_t kCountsOffset = 700;
constexpr size_t kRecordsOffset = 720;
constexpr int32_t kMaxDelayShift = 31;

template <typename Field>
bool CopyField(const PortRecord* record, Field PortRecord::*field, Field& out) {
    if (record == nullptr) {
        return false;
    }
    out = record->*field;
    return true;
}

bool CopySrcField(const IOConfigImage::SrcMap& map, const PortKey& key, int32_t SrcRecord::*field,
                  int& out) {
    const auto it = map.find(key);
    if (it == map.end()) {
        return false;
    }
    out = it->second.*field;
    return true;
}

bool CopyName(const PortRecord* record, std::string PortRecord::*field, std::string& out) {
    return CopyField(record, field, out) && !out.empty();
}

}  // namespace

bool IOConfigImage::Decode(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.HasAtLeast(kRecordsOffset)) {
        return false;
    }
    uint64_t counts[5];
    for (size_t i = 0; i < 5; ++i) {
        counts[i] = r.U32(kCountsOffset + 4 * i);
    }
    const uint64_t needed = kRecordsOffset +
                            io::kPortRecordSize * (counts[0] + counts[1] + counts[2] + counts[3]) +
                            io::kGroupRecordSize * counts[4];
    IOConfigSystem system;
    system.sampleRate = r.I32(kSampleRateOffset);
    for (size_t i = 0; i < system.extendedDelay.size(); ++i) {
        system.extendedDelay[i] = r.I32(kExtendedDelayOffset + 4 * i);
    }
    for (size_t i = 0; i < system.remoteRelayCards.size(); ++i) {
        system.remoteRelayCards[i] = r.I32(kRelayCardsOffset + 4 * i);
    }
    system.quadMadis = r.I32(kQuadMadisOffset);
    system.frameRateCode = r.I32(kFrameRateOffset);
    system.delayShift = r.I32(kDelayShiftOffset);
    if (needed > r.Size() || !r.HasAtLeast(static_cast<size_t>(needed)) || system.quadMadis < 0 ||
        system.quadMadis > IOConfigSystem::kMaxQuadMadis || system.delayShift < 0 ||
        system.delayShift > kMaxDelayShift) {
        return false;
    }

    size_t at = kRecordsOffset;
    PortMap ports[2];
    SrcMap srcs[2];
    for (size_t s = 0; s < 2; ++s) {  // input side first
        for (uint64_t i = 0; i < counts[s]; ++i) {
            ports[s].insert(io::ReadPortRecord(r, at));
            at += io::kPortRecordSize;
        }
    }
    for (size_t s = 0; s < 2; ++s) {
        for (uint64_t i = 0; i < counts[2 + s]; ++i) {
            srcs[s].insert(io::ReadSrcRecord(r, at));
            at += io::kPortRecordSize;
        }
    }
    GroupMap masters;
    std::map<PortKey, PortKey> members;
    for (uint64_t i = 0; i < counts[4]; ++i) {
        const auto group = io::ReadGroupRecord(r, at);
        at += io::kGroupRecordSize;
        // A port belongs to one group at most, as a master or as a member.
        if (!group || masters.contains(group->first) || members.contains(group->first)) {
            return false;
        }
        masters.insert(*group);
        for (int32_t m = 0; m < group->second.count; ++m) {
            const PortKey& member = group->second.members[static_cast<size_t>(m)];
            if (masters.contains(member) || !members.emplace(member, group->first).second) {
                return false;
            }
        }
    }

    system_ = system;
    currentName_ = std::string(r.Text(kCurrentNameOffset, kConfigNameWidth));
    defaultName_ = std::string(r.Text(kDefaultNameOffset, kConfigNameWidth));
    onDeskName_ = std::string(r.Text(kOnDeskNameOffset, kConfigNameWidth));
    inputUnits_ = r.I32(kInputUnitsOffset);
    outputUnits_ = r.I32(kOutputUnitsOffset);
    inputPorts_ = std::move(ports[0]);
    outputPorts_ = std::move(ports[1]);
    inputSrc_ = std::move(srcs[0]);
    outputSrc_ = std::move(srcs[1]);
    masters_ = std::move(masters);
    members_ = std::move(members);
    return true;
}

CommsBlock IOConfigImage::Encode() const {
    const size_t portRecords =
        inputPorts_.size() + outputPorts_.size() + inputSrc_.size() + outputSrc_.size();
    CommsBlock b(kAttachCommand, kRecordsOffset + io::kPortRecordSize * portRecords +
                                     io::kGroupRecordSize * masters_.size());
    b.PutText(kCurrentNameOffset, kConfigNameWidth, currentName_);
    b.PutText(kDefaultNameOffset, kConfigNameWidth, defaultName_);
    b.PutText(kOnDeskNameOffset, kConfigNameWidth, onDeskName_);
    b.PutI32(kSampleRateOffset, system_.sampleRate);
    for (size_t i = 0; i < system_.extendedDelay.size(); ++i) {
        b.PutI32(kExtendedDelayOffset + 4 * i, system_.extendedDelay[i]);
    }
    for (size_t i = 0; i < system_.remoteRelayCards.size(); ++i) {
        b.PutI32(kRelayCardsOffset + 4 * i, system_.remoteRelayCards[i]);
    }
    b.PutI32(kQuadMadisOffset, system_.quadMadis);
    b.PutI32(kFrameRateOffset, system_.frameRateCode);
    b.PutI32(kDelayShiftOffset, system_.delayShift);
    b.PutI32(kInputUnitsOffset, inputUnits_);
    b.PutI32(kOutputUnitsOffset, outputUnits_);
    const size_t counts[5] = {inputPorts_.size(), outputPorts_.size(), inputSrc_.size(),
                              outputSrc_.size(), masters_.size()};
    for (size_t i = 0; i < 5; ++i) {
        b.PutU32(kCountsOffset + 4 * i, static_cast<uint32_t>(counts[i]));
    }
    size_t at = kRecordsOffset;
    for (const PortMap* map : {&inputPorts_, &outputPorts_}) {
        for (const auto& [key, port] : *map) {
            io::WritePortRecord(b, at, key, port);
            at += io::kPortRecordSize;
        }
    }
    for (const SrcMap* map : {&inputSrc_, &outputSrc_}) {
        for (const auto& [key, src] : *map) {
            io::WriteSrcRecord(b, at, key, src);
            at += io::kPortRecordSize;
        }
    }
    for (const auto& [master, group] : masters_) {
        io::WriteGroupRecord(b, at, master, group);
        at += io::kGroupRecordSize;
    }
    return b;
}

const PortRecord* IOConfigImage::Find(const StructIOSearch& port, int side) const {
    const PortMap& map = Ports(side);
    const auto it = map.find(PortKey::Of(port));
    return it == map.end() ? nullptr : &it->second;
}

PortRecord& IOConfigImage::Edit(const StructIOSearch& port, int side) {
    return EditPorts(side)[PortKey::Of(port)];
}

bool IOConfigImage::GetName(const StructIOSearch& port, std::string& out, int side) const {
    return CopyName(Find(port, side), &PortRecord::name, out);
}

bool IOConfigImage::GetName2(const StructIOSearch& port, std::string& out, int side) const {
    return CopyName(Find(port, side), &PortRecord::name2, out);
}

bool IOConfigImage::GetScribble(const StructIOSearch& port, std::string& out, int side) const {
    return CopyName(Find(port, side), &PortRecord::scribble, out);
}

bool IOConfigImage::GetNames(const StructIOSearch& port, std::string& name, std::string& name2,
                             std::string& scribble, int side) const {
    const PortRecord* record = Find(port, side);
    return CopyField(record, &PortRecord::name, name) &&
           CopyField(record, &PortRecord::name2, name2) &&
           CopyField(record, &PortRecord::scribble, scribble);
}

bool IOConfigImage::GetNumber(const StructIOSearch& port, int& out, int side) const {
    return CopyField(Find(port, side), &PortRecord::number, out);
}

bool IOConfigImage::GetDither(const StructIOSearch& port, int& out, int side) const {
    return CopyField(Find(port, side), &PortRecord::dither, out);
}

bool IOConfigImage::GetRelay(const StructIOSearch& port, int& out, int side) const {
    return CopyField(Find(port, side), &PortRecord::relay, out);
}

bool IOConfigImage::GetStereo(const StructIOSearch& port, int& out, int side) const {
    return CopyField(Find(port, side), &PortRecord::stereo, out);
}

bool IOConfigImage::GetDelay(const StructIOSearch& port, int& out, int side) const {
    const PortRecord* record = Find(port, side);
    if (record == nullptr) {
        return false;
    }
    out = std::max(record->delay, 0);
    if (out > 0) {
        out = ConvertDelayFromSamples(out, side);
    }
    return true;
}

bool IOConfigImage::GetSRCMode(const StructIOSearch& port, int& out, int side) const {
    return CopySrcField(Srcs(side), PortKey::Of(port), &SrcRecord::mode, out);
}

bool IOConfigImage::GetSRCState(const StructIOSearch& port, int& out, int side) const {
    return CopySrcField(Srcs(side), PortKey::Of(port), &SrcRecord::state, out);
}

bool IOConfigImage::GetAll(const StructIOSearch& port, PortRecord& out, int side) const {
    const PortRecord* record = Find(port, side);
    if (record == nullptr) {
        return false;
    }
    out = *record;
    return true;
}

bool IOConfigImage::IsRelayInUse(const StructIOSearch& port, int relay, int side) const {
    if (relay == 0) {
        return false;
    }
    const PortKey self = PortKey::Of(port);
    for (const int s : {1, 0}) {
        for (const auto& [key, record] : Ports(s)) {
            const bool isSelf = key == self && (s != 0) == (side != 0);
            if (!isSelf && record.relay == relay) {
                return true;
            }
        }
    }
    return false;
}

void IOConfigImage::SetName(const StructIOSearch& port, std::string_view text, int side) {
    Edit(port, side).name = text;
}

void IOConfigImage::SetName2(const StructIOSearch& port, std::string_view text, int side) {
    Edit(port, side).name2 = text;
}

void IOConfigImage::SetScribble(const StructIOSearch& port, std::string_view text, int side) {
    Edit(port, side).scribble = text;
}

void IOConfigImage::SetNumber(const StructIOSearch& port, int value, int side) {
    Edit(port, side).number = value;
}

void IOConfigImage::SetDither(const StructIOSearch& port, int value, int side) {
    Edit(port, side).dither = value;
}

void IOConfigImage::SetDelay(const StructIOSearch& port, int value, int side) {
    Edit(port, side).delay = ConvertDelayFromUnits(value, side);
}

void IOConfigImage::SetRelay(const StructIOSearch& port, int value, int side) {
    Edit(port, side).relay = value;
}

void IOConfigImage::SetStereo(const StructIOSearch& port, int value, int side) {
    StructIOSearch partner = port;
    partner.port ^= 1;
    Edit(port, side).stereo = value;
    Edit(partner, side).stereo = value;
}

void IOConfigImage::SetSRCMode(const StructIOSearch& port, int value, int side) {
    EditSrcs(side)[PortKey::Of(port)].mode = value;
}

void IOConfigImage::SetSRCState(const StructIOSearch& port, int value, int side) {
    EditSrcs(side)[PortKey::Of(port)].state = value;
}

void IOConfigImage::Clear(const StructIOSearch& port, int side) {
    EditPorts(side).erase(PortKey::Of(port));
}

void IOConfigImage::ClearSRC(const StructIOSearch& port, int side) {
    EditSrcs(side).erase(PortKey::Of(port));
}

void IOConfigImage::Clear() {
    inputPorts_.clear();
    outputPorts_.clear();
    inputSrc_.clear();
    outputSrc_.clear();
    masters_.clear();
    members_.clear();
}

int IOConfigImage::GetRemoteRelays() const {
    int64_t cards = 0;
    for (const int32_t count : system_.remoteRelayCards) {
        cards += count;
    }
    return static_cast<int>(std::clamp<int64_t>(cards * kRelaysPerCard, INT32_MIN, INT32_MAX));
}

}  // namespace rookclient::model

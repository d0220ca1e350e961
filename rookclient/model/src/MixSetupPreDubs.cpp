// Pre-dubs, stems and the fader bank map of the mix setup.
//
// Pre-dub rules: a pre-dub folds channels (type 0 paths) down onto its master, the pre-dub
// master path of the same number (type 12). A channel feeds at most one pre-dub and each
// pre-dub holds at most eight. The 48 pre-dubs lie in three zones of 16; a zone whose byte is
// 255 is closed (the console has no such zone) and takes no members. The master's processing
// is the members' processes in the order they first appear, at most 11; process 26 (DRC)
// beside another dynamics process makes a master the desk cannot run safely.
#include <algorithm>

#include "rookclient/model/MixSetupImage.h"

namespace rookclient::model {

namespace {

constexpr int kChannelsType = 0;
constexpr int kPreDubMastersType = 12;
constexpr uint8_t kDrc = 26;
constexpr uint8_t kZoneClosed = 255;

bool IsOtherDynamics(uint8_t code) {
    return code == 8 || code == 9 || code == 10;
}

}  // namespace

// ---- pre-dubs

void MixSetupImage::SetPreDubZones(uint8_t first, uint8_t second, uint8_t third) {
    preDubZones_ = {first, second, third};
}

int MixSetupImage::GetPreDubZone(int predub) const {
    return predub >= 0 && predub < kPreDubs ? predub / kPreDubsPerZone : -1;
}

bool MixSetupImage::IsInPreDubZone(int predub) const {
    const int zone = GetPreDubZone(predub);
    return zone >= 0 && preDubZones_[static_cast<size_t>(zone)] != kZoneClosed;
}

bool MixSetupImage::IsPreDubable(int path) const {
    return GetPathType(path) == kChannelsType && IsPathInPreDub(path) < 0;
}

int MixSetupImage::IsPathInPreDub(int path) const {
    if (path == kNoPath) {
        return -1;
    }
    for (size_t d = 0; d < kPreDubs; ++d) {
        const auto& entries = preDubs_[d];
        if (std::find(entries.begin(), entries.end(), path) != entries.end()) {
            return static_cast<int>(d);
        }
    }
    return -1;
}

bool MixSetupImage::AddPathToPreDub(int predub, int path) {
    if (!IsInPreDubZone(predub) || !IsPreDubable(path)) {
        return false;
    }
    auto& entries = preDubs_[static_cast<size_t>(predub)];
    const auto free = std::find(entries.begin(), entries.end(), kNoPath);
    if (free == entries.end()) {
        return false;
    }
    *free = path;
    CreatePredubMasterProcesses(predub);
    return true;
}

bool MixSetupImage::RemovePathFromPreDub(int predub, int path) {
    if (predub < 0 || predub >= kPreDubs || path == kNoPath) {
        return false;
    }
    auto& entries = preDubs_[static_cast<size_t>(predub)];
    const auto it = std::find(entries.begin(), entries.end(), path);
    if (it == entries.end()) {
        return false;
    }
    *it = kNoPath;
    CreatePredubMasterProcesses(predub);
    return true;
}

std::vector<int> MixSetupImage::GetPreDubContents(int predub) const {
    std::vector<int> paths;
    if (predub >= 0 && predub < kPreDubs) {
        for (int32_t entry : preDubs_[static_cast<size_t>(predub)]) {
            if (entry != kNoPath) {
                paths.push_back(entry);
            }
        }
    }
    return paths;
}

int MixSetupImage::GetNumberOfPathsInPreDub(int predub) const {
    return static_cast<int>(GetPreDubContents(predub).size());
}

std::vector<int> MixSetupImage::GetListOfPredubs() const {
    std::vector<int> used;
    for (int d = 0; d < kPreDubs; ++d) {
        if (GetNumberOfPathsInPreDub(d) > 0) {
            used.push_back(d);
        }
    }
    return used;
}

// Packing keeps every pre-dub's number (its master is bound to it) and orders its members by
// path number, the empty entries last.
void MixSetupImage::PackPreDubs() {
    for (int d = 0; d < kPreDubs; ++d) {
        std::vector<int> members = GetPreDubContents(d);
        std::sort(members.begin(), members.end());
        auto& entries = preDubs_[static_cast<size_t>(d)];
        entries.fill(kNoPath);
        std::copy(members.begin(), members.end(), entries.begin());
    }
}

int MixSetupImage::GetPreDubMaster(int predub) const {
    if (predub < 0 || predub >= GetNum(kPreDubMastersType)) {
        return -1;
    }
    const int master = GetOffset(kPreDubMastersType) + predub;
    return ValidPath(master) ? master : -1;
}

bool MixSetupImage::VerifyPredubDynamics(int predub) const {
    bool drc = false;
    bool other = false;
    for (int path : GetPreDubContents(predub)) {
        for (uint8_t code : GetProcList(path)) {
            drc = drc || code == kDrc;
            other = other || IsOtherDynamics(code);
        }
    }
    return !(drc && other);
}

bool MixSetupImage::CreatePredubMasterProcesses(int predub) {
    if (const int master = GetPreDubMaster(predub); master >= 0) {
        std::vector<uint8_t> codes;
        for (int path : GetPreDubContents(predub)) {
            for (uint8_t code : GetDisplayProcList(path)) {
                if (std::find(codes.begin(), codes.end(), code) == codes.end()) {
                    codes.push_back(code);
                }
            }
        }
        SetProcList(master, codes);
    }
    return VerifyPredubDynamics(predub);
}

// ---- stems

uint8_t& MixSetupImage::StemByte(int stem, int path) {
    return stems_[static_cast<size_t>(stem * kStemBytes + path / 8)];
}

bool MixSetupImage::AddToStem(int stem, int path) {
    if (stem < 0 || stem >= kStems || !ValidPath(path)) {
        return false;
    }
    StemByte(stem, path) |= static_cast<uint8_t>(1 << (path % 8));
    return true;
}

void MixSetupImage::ClearStem(int stem) {
    if (stem >= 0 && stem < kStems) {
        std::fill_n(stems_.begin() + stem * kStemBytes, kStemBytes, uint8_t{0});
    }
}

void MixSetupImage::ClearAllStems() {
    stems_.fill(0);
}

bool MixSetupImage::IsInStem(int stem, int path) const {
    if (stem < 0 || stem >= kStems || path < 0 || path >= kStemBytes * 8) {
        return false;
    }
    return (stems_[static_cast<size_t>(stem * kStemBytes + path / 8)] >> (path % 8)) & 1;
}

std::vector<int> MixSetupImage::GetStemContents(int stem) const {
    std::vector<int> paths;
    for (int path = 0; path < kStemBytes * 8; ++path) {
        if (IsInStem(stem, path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

// ---- channel map

namespace {
bool ValidSlot(int bank, int part, int slot) {
    return bank >= 0 && bank < MixSetupImage::kBanks && part >= 0 &&
           part < MixSetupImage::kBankParts && slot >= 0 && slot < MixSetupImage::kBankSlots;
}
size_t SlotIndex(int bank, int part, int slot) {
    return (static_cast<size_t>(bank) * MixSetupImage::kBankParts + static_cast<size_t>(part)) *
               MixSetupImage::kBankSlots +
           static_cast<size_t>(slot);
}
}  // namespace

int MixSetupImage::GetChannelMapPath(int bank, int part, int slot) const {
    return ValidSlot(bank, part, slot) ? channelMap_[SlotIndex(bank, part, slot)] : kNoPath;
}

void MixSetupImage::SetChannelMapPath(int bank, int part, int slot, int path) {
    if (ValidSlot(bank, part, slot)) {
        channelMap_[SlotIndex(bank, part, slot)] = ValidPath(path) ? path : kNoPath;
    }
}

std::vector<int> MixSetupImage::GetChannelMapBankPaths(int bank, int part) const {
    std::vector<int> paths;
    for (int slot = 0; slot < kBankSlots && ValidSlot(bank, part, slot); ++slot) {
        paths.push_back(GetChannelMapPath(bank, part, slot));
    }
    return paths;
}

void MixSetupImage::SetChannelMapBankPaths(int bank, int part, std::span<const int> paths) {
    for (int slot = 0; slot < kBankSlots; ++slot) {
        SetChannelMapPath(
            bank, part, slot,
            static_cast<size_t>(slot) < paths.size() ? paths[static_cast<size_t>(slot)] : kNoPath);
    }
}

std::string MixSetupImage::GetChannelMapPathName(int bank, int part, int slot) const {
    return GetName(GetChannelMapPath(bank, part, slot), false);
}

void MixSetupImage::ClearChannelMap() {
    std::fill(channelMap_.begin(), channelMap_.end(), kNoPath);
}

void MixSetupImage::ClearChannelMapPath(int path) {
    std::replace(channelMap_.begin(), channelMap_.end(), path, kNoPath);
}

bool MixSetupImage::FindPathInChannelMap(int path, int& bank, int& part, int& slot) const {
    const auto it = std::find(channelMap_.begin(), channelMap_.end(), path);
    if (path == kNoPath || it == channelMap_.end()) {
        return false;
    }
    const auto index = static_cast<int>(it - channelMap_.begin());
    bank = index / (kBankParts * kBankSlots);
    part = index / kBankSlots % kBankParts;
    slot = index % kBankSlots;
    return true;
}

bool MixSetupImage::FindPathInDifferentBankPart(int path, int bank, int part) const {
    for (int b = 0; b < kBanks; ++b) {
        for (int p = 0; p < kBankParts; ++p) {
            if (b == bank && p == part) {
                continue;
            }
            const auto paths = GetChannelMapBankPaths(b, p);
            if (path != kNoPath && std::find(paths.begin(), paths.end(), path) != paths.end()) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace rookclient::model

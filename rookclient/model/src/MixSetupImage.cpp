#include "rookclient/model/MixSetupImage.h"

#include <algorithm>
#include <numeric>

namespace rookclient::model {

namespace {

constexpr size_t kShortNamesAt = 16;
constexpr size_t kShortNameSlot = 5;
constexpr size_t kShortNameWidth = 4;
constexpr size_t kLongNamesAt = 2516;
constexpr size_t kLongNameSlot = 201;
constexpr size_t kSetupNameAt = 103016;
constexpr size_t kMsuNameAt = 103217;
constexpr size_t kMsuNameWidth = 206;  // 103217 .. 103424, terminator included
constexpr size_t kCountsAt = 103424;
constexpr size_t kAuxLayoutAt = 103476;
constexpr size_t kChannelMapAt = 103496;
constexpr size_t kProcsAt = 118856;
constexpr size_t kPathWordsAt = 140856;
constexpr size_t kStemsAt = 141856;
constexpr size_t kSetupValuesAt = 144504;
constexpr size_t kPreDubsAt = 144512;
constexpr size_t kExternalAt = 146292;
constexpr size_t kSoloInhibitAt = 146308;
constexpr size_t kDisabledAt = 146808;
constexpr size_t kAutomatedAt = 147308;
constexpr size_t kFirstFilmIndexAt = 147876;
constexpr size_t kPathValuesAt = 147880;
constexpr size_t kPriorityAt = 149880;
constexpr size_t kBankNamesAt = 150380;
constexpr size_t kBankNameSlot = 28;
constexpr size_t kDeskSetupTypeAt = 150548;
constexpr size_t kMixMinusAt = 150552;
constexpr size_t kSecondFilmIndexAt = 150556;
constexpr size_t kFilmDataAt = 150560;
constexpr size_t kRequestNameWidth = 200;
constexpr size_t kRequestValueAt = 106912;
constexpr size_t kNameWidth = 200;  // 201-byte fields, always terminated

// Position of each type in the global numbering: channels, tracks, groups, mains, auxes,
// cues, listens, talkbacks, sels, externals, films, film listens, predub masters.
constexpr int kOrder[MixSetupImage::kTypes] = {0, 2, 3, 4, 6, 7, 8, 1, 5, 9, 10, 11, 12};

constexpr size_t kChannelMapSize =
    size_t{MixSetupImage::kBanks} * MixSetupImage::kBankParts * MixSetupImage::kBankSlots;

}  // namespace

MixSetupImage::MixSetupImage(int consoleType, int maxPaths)
    : consoleType_(consoleType),
      maxPaths_(std::clamp(maxPaths, 0, kBlockPaths)),
      paths_(kBlockPaths),
      channelMap_(kChannelMapSize, kNoPath),
      links_(kLinks) {
    for (auto& list : defaultProcs_) {
        list.fill(kNoProcess);
    }
    for (auto& predub : preDubs_) {
        predub.fill(kNoPath);
    }
    // Pre-dubs live on the film consoles (types 3, 5 and 7); elsewhere every zone is closed.
    const bool film = consoleType == 3 || consoleType == 5 || consoleType == 7;
    preDubZones_.fill(film ? 0 : 255);
}

MixSetupImage::MixPath* MixSetupImage::At(int path) {
    return ValidPath(path) ? &paths_[static_cast<size_t>(path)] : nullptr;
}

const MixSetupImage::MixPath* MixSetupImage::At(int path) const {
    return ValidPath(path) ? &paths_[static_cast<size_t>(path)] : nullptr;
}

bool MixSetupImage::OnLinkIn(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.HasAtLeast(kBlockSize)) {
        return false;
    }
    for (int t = 0; t < kTypes; ++t) {
        counts_[static_cast<size_t>(t)] = static_cast<int>(std::min<uint32_t>(
            r.U32(kCountsAt + 4 * static_cast<size_t>(t)), static_cast<uint32_t>(maxPaths_)));
    }
    for (int p = 0; p < maxPaths_; ++p) {
        const auto i = static_cast<size_t>(p);
        MixPath& path = paths_[i];
        const std::string_view shortName =
            r.Text(kShortNamesAt + kShortNameSlot * i, kShortNameWidth);
        if (!shortName.empty()) {
            path.shortName = shortName;
            path.longName = r.Text(kLongNamesAt + kLongNameSlot * i, kLongNameSlot);
        }
        for (size_t s = 0; s < kProcSlots; ++s) {
            path.procs[s] = r.U8(kProcsAt + (i * kProcSlots + s) * 4);
        }
        path.word = r.U16(kPathWordsAt + 2 * i);
        path.soloInhibit = r.U8(kSoloInhibitAt + i);
        path.disabled = r.U8(kDisabledAt + i);
        path.automated = r.U8(kAutomatedAt + i);
        path.priority = r.U8(kPriorityAt + i);
        path.value = r.I32(kPathValuesAt + 4 * i);
        for (size_t b = 0; b < path.film.size(); ++b) {
            path.film[b] = r.U8(kFilmDataAt + 8 * i + b);
        }
    }
    for (int t = 0; t < kTypes; ++t) {
        for (int n = 1; n <= GetNum(t); ++n) {
            MixPath* path = At(GetOffset(t) + n - 1);
            if (path && path->shortName == "????") {
                path->shortName = path->longName = GetDefaultName(t, n);
            }
        }
    }
    mixSetupName_ = r.Text(kSetupNameAt, kLongNameSlot);
    msuName_ = r.Text(kMsuNameAt, kMsuNameWidth + 1);
    for (size_t i = 0; i < auxLayout_.size(); ++i) {
        auxLayout_[i] = r.U32(kAuxLayoutAt + 4 * i);
        externalBreakdown_[i] = r.U32(kExternalAt + 4 * i);
    }
    for (size_t i = 0; i < kChannelMapSize; ++i) {
        channelMap_[i] = r.I32(kChannelMapAt + 4 * i);
    }
    for (size_t i = 0; i < stems_.size(); ++i) {
        stems_[i] = r.U8(kStemsAt + i);
    }
    setupValues_ = {r.U32(kSetupValuesAt), r.U32(kSetupValuesAt + 4)};
    for (size_t d = 0; d < kPreDubs; ++d) {
        for (size_t e = 0; e < kPreDubEntries; ++e) {
            preDubs_[d][e] = r.I32(kPreDubsAt + (d * kPreDubEntries + e) * 4);
        }
    }
    for (size_t b = 0; b < kBanks; ++b) {
        bankNames_[b] = r.Text(kBankNamesAt + kBankNameSlot * b, kBankNameSlot);
    }
    filmIndex_ = {r.I32(kFirstFilmIndexAt), r.I32(kSecondFilmIndexAt)};
    deskSetupType_ = r.U32(kDeskSetupTypeAt);
    numMixMinus_ = static_cast<int>(std::min<uint32_t>(r.U32(kMixMinusAt), kBlockPaths));
    DecodeLinks(r);
    return notifyWindow_ != 0;
}

CommsBlock MixSetupImage::Encode(uint32_t command, WindowHandle window) const {
    CommsBlock block(command, kBlockSize, window);
    for (size_t i = 0; i < kBlockPaths; ++i) {
        const MixPath& path = paths_[i];
        block.PutText(kShortNamesAt + kShortNameSlot * i, kShortNameWidth, path.shortName);
        block.PutText(kLongNamesAt + kLongNameSlot * i, kNameWidth, path.longName);
        for (size_t s = 0; s < kProcSlots; ++s) {
            block.PutU8(kProcsAt + (i * kProcSlots + s) * 4, path.procs[s]);
        }
        block.PutU16(kPathWordsAt + 2 * i, path.word);
        block.PutU8(kSoloInhibitAt + i, path.soloInhibit);
        block.PutU8(kDisabledAt + i, path.disabled);
        block.PutU8(kAutomatedAt + i, path.automated);
        block.PutU8(kPriorityAt + i, path.priority);
        block.PutI32(kPathValuesAt + 4 * i, path.value);
        block.PutBytes(kFilmDataAt + 8 * i, path.film);
    }
    block.PutText(kSetupNameAt, kNameWidth, mixSetupName_);
    block.PutText(kMsuNameAt, kMsuNameWidth, msuName_);
    for (size_t t = 0; t < kTypes; ++t) {
        block.PutU32(kCountsAt + 4 * t, static_cast<uint32_t>(counts_[t]));
    }
    for (size_t i = 0; i < auxLayout_.size(); ++i) {
        block.PutU32(kAuxLayoutAt + 4 * i, auxLayout_[i]);
        block.PutU32(kExternalAt + 4 * i, externalBreakdown_[i]);
    }
    for (size_t i = 0; i < kChannelMapSize; ++i) {
        block.PutI32(kChannelMapAt + 4 * i, channelMap_[i]);
    }
    block.PutBytes(kStemsAt, stems_);
    block.PutU32(kSetupValuesAt, setupValues_[0]);
    block.PutU32(kSetupValuesAt + 4, setupValues_[1]);
    for (size_t d = 0; d < kPreDubs; ++d) {
        for (size_t e = 0; e < kPreDubEntries; ++e) {
            block.PutI32(kPreDubsAt + (d * kPreDubEntries + e) * 4, preDubs_[d][e]);
        }
    }
    for (size_t b = 0; b < kBanks; ++b) {
        block.PutText(kBankNamesAt + kBankNameSlot * b, kBankNameSlot - 1, bankNames_[b]);
    }
    block.PutI32(kFirstFilmIndexAt, filmIndex_[0]);
    block.PutI32(kSecondFilmIndexAt, filmIndex_[1]);
    block.PutU32(kDeskSetupTypeAt, deskSetupType_);
    block.PutU32(kMixMinusAt, static_cast<uint32_t>(numMixMinus_));
    EncodeLinks(block);
    return block;
}

CommsBlock MixSetupImage::Get(std::string_view name, int32_t value) {
    CommsBlock block(kGet, kRequestBlockSize);
    block.PutText(16, kRequestNameWidth, name);
    block.PutI32(kRequestValueAt, value);
    return block;
}

CommsBlock MixSetupImage::LoadProcessList(std::string_view name, int32_t value) {
    CommsBlock block(kLoadProcessList, kRequestBlockSize);
    block.PutText(16, kRequestNameWidth, name);
    block.PutI32(kRequestValueAt, value);
    return block;
}

CommsBlock MixSetupImage::Create(std::string_view msuName, WindowHandle window) {
    notifyWindow_ = window;
    msuName_ = msuName;
    return Encode(kCreate, window);
}

CommsBlock MixSetupImage::Save(std::string_view name, WindowHandle window) {
    notifyWindow_ = window;
    CommsBlock block = Encode(kSave, window);
    block.PutText(kSetupNameAt, kNameWidth, name);
    return block;
}

// ---- counts and global numbering

int MixSetupImage::GetNum(int type) const {
    if (type == kSubsType) {
        return GetNumSubs();
    }
    return type >= 0 && type < kTypes ? counts_[static_cast<size_t>(type)] : 0;
}

int MixSetupImage::GetTotalPaths() const {
    return std::accumulate(counts_.begin(), counts_.end(), 0);
}

// The subs are the path slots that follow the counted paths, up to the path limit.
int MixSetupImage::GetNumSubs() const {
    return std::max(0, maxPaths_ - GetTotalPaths());
}

int MixSetupImage::GetOffset(int type) const {
    if (type == kSubsType) {
        return GetTotalPaths();
    }
    if (type < 0 || type >= kTypes) {
        return 0;
    }
    int offset = 0;
    for (int t = 0; t < kTypes; ++t) {
        if (kOrder[t] < kOrder[type]) {
            offset += counts_[static_cast<size_t>(t)];
        }
    }
    return offset;
}

int MixSetupImage::GetPathType(int path) const {
    for (int t = 0; t < kTypes; ++t) {
        const int offset = GetOffset(t);
        if (path >= offset && path < offset + GetNum(t)) {
            return t;
        }
    }
    return ValidPath(path) ? kSubsType : -1;
}

template <typename Map>
void MixSetupImage::Renumber(Map move) {
    // A number moved past the setup's paths is dropped like a removed one.
    const auto map = [&](int path) {
        const int to = move(path);
        return ValidPath(to) ? to : kNoPath;
    };
    for (int32_t& slot : channelMap_) {
        if (slot != kNoPath) {
            slot = map(slot);
        }
    }
    for (auto& predub : preDubs_) {
        for (int32_t& entry : predub) {
            if (entry != kNoPath) {
                entry = map(entry);
            }
        }
    }
    for (auto& link : links_) {
        std::vector<int> moved;
        for (int path : link) {
            if (const int to = map(path); to != kNoPath) {
                moved.push_back(to);
            }
        }
        link = moved;
    }
    std::array<uint8_t, kStemBytes * kStems> stems{};
    for (int stem = 0; stem < kStems; ++stem) {
        for (int path : GetStemContents(stem)) {
            if (const int to = map(path); to != kNoPath) {
                stems[static_cast<size_t>(stem * kStemBytes + to / 8)] |=
                    static_cast<uint8_t>(1 << (to % 8));
            }
        }
    }
    stems_ = stems;
}

// Inserts (delta > 0) cleared paths at `at`, or removes (delta < 0) the paths from `at` on.
// A place outside the setup's paths (counts pushed past the path limit put types there) is
// refused.
bool MixSetupImage::Reshape(int type, int at, int delta) {
    if (at < 0 || at > maxPaths_ || (delta < 0 && at - delta > maxPaths_)) {
        return false;
    }
    const auto first = paths_.begin() + at;
    if (delta > 0) {
        paths_.insert(first, static_cast<size_t>(delta), MixPath{});
        paths_.resize(kBlockPaths);
        Renumber([&](int p) { return p >= at ? p + delta : p; });
    } else {
        // Pre-dubs that lose a member get their master rebuilt from those that remain.
        std::vector<int> touched;
        for (int p = at; p < at - delta; ++p) {
            if (const int predub = IsPathInPreDub(p); predub >= 0) {
                touched.push_back(predub);
            }
        }
        paths_.erase(first, first - delta);
        paths_.resize(kBlockPaths);
        Renumber([&](int p) { return p < at ? p : p < at - delta ? kNoPath : p + delta; });
        counts_[static_cast<size_t>(type)] += delta;
        for (int predub : touched) {
            CreatePredubMasterProcesses(predub);
        }
        return true;
    }
    counts_[static_cast<size_t>(type)] += delta;
    for (int i = 0; i < delta; ++i) {
        const int path = at + i;
        ClearPath(path, type);
        paths_[static_cast<size_t>(path)].shortName = paths_[static_cast<size_t>(path)].longName =
            GetDefaultName(type, path - GetOffset(type) + 1);
    }
    return true;
}

bool MixSetupImage::SetNumType(int type, int count) {
    if (type < 0 || type >= kTypes || count < 0) {
        return false;
    }
    const int current = GetNum(type);
    if (GetTotalPaths() - current + count > maxPaths_) {
        return false;
    }
    if (count == current) {
        return true;
    }
    return Reshape(type, GetOffset(type) + std::min(current, count), count - current);
}

bool MixSetupImage::RemoveType(int type, int index) {
    if (type < 0 || type >= kTypes || index < 0 || index >= GetNum(type)) {
        return false;
    }
    return Reshape(type, GetOffset(type) + index, -1);
}

// ---- per-path attributes

namespace {
template <typename Path>
int Read(const Path* path, auto member) {
    return path ? static_cast<int>(path->*member) : 0;
}
// Stores a value into a field of a path that exists, narrowed to the field's width.
template <typename Path, typename Field>
void Write(Path* path, Field Path::*member, int value) {
    if (path) {
        path->*member = static_cast<Field>(value);
    }
}
}  // namespace

int MixSetupImage::GetPriority(int path) const {
    return Read(At(path), &MixPath::priority);
}
void MixSetupImage::SetPriority(int path, int value) {
    Write(At(path), &MixPath::priority, value);
}
int MixSetupImage::GetSoloInhibit(int path) const {
    return Read(At(path), &MixPath::soloInhibit);
}
void MixSetupImage::SetSoloInhibit(int path, int value) {
    Write(At(path), &MixPath::soloInhibit, value);
}
int MixSetupImage::GetDisabled(int path) const {
    return Read(At(path), &MixPath::disabled);
}
void MixSetupImage::SetDisabled(int path, int value) {
    Write(At(path), &MixPath::disabled, value);
}
int MixSetupImage::GetAutomated(int path) const {
    return Read(At(path), &MixPath::automated);
}
void MixSetupImage::SetAutomated(int path, int value) {
    Write(At(path), &MixPath::automated, value);
}
int MixSetupImage::GetSurroundDesignator(int path) const {
    return Read(At(path), &MixPath::word);
}
void MixSetupImage::SetSurroundDesignator(int path, int value) {
    Write(At(path), &MixPath::word, value);
}
int32_t MixSetupImage::GetPathValue(int path) const {
    return Read(At(path), &MixPath::value);
}

int MixSetupImage::GetFilmIndex(int which) const {
    return which == 0 || which == 1 ? filmIndex_[static_cast<size_t>(which)] : 0;
}

void MixSetupImage::SetFilmIndex(int which, int value) {
    if (which == 0 || which == 1) {
        filmIndex_[static_cast<size_t>(which)] = value;
    }
}

MixSetupImage::ProcList MixSetupImage::GetProcList(int path) const {
    const MixPath* p = At(path);
    if (!p) {
        ProcList empty;
        empty.fill(kNoProcess);
        return empty;
    }
    return p->procs;
}

void MixSetupImage::SetProcList(int path, std::span<const uint8_t> codes) {
    if (MixPath* p = At(path)) {
        p->procs.fill(kNoProcess);
        std::copy_n(codes.begin(), std::min<size_t>(codes.size(), kProcSlots), p->procs.begin());
    }
}

std::vector<uint8_t> MixSetupImage::GetDisplayProcList(int path) const {
    std::vector<uint8_t> shown;
    for (uint8_t code : GetProcList(path)) {
        if (code != kNoProcess) {
            shown.push_back(code);
        }
    }
    return shown;
}

int MixSetupImage::GetProcListCount(int path) const {
    return static_cast<int>(GetDisplayProcList(path).size());
}

void MixSetupImage::SetDefaultProcList(int type, std::span<const uint8_t> codes) {
    if (type >= 0 && type < kTypes) {
        ProcList& list = defaultProcs_[static_cast<size_t>(type)];
        list.fill(kNoProcess);
        std::copy_n(codes.begin(), std::min<size_t>(codes.size(), kProcSlots), list.begin());
    }
}

MixSetupImage::ProcList MixSetupImage::GetDefaultProcList(int type) const {
    if (type >= 0 && type < kTypes) {
        return defaultProcs_[static_cast<size_t>(type)];
    }
    ProcList empty;
    empty.fill(kNoProcess);
    return empty;
}

// ---- clearing

void MixSetupImage::ClearPath(int path, int type) {
    MixPath* p = At(path);
    if (!p) {
        return;
    }
    p->procs = GetDefaultProcList(type);
    p->film.fill(0);
    p->word = 0;
    p->soloInhibit = 0;
    p->disabled = 0;
    p->automated = 1;
    p->priority = 0;
    if (const int predub = IsPathInPreDub(path); predub >= 0) {
        CreatePredubMasterProcesses(predub);
    }
}

void MixSetupImage::Clear(int type, int index) {
    if (type < 0 || type > kSubsType || index < 0 || index >= GetNum(type)) {
        return;
    }
    ClearPath(GetOffset(type) + index, type);
}

void MixSetupImage::Clear(int type) {
    for (int i = 0; i < GetNum(type); ++i) {
        Clear(type, i);
    }
}

void MixSetupImage::Clear() {
    paths_.assign(kBlockPaths, MixPath{});
    counts_.fill(0);
    mixSetupName_.clear();
    auxLayout_.fill(0);
    ClearChannelMap();
    ClearAllStems();
    setupValues_.fill(0);
    for (auto& predub : preDubs_) {
        predub.fill(kNoPath);
    }
    externalBreakdown_.fill(0);
    filmIndex_.fill(0);
    for (auto& name : bankNames_) {
        name.clear();
    }
    deskSetupType_ = 0;
    numMixMinus_ = 0;
    for (auto& link : links_) {
        link.clear();
    }
    lastLinkError_ = kNoError;
}

// A design the console can take: no more paths than it holds, and every dynamics link sound.
bool MixSetupImage::IsDeskDesignValid() const {
    if (GetTotalPaths() > maxPaths_) {
        return false;
    }
    for (int link = 0; link < kLinks; ++link) {
        const size_t n = links_[static_cast<size_t>(link)].size();
        if (n == 1 || (n > 1 && LinkError(link) != kNoError)) {
            return false;
        }
    }
    return true;
}

// Each process of each counted path takes one time slot of the console's DSP.
int MixSetupImage::GetTimeslotsUsed() const {
    int slots = 0;
    for (int path = 0; path < std::min(GetTotalPaths(), maxPaths_); ++path) {
        slots += GetProcListCount(path);
    }
    return slots;
}

}  // namespace rookclient::model

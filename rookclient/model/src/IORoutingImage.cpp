#include "rookclient/model/IORoutingImage.h"

#include <algorithm>
#include <cstring>

namespace rookclient::model {

namespace {

constexpr size_t kRacksAt = 16;
constexpr size_t kPathsCountAt = 20;
constexpr size_t kThirdWordAt = 24;
constexpr size_t kPresenceAt = 28032;
constexpr size_t kCardTypesAt = 29040;
constexpr size_t kRackTypesAt = 29376;
constexpr size_t kSrcChannelsAt = 29388;
constexpr size_t kDescriptorsAt = 29436;
constexpr size_t kPathRecordsAt = 31036;
constexpr size_t kPathRecordSize = 20;
constexpr size_t kPathNameAt = 12;
constexpr size_t kOfflineBlockSize = 30336;
constexpr size_t kOfflineNameAt = 573;
constexpr size_t kOfflineNameWidth = 260;  // the next field of this block size is at 833

// Film type by film total code (rows) and position among the film paths (columns).
constexpr int kFilmTypes[5][8] = {{0, 1, 2, 3, 3, 3, 3, 3},
                                  {0, 1, 2, 3, 3, 3, 3, 4},
                                  {0, 1, 2, 3, 3, 3, 4, 4},
                                  {0, 1, 2, 3, 4, 4, 4, 4},
                                  {0, 2, 4, 4, 4, 4, 4, 4}};
// Film total code by number of films, and the number of films a code stands for.
constexpr std::pair<int, int> kFilmCountCodes[] = {{0, 5}, {2, 4}, {4, 3}, {6, 2}, {7, 1}, {8, 0}};
constexpr int kFilmTotals[] = {8, 7, 6, 4, 2};

constexpr int kOutputGroups[] = {1, 2, 4, 6};
constexpr int kInputGroups[] = {0, 3, 5};
constexpr int kSelPathType = 6;

// Where route entry (path, group, leg) sits in a block's routing table.
constexpr size_t RouteOffset(size_t path, size_t group, size_t leg) {
    return IORoutingImage::kRoutingTableAt +
           ((path * IORoutingImage::kGroups + group) * IORoutingImage::kLegs + leg) * 4;
}

void Copy(const BlockReader& r, size_t offset, void* target, size_t size) {
    const auto bytes = r.Bytes(offset, size);
    if (bytes.size() == size) {
        std::memcpy(target, bytes.data(), size);
    }
}

}  // namespace

bool IORoutingImage::OnLinkIn(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (onlineMode_ == 0 || !r.HasAtLeast(kBlockSize)) {
        return false;
    }
    // Counts beyond the image's capacity are cut to it rather than read past the tables.
    numRacks_ = static_cast<int>(std::min<uint32_t>(r.U32(kRacksAt), kMaxRacks));
    numPaths_ = static_cast<int>(std::min<uint32_t>(r.U32(kPathsCountAt), kMaxPaths));
    thirdWord_ = r.U32(kThirdWordAt);
    for (size_t p = 0; p < kMaxPaths; ++p) {
        for (size_t g = 0; g < kGroups; ++g) {
            for (size_t e = 0; e < kLegs; ++e) {
                const size_t at = RouteOffset(p, g, e);
                routes_[p][g][e] = {r.U8(at), r.U8(at + 1), r.U8(at + 2), r.U8(at + 3)};
            }
        }
    }
    fmdiMode_ = r.I32(kFmdiModeAt);
    Copy(r, kPresenceAt, presence_, sizeof presence_);
    Copy(r, kCardTypesAt, cardTypes_, sizeof cardTypes_);
    Copy(r, kRackTypesAt, rackTypes_, sizeof rackTypes_);
    for (size_t i = 0; i < kMaxRacks; ++i) {
        srcChannels_[i] = r.U32(kSrcChannelsAt + 4 * i);
    }
    for (size_t t = 0; t < kRackTypes; ++t) {
        for (size_t s = 0; s < kSlots; ++s) {
            const size_t at = kDescriptorsAt + (t * kSlots + s) * 20;
            descriptors_[t][s] = {
                r.U32(at), r.U32(at + 4), r.U32(at + 8), {r.U32(at + 12), r.U32(at + 16)}};
        }
    }
    int films = 0;
    firstFilmPath_ = 0;
    for (size_t p = 0; p < kMaxPaths; ++p) {
        const size_t at = kPathRecordsAt + kPathRecordSize * p;
        paths_[p] = {r.U8(at) != 0, r.I32(at + 8),
                     std::string(r.Text(at + kPathNameAt, kPathRecordSize - kPathNameAt))};
        if (static_cast<int>(p) < numPaths_ && paths_[p].type == kFilmPathType) {
            if (films++ == 0) {
                firstFilmPath_ = static_cast<int>(p);
            }
        }
    }
    SetNumberOfFilms(films);
    return numPaths_ != 0;
}

CommsBlock IORoutingImage::IOAttach(WindowHandle window) {
    clientWindow_ = window;
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock IORoutingImage::OfflineIOAttach(std::string_view name, WindowHandle window) {
    clientWindow_ = window;
    CommsBlock block(kOfflineAttach, kOfflineBlockSize);
    block.PutText(kOfflineNameAt, kOfflineNameWidth, name);
    return block;
}

CommsBlock IORoutingImage::SetIORouting() const {
    CommsBlock block(kSetIORouting, kBlockSize, clientWindow_);
    block.PutU32(kPathsCountAt, static_cast<uint32_t>(numPaths_));
    for (size_t p = 0; p < kMaxPaths; ++p) {
        for (size_t g = 0; g < kGroups; ++g) {
            for (size_t e = 0; e < kLegs; ++e) {
                const RouteEntry& x = routes_[p][g][e];
                const uint8_t bytes[4] = {x.rack, x.card, x.port, x.routed};
                block.PutBytes(RouteOffset(p, g, e), bytes);
            }
        }
    }
    return block;
}

std::optional<CommsBlock> IORoutingImage::SetIORoute(RouteEntry route, int group, int path,
                                                     int entry) {
    if (onlineMode_ == 0) {
        if (path >= 0 && path < kMaxPaths && group >= 0 && group < kGroups && entry >= 0 &&
            entry < kLegs) {
            routes_[static_cast<size_t>(path)][static_cast<size_t>(group)]
                   [static_cast<size_t>(entry)] = route;
        }
        return std::nullopt;
    }
    CommsBlock block(kSetIORoute, 32, clientWindow_);
    block.PutI32(16, path);
    block.PutI32(20, group);
    const uint8_t bytes[4] = {route.rack, route.card, route.port, route.routed};
    block.PutBytes(24, bytes);
    block.PutI32(28, entry);
    return block;
}

std::optional<CommsBlock> IORoutingImage::SetFMDIMode(int mode) {
    if (mode == fmdiMode_) {
        return std::nullopt;
    }
    fmdiMode_ = mode;
    CommsBlock block(kSetFMDIMode, kBlockSize, clientWindow_);
    block.PutI32(kFmdiModeAt, mode);
    return block;
}

CommsBlock IORoutingImage::FlushRouting() {
    return CommsBlock(kFlushRouting, kHeaderSize);
}

const RouteEntry* IORoutingImage::Route(int path, int group, int entry) const {
    if (path < 0 || path >= numPaths_ || group < 0 || group >= kGroups || entry < 0 ||
        entry >= kLegs) {
        return nullptr;
    }
    return &routes_[static_cast<size_t>(path)][static_cast<size_t>(group)]
                   [static_cast<size_t>(entry)];
}

std::string IORoutingImage::GetPathName(int path) const {
    return path >= 0 && path < numPaths_ ? paths_[static_cast<size_t>(path)].name : std::string();
}

int IORoutingImage::GetPathType(int path) const {
    return path >= 0 && path < numPaths_ ? paths_[static_cast<size_t>(path)].type : -1;
}

bool IORoutingImage::IsPathStereo(int path) const {
    if (path < 0 || path >= numPaths_) {
        return false;
    }
    if (fmdiMode_ == 3 && GetPathType(path) == kFilmPathType && GetFilmType(path) == 1) {
        return true;
    }
    return paths_[static_cast<size_t>(path)].stereo;
}

bool IORoutingImage::NeedsStereoPair(int path) const {
    const int filmType = GetFilmType(path);
    return GetPathType(path) == kFilmPathType && (filmType == 0 || filmType == 2);
}

int IORoutingImage::GetFilmType(int path) const {
    const int column = path - firstFilmPath_;
    if (filmTotalCode_ < 0 || filmTotalCode_ > 4 || column < 0 || column > 7) {
        return -1;
    }
    return kFilmTypes[filmTotalCode_][column];
}

int IORoutingImage::GetIntFilmTotal() const {
    return filmTotalCode_ >= 0 && filmTotalCode_ <= 4 ? kFilmTotals[filmTotalCode_] : 0;
}

void IORoutingImage::SetNumberOfFilms(int count) {
    for (const auto& [films, code] : kFilmCountCodes) {
        if (films == count) {
            filmTotalCode_ = code;
        }
    }
}

// A path outside the film slots (film type -1) has no film inserts to route.
bool IORoutingImage::IsFilmInsertRoutable(int path, int kind) const {
    const int filmType = GetFilmType(path);
    if (onlineMode_ == 0 || filmType < 0 || filmType == 4) {
        return false;
    }
    bool first = false;
    bool second = false;
    if (fmdiMode_ == 1) {
        first = second = true;
    } else if (fmdiMode_ == 3) {
        second = filmType == 1;
    }
    switch (kind) {
        case 3:
            return second;
        case 4:
            return first;
        case 5:
            return fmdiMode_ != 3 && second;
        default:
            return false;
    }
}

bool IORoutingImage::AnyUse(int rack, int card, int port, std::span<const int> groups,
                            bool skipSels, std::vector<int>* list, int* where) const {
    for (int entry = 0; entry < kLegs; ++entry) {
        for (int path = 0; path < numPaths_; ++path) {
            if (skipSels && GetPathType(path) == kSelPathType) {
                continue;
            }
            for (int group : groups) {
                if (!Route(path, group, entry)->Is(rack, card, port)) {
                    continue;
                }
                const int use = group * 65536 + path;
                if (where) {
                    *where = use;
                    return true;
                }
                list->push_back(use);
            }
        }
    }
    return list && !list->empty();
}

bool IORoutingImage::IsOutputInUse(int rack, int card, int port, int& where) const {
    where = -1;
    return AnyUse(rack, card, port, kOutputGroups, false, nullptr, &where);
}

bool IORoutingImage::IsInputInUse(int rack, int card, int port, std::vector<int>& list) const {
    list.clear();
    return AnyUse(rack, card, port, kInputGroups, true, &list, nullptr);
}

bool IORoutingImage::IsInputInUse(const StructIOSearch& search, std::vector<int>& list) const {
    return IsInputInUse(search.rack, search.card, search.port, list);
}

bool IORoutingImage::IsInputInUse(StructIOSearch& search, std::vector<int>& list, int& pair) const {
    if (IsInputInUse(search, list)) {
        return true;
    }
    search.port = search.port % 2 != 0 ? search.port - 1 : search.port + 1;
    if (IsInputInUse(search, list)) {
        pair = 1;
        return true;
    }
    return false;
}

}  // namespace rookclient::model

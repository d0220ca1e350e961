#include "rookclient/model/CurrentConsoleSetupImage.h"

#include <console/ConsoleSettings.h>

#include <algorithm>
#include <numeric>

#include "rookclient/model/PathNaming.h"

namespace rookclient::model {

namespace {

constexpr size_t kSetupNameOffset = 16;
constexpr size_t kTypeCountOffset = 216;
constexpr size_t kPathMapOffset = 220;
constexpr size_t kNameCountOffset = 272;
constexpr size_t kLinkCountOffset = 276;
constexpr size_t kNamesOffset = 280;
// No console has more paths than every type at its largest.
constexpr int32_t kMaxGlobalPath = kPathTypeCount * int32_t{CurrentConsoleSetupImage::kMaxPaths};

int ConsoleTypeForNames() {
    ReadConsoleSettings();  // a no-op after the first call in the process
    return static_cast<int>(GetConsoleSettings().VantorConsoleType);
}

}  // namespace

bool CurrentConsoleSetupImage::Decode(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.HasAtLeast(kNamesOffset)) {
        return false;
    }
    const uint32_t types = r.U32(kTypeCountOffset);
    const uint32_t names = r.U32(kNameCountOffset);
    const uint32_t links = r.U32(kLinkCountOffset);
    if (types > kPathTypeCount || names > kMaxPaths || links > kMaxLinks ||
        !r.HasAtLeast(kNamesOffset + names * kPathNameWidth)) {
        return false;
    }
    std::vector<int> pathMap;
    for (uint32_t t = 0; t < types; ++t) {
        const int32_t total = r.I32(kPathMapOffset + 4 * t);
        if (total < 0 || total > static_cast<int32_t>(kMaxPaths)) {
            return false;
        }
        pathMap.push_back(total);
    }
    std::vector<std::string> pathNames;
    for (uint32_t i = 0; i < names; ++i) {
        pathNames.emplace_back(r.Text(kNamesOffset + i * kPathNameWidth, kPathNameWidth));
    }
    std::vector<std::vector<int32_t>> linkRecords;
    size_t at = kNamesOffset + names * kPathNameWidth;
    for (uint32_t l = 0; l < links; ++l) {
        const uint32_t count = r.U32(at);
        if (!r.HasAtLeast(at + 4) || count > kMaxLinkedPaths ||
            !r.HasAtLeast(at + 4 + 4 * size_t{count})) {
            return false;
        }
        std::vector<int32_t>& record = linkRecords.emplace_back();
        for (uint32_t k = 0; k < count; ++k) {
            const int32_t path = r.I32(at + 4 + 4 * k);
            if (path < 0 || path >= kMaxGlobalPath) {
                return false;
            }
            record.push_back(path);
        }
        at += 4 + 4 * size_t{count};
    }
    mixSetup_ = std::string(r.Text(kSetupNameOffset, kSetupNameWidth));
    pathMap_ = std::move(pathMap);
    pathNames_ = std::move(pathNames);
    links_ = std::move(linkRecords);
    return true;
}

CommsBlock CurrentConsoleSetupImage::Encode() const {
    const size_t types = std::min(pathMap_.size(), size_t{kPathTypeCount});
    const size_t names = std::min(pathNames_.size(), kMaxPaths);
    const size_t links = std::min(links_.size(), kMaxLinks);
    size_t size = kNamesOffset + names * kPathNameWidth;
    for (size_t l = 0; l < links; ++l) {
        size += 4 + 4 * std::min(links_[l].size(), kMaxLinkedPaths);
    }
    CommsBlock b(kAttachCommand, size);
    b.PutText(kSetupNameOffset, kSetupNameWidth, mixSetup_);
    b.PutU32(kTypeCountOffset, static_cast<uint32_t>(types));
    for (size_t t = 0; t < types; ++t) {
        b.PutI32(kPathMapOffset + 4 * t, pathMap_[t]);
    }
    b.PutU32(kNameCountOffset, static_cast<uint32_t>(names));
    b.PutU32(kLinkCountOffset, static_cast<uint32_t>(links));
    for (size_t i = 0; i < names; ++i) {
        b.PutText(kNamesOffset + i * kPathNameWidth, kPathNameWidth, pathNames_[i]);
    }
    size_t at = kNamesOffset + names * kPathNameWidth;
    for (size_t l = 0; l < links; ++l) {
        const size_t count = std::min(links_[l].size(), kMaxLinkedPaths);
        b.PutU32(at, static_cast<uint32_t>(count));
        for (size_t k = 0; k < count; ++k) {
            b.PutI32(at + 4 + 4 * k, links_[l][k]);
        }
        at += 4 + 4 * count;
    }
    return b;
}

int CurrentConsoleSetupImage::GetTypeTotal(int type) const {
    if (type < 0 || static_cast<size_t>(type) >= pathMap_.size()) {
        return 0;
    }
    return pathMap_[static_cast<size_t>(type)];
}

int CurrentConsoleSetupImage::GetTotalPaths() const {
    return std::accumulate(pathMap_.begin(), pathMap_.end(), 0);
}

int CurrentConsoleSetupImage::GetOffset(int type) const {
    const int order = PathTypeOrder(type);
    if (order < 0) {
        return 0;
    }
    int offset = 0;
    for (int t = 0; t < kPathTypeCount; ++t) {
        if (PathTypeOrder(t) < order) {
            offset += GetTypeTotal(t);
        }
    }
    return offset;
}

int CurrentConsoleSetupImage::GetPathType(int path) const {
    for (int type = 0; type < kPathTypeCount; ++type) {
        const int first = GetOffset(type);
        if (first <= path && path < first + GetTypeTotal(type)) {
            return type;
        }
    }
    return -1;
}

std::string CurrentConsoleSetupImage::GetPathName(int path) const {
    if (path < 0 || static_cast<size_t>(path) >= pathNames_.size()) {
        return "????";
    }
    return pathNames_[static_cast<size_t>(path)];
}

void CurrentConsoleSetupImage::GetNamesOfType(int type, std::vector<std::string>& names,
                                              std::vector<int>& paths) const {
    names.clear();
    paths.clear();
    const int first = GetOffset(type);
    for (int i = 0; i < GetTypeTotal(type); ++i) {
        names.push_back(GetPathName(first + i));
        paths.push_back(first + i);
    }
}

std::string CurrentConsoleSetupImage::GetDefaultName(int type, int number) const {
    const int consoleType = type == kGroups ? ConsoleTypeForNames() : 0;
    return DefaultPathName(type, number, consoleType);
}

void CurrentConsoleSetupImage::GetDefaultName(int path, std::string& out) const {
    const int type = GetPathType(path);
    out = type < 0 ? std::string{} : GetDefaultName(type, path - GetOffset(type) + 1);
}

int CurrentConsoleSetupImage::GetDynamicsLink(int type, int link, std::vector<int>& paths) const {
    paths.clear();
    if (link < 0 || static_cast<size_t>(link) >= links_.size()) {
        return 0;
    }
    const std::vector<int32_t>& record = links_[static_cast<size_t>(link)];
    if (!record.empty() && GetPathType(record.front()) != type) {
        return 0;
    }
    const int first = GetOffset(type);
    for (const int32_t path : record) {
        paths.push_back(path - first);
    }
    return static_cast<int>(paths.size());
}

}  // namespace rookclient::model

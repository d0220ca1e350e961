// Dynamics links of the mix setup: paths whose dynamics move together. A link holds mono
// paths with consecutive numbers that carry the same dynamics processes in the same order.
#include <algorithm>

#include "rookclient/model/MixSetupImage.h"

namespace rookclient::model {

namespace {

constexpr size_t kChainAt = 142504;
constexpr uint8_t kMonoInput = 19;
constexpr uint8_t kStereoProcess = 20;

bool IsDynamics(uint8_t code) {
    return code == 8 || code == 9 || code == 10 || code == 26;
}

bool IsUnlinkable(uint8_t code) {
    return code == 23 || code == 27;
}

}  // namespace

std::string_view MixSetupImage::DynamicsLinkErrorText(int error) {
    switch (error) {
        case kNoError:
            return "No Error";
        case kNoDynamics:
            return "The selected path has no dynamics.";
        case kInAnotherLink:
            return "The selected path is in another link.";
        case kStereo:
            return "The selected path is stereo.\nYou can only link mono paths.";
        case kNotContiguous:
            return "The paths in a link must be contiguous.";
        case kDifferentDynamics:
            return "The selected path has different dynamics.\nThe dynamics must be the same in "
                   "all the linked paths.";
        case kUnlinkableDynamics:
            return "The selected path contains dynamics that can not be linked.";
        default:
            return "Unknown Error";
    }
}

// The error of a link as it stands, kNoError when it verifies; an empty link verifies.
int MixSetupImage::LinkError(int link) const {
    std::vector<uint8_t> first;
    bool firstPath = true;
    for (int path : links_[static_cast<size_t>(link)]) {
        std::vector<uint8_t> dynamics;
        for (uint8_t code : GetProcList(path)) {
            if (code == kStereoProcess) {
                return kStereo;
            }
            if (IsUnlinkable(code)) {
                return kUnlinkableDynamics;
            }
            if (IsDynamics(code)) {
                dynamics.push_back(code);
            }
        }
        if (firstPath) {
            if (dynamics.empty()) {
                return kNoDynamics;
            }
            first = dynamics;
            firstPath = false;
        } else if (dynamics != first) {
            return kDifferentDynamics;
        }
    }
    return kNoError;
}

bool MixSetupImage::VerifyDynamicsLink(int link) {
    if (link < 0 || link >= kLinks) {
        lastLinkError_ = kBadLinkArgument;
        return false;
    }
    const int error = LinkError(link);
    if (error != kNoError) {
        lastLinkError_ = error;
        return false;
    }
    return true;
}

bool MixSetupImage::VerifyDynamicsLinks(int clear) {
    bool allPassed = true;
    for (int link = 0; link < kLinks; ++link) {
        auto& paths = links_[static_cast<size_t>(link)];
        const bool single = paths.size() == 1;
        const bool passed = !single && VerifyDynamicsLink(link);
        if (!passed) {
            allPassed = false;
            if (clear != 0 || single) {
                paths.clear();
            }
        }
    }
    return allPassed;
}

bool MixSetupImage::LinkContiguousWith(int link, int path) const {
    std::vector<int> paths = links_[static_cast<size_t>(link)];
    paths.push_back(path);
    std::sort(paths.begin(), paths.end());
    return std::adjacent_find(paths.begin(), paths.end(),
                              [](int a, int b) { return b != a + 1; }) == paths.end();
}

// A path that fails verification after joining is taken out again, so that a link never
// holds paths whose dynamics differ; the error says why.
bool MixSetupImage::AddPathToDynamicsLink(int link, int type, int index) {
    const int path = GetOffset(type) + index;
    if (link < 0 || link >= kLinks || type < 0 || type >= kTypes || index < 0 ||
        index >= GetNum(type) || !ValidPath(path)) {
        lastLinkError_ = kBadLinkArgument;
        return false;
    }
    auto& paths = links_[static_cast<size_t>(link)];
    if (std::find(paths.begin(), paths.end(), path) != paths.end()) {
        lastLinkError_ = kNoError;
        return true;
    }
    const ProcList procs = GetProcList(path);
    int error = kNoError;
    if (std::none_of(procs.begin(), procs.end(), IsDynamics)) {
        error = kNoDynamics;
    } else if (IsDynamicsLinked(path)) {
        error = kInAnotherLink;
    } else if (procs[0] != kMonoInput) {
        error = kStereo;
    } else if (!LinkContiguousWith(link, path) || paths.size() >= kMaxLinkPaths) {
        error = kNotContiguous;
    }
    if (error != kNoError) {
        lastLinkError_ = error;
        return false;
    }
    paths.insert(std::upper_bound(paths.begin(), paths.end(), path), path);
    if (!VerifyDynamicsLink(link)) {
        paths.erase(std::find(paths.begin(), paths.end(), path));
        return false;
    }
    lastLinkError_ = kNoError;
    return true;
}

void MixSetupImage::ClearDynamicsLink(int link) {
    if (link >= 0 && link < kLinks) {
        links_[static_cast<size_t>(link)].clear();
    }
}

std::vector<int> MixSetupImage::GetDynamicsLink(int link) const {
    return link >= 0 && link < kLinks ? links_[static_cast<size_t>(link)] : std::vector<int>{};
}

bool MixSetupImage::IsDynamicsLinked(int path) const {
    return std::any_of(links_.begin(), links_.end(), [path](const std::vector<int>& link) {
        return std::find(link.begin(), link.end(), path) != link.end();
    });
}

int MixSetupImage::GetNextDynamicsLinkNumber() const {
    for (int link = 0; link < kLinks; ++link) {
        if (links_[static_cast<size_t>(link)].empty()) {
            return link;
        }
    }
    return -1;
}

int MixSetupImage::GetLinkedDynamicsIcon(int path) const {
    for (const auto& link : links_) {
        const auto it = std::find(link.begin(), link.end(), path);
        if (it == link.end()) {
            continue;
        }
        if (it == link.begin()) {
            return 1;
        }
        return it + 1 == link.end() ? 3 : 2;
    }
    return 0;
}

// The chain: each linked path holds the next path of its link, the last path of a link the
// link's first path, an unlinked path its own number. Walking the paths in rising order, a
// path that does not hold its own number joins the current link, and one that points back
// closes it. A link still open at the end keeps the paths it collected.
void MixSetupImage::DecodeLinks(const BlockReader& r) {
    for (auto& link : links_) {
        link.clear();
    }
    size_t current = 0;
    for (int path = 0; path < maxPaths_ && current < kLinks; ++path) {
        const uint32_t next = r.U32(kChainAt + 4 * static_cast<size_t>(path));
        if (next == static_cast<uint32_t>(path)) {
            continue;
        }
        if (links_[current].size() < kMaxLinkPaths) {
            links_[current].push_back(path);
        }
        if (next < static_cast<uint32_t>(path)) {
            ++current;
        }
    }
}

void MixSetupImage::EncodeLinks(CommsBlock& block) const {
    for (size_t path = 0; path < kBlockPaths; ++path) {
        block.PutU32(kChainAt + 4 * path, static_cast<uint32_t>(path));
    }
    for (const auto& link : links_) {
        for (size_t i = 0; i < link.size(); ++i) {
            if (link[i] < 0 || link[i] >= kBlockPaths) {
                continue;
            }
            const int next = i + 1 < link.size() ? link[i + 1] : link[0];
            block.PutI32(kChainAt + 4 * static_cast<size_t>(link[i]), next);
        }
    }
}

}  // namespace rookclient::model

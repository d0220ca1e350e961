// Walking, naming and describing the ports of the routing image's I/O racks.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rookclient/model/IORoutingImage.h"

namespace rookclient::model {

namespace {

constexpr const char* kSlotNames[IORoutingImage::kSlots][IORoutingImage::kSides] = {
    {"lin", "LIN", "lin"},
    {"aes", "AES", "aes"},
    {"aft", "AFT", "aft"},
    {"sdf", "SDF", "sdf"},
    {"mad", "MAD", "mad"}};
constexpr std::string_view kCardNames[] = {"No Card", "Analogue Card", "AES Card", "Optical Card",
                                           "MADI Card"};
constexpr size_t kNameField = 29;
constexpr int kMonoInStereoOutType = 5;

}  // namespace

std::string_view StructIOSearch::Text() const {
    return {text, strnlen(text, sizeof text)};
}

void StructIOSearch::SetLabel(std::string_view label) {
    std::memset(text, 0, sizeof text);
    std::memcpy(text, label.data(), std::min(label.size(), sizeof text));
}

const IORoutingImage::SlotDescriptor* IORoutingImage::Slot(int rack, int slot) const {
    if (rack < 0 || rack >= numRacks_ || slot < 0 || slot >= kSlots) {
        return nullptr;
    }
    const uint8_t type = rackTypes_[rack];
    return type < kRackTypes ? &descriptors_[type][slot] : nullptr;
}

int IORoutingImage::PairCount(int rack, int slot, int side) const {
    const SlotDescriptor* d = Slot(rack, slot);
    if (!d) {
        return 0;
    }
    const uint32_t count = side == 1 ? d->outputPairs : d->inputPairs;
    return static_cast<int>(std::min<uint32_t>(count, kPairsPerRack));
}

// A pair of a slot; pairs that would lie outside the rack's 28 are never present.
bool IORoutingImage::Present(int rack, int side, int pair) const {
    if (side < 0 || side >= kSides || pair < 0 || pair >= kPairsPerRack) {
        return false;
    }
    return presence_[rack][side][pair] != 0;
}

// The first present port from (rack, slot, port), stepping by `step` inside a slot, then the
// later slots from port 0, then the later racks from slot 0.
bool IORoutingImage::Scan(StructIOSearch& search, int rack, int slot, int64_t port,
                          int step) const {
    step = std::max(step, 1);
    for (int r = std::max(rack, 0); r < numRacks_; ++r) {
        if (r != rack) {
            slot = 0;
            port = 0;
        }
        for (int k = std::max(slot, 0); k < kSlots; ++k, port = 0) {
            const SlotDescriptor* d = Slot(r, k);
            const int64_t ports = 2 * int64_t{PairCount(r, k, search.side)};
            for (int64_t p = std::max<int64_t>(port, 0); p < ports; p += step) {
                const int64_t pair = int64_t{d->firstPair} + p / 2;
                if (pair < kPairsPerRack && Present(r, search.side, static_cast<int>(pair))) {
                    search.rack = r;
                    search.card = k;
                    search.port = static_cast<int32_t>(p);
                    GetName(search);
                    return true;
                }
            }
        }
    }
    return false;
}

bool IORoutingImage::GetFirstRack(StructIOSearch& search) const {
    search.rack = -1;
    return GetNextRack(search);
}

bool IORoutingImage::GetNextRack(StructIOSearch& search) const {
    return Scan(search, search.rack + 1, 0, 0, 2);
}

bool IORoutingImage::GetNextPort(StructIOSearch& search) const {
    return Scan(search, search.rack, search.card + 1, 0, 2);
}

bool IORoutingImage::GetNextIO(StructIOSearch& search, int step) const {
    return Scan(search, search.rack, search.card, int64_t{search.port} + std::max(step, 1), step);
}

bool IORoutingImage::GetNextIOForAllocation(StructIOSearch& search) const {
    const bool stereo = IsPathStereo(search.path);
    if (stereo && search.port % 2 != 0) {
        --search.port;
    } else if (!stereo && search.port % 2 == 0 && IsPathStereo(search.path + 1)) {
        ++search.port;
    }
    return GetNextIO(search, stereo ? 2 : 1);
}

void IORoutingImage::WalkSide(std::vector<StructIOSearch>& list, int32_t tag, int side) const {
    list.clear();
    StructIOSearch search;
    search.path = tag;
    search.side = side;
    for (bool found = GetFirstRack(search); found; found = GetNextIO(search, 1)) {
        list.push_back(search);
    }
}

void IORoutingImage::GetInputNames(std::vector<StructIOSearch>& list, int32_t tag) const {
    WalkSide(list, tag, 0);
}

void IORoutingImage::GetOutputNames(std::vector<StructIOSearch>& list, int32_t tag) const {
    WalkSide(list, tag, 1);
}

void IORoutingImage::GetMikeLineNames(std::vector<StructIOSearch>& list, int32_t tag) const {
    WalkSide(list, tag, 2);
}

bool IORoutingImage::StereoForNaming(int path, int side) const {
    if (path < 0) {
        return path == -2;
    }
    if (GetPathType(path) == kMonoInStereoOutType) {
        if (side == 0) {
            return false;
        }
        if (side == 1) {
            return true;
        }
    }
    if (side == 1 && fmdiMode_ == 3 && GetPathType(path) == kFilmPathType &&
        GetFilmType(path) == 1) {
        return false;
    }
    return IsPathStereo(path);
}

void IORoutingImage::GetName(StructIOSearch& search) const {
    std::memset(search.text, 0, kNameField);
    if (search.side < 0 || search.side >= kSides || search.card < 0 || search.card >= kSlots) {
        return;
    }
    const bool stereo = StereoForNaming(search.path, search.side);
    const int port = search.port;
    const bool odd = port % 2 != 0;
    char portText[32];
    if (search.card <= 1) {
        if (stereo) {
            std::snprintf(portText, sizeof portText, odd ? "%d BA" : "%d AB", port / 2 + 1);
        } else {
            std::snprintf(portText, sizeof portText, "%d %c", port / 2 + 1, odd ? 'B' : 'A');
        }
    } else if (stereo) {
        std::snprintf(portText, sizeof portText, "%d %d", port + 1, odd ? port : port + 2);
    } else {
        std::snprintf(portText, sizeof portText, "%d", port + 1);
    }
    const std::string name = std::to_string(search.rack + 1) + " " +
                             kSlotNames[search.card][search.side] + " " + portText;
    std::memcpy(search.text, name.data(), std::min(name.size(), kNameField - 1));
}

std::string IORoutingImage::GetName(int path, int side, int rack, int card, int port) const {
    StructIOSearch search;
    search.path = path;
    search.side = side;
    search.rack = rack;
    search.card = card;
    search.port = port;
    GetName(search);
    return std::string(search.Text());
}

bool IORoutingImage::RouteToSearch(int path, int group, int side, StructIOSearch& search,
                                   int entry) const {
    const RouteEntry* route = Route(path, group, entry);
    if (!route) {
        return false;
    }
    search.path = path;
    search.side = side;
    search.rack = route->rack;
    search.card = route->card;
    search.port = route->port;
    GetName(search);
    return route->routed == 1;
}

bool IORoutingImage::GetInput(int path, StructIOSearch& search, int entry) const {
    return RouteToSearch(path, 0, 0, search, entry);
}

bool IORoutingImage::GetOutput(int path, int output, StructIOSearch& search, int entry) const {
    return output >= 0 && output <= 1 && RouteToSearch(path, 1 + output, 1, search, entry);
}

bool IORoutingImage::GetInsertInput(int path, int insert, StructIOSearch& search, int entry) const {
    return insert >= 0 && insert <= 1 && RouteToSearch(path, 3 + 2 * insert, 0, search, entry);
}

bool IORoutingImage::GetInsertOutput(int path, int insert, StructIOSearch& search,
                                     int entry) const {
    return insert >= 0 && insert <= 1 && RouteToSearch(path, 4 + 2 * insert, 1, search, entry);
}

int IORoutingImage::GetCard(const StructIOSearch& search) const {
    const SlotDescriptor* d = Slot(search.rack, search.card);
    if (!d || search.port < 0) {
        return 0;
    }
    const uint64_t pair = uint64_t{d->firstPair} + static_cast<uint64_t>(search.port / 2);
    if (pair >= kPairsPerRack) {
        return 0;
    }
    const int type = cardTypes_[search.rack][pair];
    return type < 5 ? type : 0;
}

int IORoutingImage::GetCard(const StructIOSearch& search, std::string& name) const {
    const int type = GetCard(search);
    name = std::string(CardName(type));
    return type;
}

std::string_view IORoutingImage::CardName(int cardType) {
    return cardType >= 0 && cardType < 5 ? kCardNames[cardType] : kCardNames[0];
}

bool IORoutingImage::GetSRCChannels(const StructIOSearch& search, int& count) const {
    if (search.rack < 0 || search.rack >= numRacks_) {
        return false;
    }
    count = static_cast<int>(srcChannels_[search.rack]);
    return true;
}

}  // namespace rookclient::model

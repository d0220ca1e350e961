// Hostile pushed blocks for the mix setup, I/O routing, Nexus stream map and studio
// configuration decoders. The input is spread over a block of the decoder's size (repeated),
// so that every field takes fuzzed values; the control byte decides whether the stated size
// is made true and whether the block is cut short. A block that is not sound must change
// nothing; a sound one must decode, answer every query inside the image, and survive a round
// trip through its own encoding.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rookclient/model/IORoutingImage.h"
#include "rookclient/model/MixSetupImage.h"
#include "rookclient/model/NexusRoutingMap.h"

using namespace rookclient::model;

namespace {

std::vector<uint8_t> Spread(const uint8_t* data, size_t size, size_t length, uint8_t control) {
    std::vector<uint8_t> block(length);
    for (size_t at = 0; at < length; at += size) {
        std::memcpy(block.data() + at, data, std::min(size, length - at));
    }
    if (control & 1) {
        const auto stated = static_cast<uint32_t>(length);
        for (size_t b = 0; b < 4 && 8 + b < length; ++b) {
            block[8 + b] = static_cast<uint8_t>(stated >> (8 * b));
        }
    }
    if (control & 2) {
        block.resize(length - 1 - data[0] % 64 % length);
    }
    return block;
}

std::vector<uint8_t> Bytes(const CommsBlock& block) {
    return {block.Bytes().begin(), block.Bytes().end()};
}

void MixSetup(const std::vector<uint8_t>& block, const uint8_t* data, size_t size) {
    MixSetupImage setup(data[0] % 8, data[0] & 0x80 ? 500 : 256);
    if (!BlockReader(block).HasAtLeast(MixSetupImage::kBlockSize)) {
        const std::vector<uint8_t> before = Bytes(setup.Encode(22, 0));
        setup.OnLinkIn(block);
        if (Bytes(setup.Encode(22, 0)) != before) {
            std::abort();  // an unsound block changed the image
        }
    } else {
        setup.OnLinkIn(block);
    }
    const std::vector<uint8_t> once = Bytes(setup.Encode(57, 0));
    MixSetupImage again(data[0] % 8, data[0] & 0x80 ? 500 : 256);
    again.OnLinkIn(once);
    if (Bytes(again.Encode(57, 0)) != once) {
        std::abort();  // decode and encode disagree
    }
    const int arg = size > 2 ? static_cast<int8_t>(data[2]) * 4 : 0;
    for (int path = -2; path < setup.MaxPaths() + 2; path += 7) {
        setup.GetPathType(path);
        setup.GetLinkedDynamicsIcon(path);
        setup.IsPathInPreDub(path);
        setup.GetDisplayProcList(path);
    }
    setup.AddPathToDynamicsLink(arg % 101, arg % 14, arg);
    setup.VerifyDynamicsLinks(arg & 1);
    setup.AddPathToPreDub(arg % 49, arg);
    setup.PackPreDubs();
    for (int d = 0; d < MixSetupImage::kPreDubs; ++d) {
        setup.CreatePredubMasterProcesses(d);
    }
    setup.SetNumType(arg % 13, arg % 300);
    setup.RemoveType(arg % 13, arg % 20);
    setup.Clear(13, arg);
    setup.IsDeskDesignValid();
    setup.GetTimeslotsUsed();
}

void Routing(const std::vector<uint8_t>& block, const uint8_t* data, size_t size) {
    IORoutingImage image;
    image.OnLinkIn(block);
    const int arg = size > 3 ? data[3] : 0;
    for (int side = 0; side < 3; ++side) {
        std::vector<StructIOSearch> list;
        image.GetInputNames(list, arg - 3);
        image.GetOutputNames(list, arg);
        image.GetMikeLineNames(list, -2);
        StructIOSearch s;
        s.side = side;
        s.path = arg;
        // The users of the first ports only: each search scans the whole routing table.
        int searched = 0;
        for (bool more = image.GetFirstRack(s); more; more = image.GetNextIOForAllocation(s)) {
            std::string card;
            image.GetCard(s, card);
            if (searched++ < 8) {
                int pair = 0;
                std::vector<int> users;
                image.IsInputInUse(s, users, pair);
            }
        }
    }
    int where = 0;
    image.IsOutputInUse(arg % 13, arg % 5, arg, where);
    for (int path = -3; path < 505; path += 3) {
        image.IsFilmInsertRoutable(path, arg % 7);
        image.NeedsStereoPair(path);
        image.GetName(path, path % 4, path % 13, path % 6, path);
    }
    image.SetIORouting();
}

void Nexus(const std::vector<uint8_t>& block) {
    NexusRoutingMap map;
    if (!map.OnLinkIn(block)) {
        if (!map.Streams().empty()) {
            std::abort();
        }
        return;
    }
    NexusRoutingMap copy;
    if (!copy.OnLinkIn(map.MapBlock().Bytes()) || copy.Streams() != map.Streams()) {
        std::abort();
    }
    StudioConfigLinkIn(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t control = data[1];
    switch (control >> 2 & 3) {
        case 0:
            MixSetup(Spread(data, size, MixSetupImage::kBlockSize, control), data, size);
            break;
        case 1:
            Routing(Spread(data, size, IORoutingImage::kBlockSize, control), data, size);
            break;
        default:
            Nexus(Spread(data, size, std::min<size_t>(size, 4096) + 16, control));
            break;
    }
    return 0;
}

// Pushed blocks of any content for the console setup, I/O configuration and machine control
// images: a decoder either refuses a block and keeps its image, or takes it; a taken image
// answers every question without reading outside itself, and encodes to a block that decodes
// to the same image again.
#include <rookclient/model/CurrentConsoleSetupImage.h>
#include <rookclient/model/IOConfigImage.h>
#include <rookclient/model/McsImage.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace rookclient::model;

namespace {

void Require(bool ok) {
    if (!ok) {
        std::abort();
    }
}

std::vector<uint8_t> Bytes(const CommsBlock& block) {
    return {block.Bytes().begin(), block.Bytes().end()};
}

template <typename Image>
void RequireStableRoundTrip(const Image& image) {
    const std::vector<uint8_t> first = Bytes(image.Encode());
    Image again;
    Require(again.Decode(first));
    Require(Bytes(again.Encode()) == first);
}

void Exercise(const CurrentConsoleSetupImage& image) {
    const int total = image.GetTotalPaths();
    for (int path = -2; path <= total + 2; ++path) {
        const int type = image.GetPathType(path);
        Require(type >= -1 && type < 13);
        image.GetPathName(path);
        std::string name;
        if (type != 1) {  // group names read the console settings; covered elsewhere
            image.GetDefaultName(path, name);
        }
    }
    std::vector<std::string> names;
    std::vector<int> paths;
    for (int type = -1; type <= 13; ++type) {
        image.GetNamesOfType(type, names, paths);
        for (int link = -1; link <= 100; ++link) {
            Require(image.GetDynamicsLink(type, link, paths) == static_cast<int>(paths.size()));
        }
    }
    RequireStableRoundTrip(image);
}

StructIOSearch PortFrom(const uint8_t* data, size_t size, size_t at) {
    StructIOSearch port;
    int32_t* words[] = {&port.path, &port.side, &port.rack, &port.card, &port.port};
    for (size_t i = 0; i < 5; ++i) {
        *words[i] = at + i < size ? static_cast<int8_t>(data[at + i]) : 0;
    }
    std::string label;
    for (size_t i = 0; i < 12 && at + 5 + i < size; ++i) {
        label.push_back(static_cast<char>(data[at + 5 + i]));
    }
    port.SetText(label);
    return port;
}

void Exercise(IOConfigImage& image, const uint8_t* data, size_t size) {
    RequireStableRoundTrip(image);
    for (const int side : {0, 1}) {
        image.GetMaxDelay(side);
        for (int card = -1; card <= 4; ++card) {
            image.GetMaxDelay(card, side);
        }
        for (const auto& [key, port] : image.Ports(side)) {
            StructIOSearch search;
            search.rack = key.word2;
            search.card = key.word3;
            search.port = key.word4;
            std::string name, name2, text;
            image.GetSplitUserName(search, name, name2, text, 1, side);
            image.GetFullUserName(search, text, 0, side);
            image.GetMaxDelay(search, side);
            int delay = 0;
            image.GetDelay(search, delay, side);
            image.ConvertDelayFromUnits(port.delay, side);
            image.IsRelayInUse(search, port.relay, side);
        }
    }
    // Group edits driven by the block's own bytes keep the groups well formed.
    for (size_t at = 0; at + 40 <= size && at < 400; at += 40) {
        const StructIOSearch a = PortFrom(data, size, at);
        const StructIOSearch b = PortFrom(data, size, at + 20);
        switch (data[at] % 4) {
            case 0:
                image.AddPortToGroup(a, b);
                break;
            case 1:
                image.RemovePortFromGroup(a);
                break;
            case 2:
                image.ClearGroup(a);
                break;
            default:
                image.AddPortToGroup(a);
                break;
        }
        std::string name, name2, text;
        image.GetSplitUserName(a, name, name2, text, 0, data[at] & 1);
    }
    for (const auto& [master, group] : image.Groups()) {
        Require(group.count >= 0 && group.count <= 5);
    }
    RequireStableRoundTrip(image);
}

void Exercise(McsImage& image) {
    RequireStableRoundTrip(image);
    for (int index = -1; index <= image.GetNumMachines(); ++index) {
        const uint8_t id = image.GetMachineIDFromIndex(index);
        image.GetMachineName(id);
        image.GetMachineAlias(id);
        image.GetMachineProtocol(id);
        for (int track = -1; track < 254; ++track) {  // 254 and 255 ask the registry
            image.IsTrackReady(id, track);
            image.IsTrackRecording(id, track);
        }
        const bool armed[3] = {true, false, true};
        image.SetTracksReady(id, true, true, armed);
        image.SetAllTracksSafe(id);
        image.SetMachineAlias(id, "renamed machine alias");
        image.AssignMachineToGroup(id, index % 10);
        image.SetMaster(index % 10, id);
        image.DeAssignMachineFromGroup(id, (index + 1) % 10);
    }
    McsImage::GroupSlots slots{};
    for (int group = -1; group <= 9; ++group) {
        image.GetGroupMembers(group, slots);
        image.GetGroupRefMaster(group);
    }
    image.GetGroupLockedReference();
    RequireStableRoundTrip(image);
}

}  // namespace

// First byte: which image (low two bits) and whether the header's size is made to match
// (bit 7), so that most inputs reach past the size check; the rest is the block.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    std::vector<uint8_t> block(data + 1, data + size);
    if ((data[0] & 0x80) && block.size() >= 16) {
        const size_t n = block.size();
        for (size_t i = 0; i < 4; ++i) {
            block[8 + i] = static_cast<uint8_t>(n >> (8 * i));
        }
    }
    switch (data[0] % 3) {
        case 0: {
            CurrentConsoleSetupImage image;
            if (image.Decode(block)) {
                Exercise(image);
            } else {
                Require(image.GetTotalPaths() == 0 && image.GetMixSetup().empty());
            }
            break;
        }
        case 1: {
            IOConfigImage image;
            if (image.Decode(block)) {
                Exercise(image, block.data(), block.size());
            } else {
                Require(image.Ports(1).empty() && image.System().sampleRate == 0);
            }
            break;
        }
        default: {
            McsImage image;
            if (image.Decode(block)) {
                Exercise(image);
            } else {
                Require(image.GetNumMachines() == 0);
            }
            break;
        }
    }
    return 0;
}

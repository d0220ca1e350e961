// The images of the console's layout objects as text, each through the client library's own
// decoder, so that what is shown is what a client would take from the block.
#include <rookclient/ConsoleShape.h>
#include <rookclient/model/CurrentConsoleSetupImage.h>
#include <rookclient/model/DefaultValuesTable.h>
#include <rookclient/model/IOConfigImage.h>
#include <rookclient/model/IORoutingImage.h>
#include <rookclient/model/McsImage.h>
#include <rookclient/model/MixSetupImage.h>

#include "ImageDecoders.h"
#include "ImageText.h"

namespace rookd {
namespace {

using namespace rookclient::model;

// At most this many differences from the built-in defaults are listed.
constexpr int kDefaultValueLinesShown = 200;

// Built by appending: GCC 12 at -O3 mistakes "\"" + std::string(...) for an overlapping copy.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string RouteText(const IORoutingImage& image, int path, int group) {
    std::string text;
    for (int leg = 0; leg < IORoutingImage::kLegs; ++leg) {
        const RouteEntry* route = image.Route(path, group, leg);
        if (route && route->routed == 1) {
            text += Format(" %d.%d.%d", route->rack, route->card, route->port);
            // The input and the two outputs are named as the client names them.
            if (group <= 2) {
                text += ' ';
                text += Quoted(
                    image.GetName(path, group == 0 ? 0 : 1, route->rack, route->card, route->port));
            }
        }
    }
    return text;
}

}  // namespace

std::string ConsoleSetupText(std::span<const uint8_t> block) {
    CurrentConsoleSetupImage image;
    if (!image.Decode(block)) {
        return {};
    }
    std::string text =
        "mix setup " + Quoted(image.GetMixSetup()) + Format(", %d paths\n", image.GetTotalPaths());
    for (int path = 0; path < image.GetTotalPaths(); ++path) {
        text += Format("  path %3d  %-20s %s\n", path, PathTypeName(image.GetPathType(path)),
                       Quoted(image.GetPathName(path)).c_str());
    }
    return text;
}

std::string MixSetupText(std::span<const uint8_t> block) {
    MixSetupImage image(rookclient::ConsoleType(), rookclient::MaxPaths());
    const BlockReader r(block);
    if (!r.HasAtLeast(MixSetupImage::kBlockSize)) {
        return {};
    }
    image.OnLinkIn(block);
    std::string text =
        "MSU " + Quoted(image.GetMSUName()) + Format(", %d paths:", image.GetTotalPaths());
    for (int type = 0; type < MixSetupImage::kTypes; ++type) {
        if (image.GetNum(type) > 0) {
            text += Format(" %d %s", image.GetNum(type), PathTypeName(type));
        }
    }
    text += Format("; %d subs, %d mix-minus outputs\n", image.GetNumSubs(),
                   image.GetNumMixMinusOutputs());
    for (int path = 0; path < image.GetTotalPaths(); ++path) {
        text += Format("  path %3d  %-20s %s %s\n", path, PathTypeName(image.GetPathType(path)),
                       Quoted(image.GetName(path, false)).c_str(),
                       Quoted(image.GetName(path, true)).c_str());
    }
    for (int bank = 0; bank < MixSetupImage::kBanks; ++bank) {
        text += Format("  bank %d %s\n", bank, Quoted(image.GetBankName(bank)).c_str());
    }
    return text;
}

std::string RoutingText(std::span<const uint8_t> block) {
    IORoutingImage image;
    image.SetOnLineMode(1);  // a client decodes pushes only while online
    const BlockReader r(block);
    if (!r.HasAtLeast(IORoutingImage::kBlockSize)) {
        return {};
    }
    image.OnLinkIn(block);
    std::string text = Format(
        "%d paths, %d racks, word @24 %u, FMDI mode %d, film totals %d, first film path %d\n",
        image.GetNumberOfPaths(), image.GetNumberOfRacks(), image.GetThirdWord(),
        image.GetFMDIMode(), image.GetFilmTotals(), image.GetFirstFilmPath());
    for (int path = 0; path < image.GetNumberOfPaths(); ++path) {
        text += Format("  path %3d  %-20s %s%s\n", path, PathTypeName(image.GetPathType(path)),
                       Quoted(image.GetPathName(path)).c_str(),
                       image.IsPathStereo(path) ? " stereo" : "");
        for (int group = 0; group < IORoutingImage::kGroups; ++group) {
            const std::string routes = RouteText(image, path, group);
            if (!routes.empty()) {
                text += Format("    group %d:", group);
                text += routes;
                text += '\n';
            }
        }
    }
    return text;
}

std::string IOConfigText(std::span<const uint8_t> block) {
    IOConfigImage image;
    if (!image.Decode(block)) {
        return {};
    }
    std::string text = "default " + Quoted(image.GetDefault()) + ", current " +
                       Quoted(image.GetCurrent()) + ", on the desk " +
                       Quoted(image.GetCurrentOnDesk()) +
                       Format("; delay units: input %d, output %d\n", image.GetInputDelayUnits(),
                              image.GetOutputDelayUnits());
    for (const int side : {1, 0}) {
        text += Format("%s ports: %zu\n", side ? "input" : "output", image.Ports(side).size());
        for (const auto& [key, port] : image.Ports(side)) {
            text += Format(
                "  rack %d card %d port %d  %s %s %s  number %d dither %d delay %d "
                "relay %d stereo %d\n",
                key.word2, key.word3, key.word4, Quoted(port.name).c_str(),
                Quoted(port.name2).c_str(), Quoted(port.scribble).c_str(), port.number, port.dither,
                port.delay, port.relay, port.stereo);
        }
    }
    return text + Format("port groups: %zu\n", image.Groups().size());
}

std::string MachineControlText(std::span<const uint8_t> block) {
    McsImage image;
    if (!image.Decode(block)) {
        return {};
    }
    std::string text = Format(
        "current group %u (state %u, process %u, cycle mode %u), locked reference %s, %s\n",
        image.GetCurrentGroup(), image.GetCurrentGroupState(), image.GetCurrentGroupProcess(),
        image.GetCurrentGroupCycleMode(), image.GetGroupLockedReference().c_str(),
        image.GetGroupLockedStatus() ? "locked" : "not locked");
    for (int group = 0; group < McsImage::kGroups; ++group) {
        McsImage::GroupSlots slots{};
        image.GetGroupMembers(group, slots);
        std::string members;
        for (const uint8_t id : slots) {
            members += id == 255 ? " -" : Format(" %u", id);
        }
        text += Format("  group %d (master first):", group) + members + "\n";
    }
    for (int index = 0; index < image.GetNumMachines(); ++index) {
        const uint8_t id = image.GetMachineIDFromIndex(index);
        text += Format(
            "  machine %u %s alias %s  %s, port %u, state %u, process %u, record mode "
            "%u\n",
            id, Quoted(image.GetMachineName(id)).c_str(), Quoted(image.GetMachineAlias(id)).c_str(),
            image.GetMachineProtocol(id).c_str(), image.GetMachinePort(id),
            image.GetMachineState(id), image.GetMachineProcess(id), image.GetRecordMode(id));
    }
    return text;
}

std::string DefaultValuesText(std::span<const uint8_t> block) {
    const int consoleType = rookclient::ConsoleType();
    DefaultValuesTable table(consoleType);
    if (!table.Decode(block)) {
        return {};
    }
    namespace dv = default_values;
    const BlockReader r(block);
    std::string text =
        Format("set name @%zu %s, name @%zu %s, words @%zu %d %d %d\n", dv::kSetNameAt,
               Quoted(r.Text(dv::kSetNameAt, dv::kSetNameWidth)).c_str(), dv::kNameAt,
               Quoted(r.Text(dv::kNameAt, dv::kNameWidth)).c_str(), dv::kSecondAt,
               r.I32(dv::kSecondAt), r.I32(dv::kFirstAt), r.I32(dv::kThirdAt));
    const DefaultValuesTable builtIn(consoleType);
    int differences = 0;
    for (int set = 0; set < DefaultValuesTable::kSets; ++set) {
        for (int kind = 0; kind < DefaultValuesTable::kKinds; ++kind) {
            const int modules =
                DefaultValuesTable::kFirstRouteModule + DefaultValuesTable::kRouteModules;
            for (int module = 0; module < modules; ++module) {
                const int controls = module < DefaultValuesTable::kFirstRouteModule
                                         ? DefaultValuesTable::kControls
                                         : DefaultValuesTable::kRouteControls;
                for (int control = 0; control < controls; ++control) {
                    const int16_t value = table.GetValue(set, kind, module, control);
                    const int16_t standard = builtIn.GetValue(set, kind, module, control);
                    if (value != standard && differences++ < kDefaultValueLinesShown) {
                        text +=
                            Format("  set %d kind %2d module %2d control %d: %6d (built in %d)\n",
                                   set, kind, module, control, value, standard);
                    }
                }
            }
        }
    }
    if (differences > kDefaultValueLinesShown) {
        text += Format("  ... %d more\n", differences - kDefaultValueLinesShown);
    }
    return text + Format("%d values differ from the built-in defaults of console type %d\n",
                         differences, consoleType);
}

}  // namespace rookd

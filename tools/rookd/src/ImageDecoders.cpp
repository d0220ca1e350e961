#include "ImageDecoders.h"

#include <rookclient/Proxies.h>
#include <rookclient/ProxyCatalog.h>
#include <rookclient/model/AutomationBlocks.h>
#include <rookclient/model/CommsBlock.h>
#include <rookclient/model/MixPassBlocks.h>
#include <rookclient/model/NexusRoutingMap.h>
#include <rookclient/model/SnapshotBlocks.h>

#include <algorithm>
#include <map>

#include "Blocks.h"
#include "ImageText.h"

namespace rookd {
namespace {

using rookclient::model::BlockReader;
namespace layout = rookclient::layout;

// The list objects share their Copy command (183) and its block size.
constexpr uint32_t kListCopyCommand = 183;
constexpr size_t kListBlockSize = 30336;
constexpr size_t kListReadOnlyOffset = 24336;

// A reader of a block that is whole (its stated size is its real size) and at least `size`
// bytes long, or null.
std::optional<BlockReader> Whole(std::span<const uint8_t> block, size_t size) {
    const BlockReader r(block);
    return r.HasAtLeast(size) ? std::optional<BlockReader>(r) : std::nullopt;
}

std::string MicLineText(std::span<const uint8_t> block) {
    const auto r = Whole(block, kMicLineImageSize);
    if (!r) {
        return {};
    }
    std::string text = "line  phantom  pad  gain  select\n";
    for (int line = 1; line <= kMicLines; ++line) {
        const size_t at = kHeaderSize + 4 * static_cast<size_t>(line - 1);
        text += Format("%4d  %-7s  %3u  %4u  %u\n", line, r->U8(at) == 0 ? "on" : "off",
                       r->U8(at + 1), r->U8(at + 2), r->U8(at + 3));
    }
    return text;
}

std::string ClientMonitorText(std::span<const uint8_t> block) {
    const auto r = Whole(block, kCloseRequestSize);
    return r ? Format("close request, code %u\n", r->U32(16)) : std::string();
}

std::string DeskSizeText(std::span<const uint8_t> block) {
    const auto r = Whole(block, 20);
    return r ? Format("desk size %u\n", r->U32(16)) : std::string();
}

std::string NexusText(std::span<const uint8_t> block) {
    rookclient::model::NexusRoutingMap map;
    if (!map.OnLinkIn(block)) {
        return {};
    }
    std::string text = Format("communication modes %u and %u, %zu mapped streams\n",
                              map.GetCommsMode(0), map.GetCommsMode(1), map.Streams().size());
    for (const auto& [stream, source] : map.Streams()) {
        text += Format("  stream %u <- %u\n", stream, source);
    }
    return text;
}

std::string StudioConfigText(std::span<const uint8_t> block) {
    if (!rookclient::model::StudioConfigLinkIn(block)) {
        return {};
    }
    return "nothing to decode: a push tells clients that the studio configuration changed\n" +
           (block.size() > rookclient::model::kHeaderSize ? HexDump(block, 16) : std::string());
}

// A text field: its offset and its text, or nothing when it is empty.
std::string TextField(const BlockReader& r, const char* label, size_t offset, size_t width) {
    const std::string_view text = r.Text(offset, width);
    return text.empty() ? std::string()
                        : Format("%s @%zu: \"%.*s\"\n", label, offset,
                                 static_cast<int>(text.size()), text.data());
}

std::string SnapshotText(std::span<const uint8_t> block) {
    namespace s = rookclient::model::snapshot;
    const auto r = Whole(block, s::kBlockSize);
    if (!r) {
        return {};
    }
    std::string text = Format("value @16 %d, capture @%zu %d, file option @%zu %d, scope @%zu %d\n",
                              r->I32(16), s::kCaptureAt, r->I32(s::kCaptureAt), s::kFileOptionAt,
                              r->I32(s::kFileOptionAt), s::kScopeAt, r->I32(s::kScopeAt));
    const uint32_t count = r->U32(s::kNameCountAt);
    text += Format("name count @%zu %u\n", s::kNameCountAt, count);
    // Names are shown as far as the count says, and at least the first two slots (a single
    // name, or a rename's old and new name).
    const size_t shown = std::min<size_t>(std::max<uint32_t>(count, 2), s::kMaxNames);
    for (size_t i = 0; i < shown; ++i) {
        text += TextField(*r, Format("name %zu", i).c_str(), s::kNamesAt + s::kNameSlot * i,
                          s::kNameSlot);
    }
    return text;
}

std::string EventText(const BlockReader& r, size_t at) {
    return Format("time %d, path %d, module %u, control %u, value 0x%04x, old 0x%04x, flags %u",
                  r.I32(at + 4), r.I32(at + 12), r.U8(at + 16), r.U8(at + 17), r.U16(at + 20),
                  r.U16(at + 18), r.U32(at + 8));
}

std::string AutomationDataText(std::span<const uint8_t> block) {
    namespace a = rookclient::model::automation_data;
    const auto r = Whole(block, a::kBlockSize);
    if (!r) {
        return {};
    }
    std::string text = Format("filter @%zu 0x%08x\n", a::kFilterAt, r->U32(a::kFilterAt));
    const uint32_t paths = r->U32(a::kPathCountAt);
    text += Format("paths @%zu: %u", a::kPathCountAt, paths);
    for (size_t i = 0; i < std::min<size_t>(paths, a::kMaxPaths); ++i) {
        text += Format(" %d", r->I32(a::kPathsAt + 4 * i));
    }
    text += Format("\ngoto @%zu %d, browse @%zu %d %d\n", a::kGotoAt, r->I32(a::kGotoAt),
                   a::kBrowseAt, r->I32(a::kBrowseAt), r->I32(a::kBrowseAt + 4));
    const uint32_t events = r->U32(a::kCountAt);
    text += Format("events @%zu: %u\n", a::kCountAt, events);
    for (size_t i = 0; i < std::min<size_t>(events, a::kMaxEvents); ++i) {
        text += Format("  %zu: index %d, ", i, r->I32(a::kIndicesAt + 4 * i)) +
                EventText(*r, a::kRecordsAt + rookclient::model::kEventRecordSize * i) + "\n";
    }
    return text;
}

std::string AutomationText(std::span<const uint8_t> block) {
    const auto r = Whole(block, rookclient::model::automation::kBlockSize);
    return r ? Format("control %d %d %d, value %d\n", r->I32(16), r->I32(20), r->I32(24),
                      r->I32(28))
             : std::string();
}

// The watched controls: a text from 16, the count at 220, then three words a control.
std::string MultipleAutomationText(std::span<const uint8_t> block) {
    namespace m = rookclient::model::multiple_automation;
    const auto r = Whole(block, m::kHeadSize);
    if (!r) {
        return {};
    }
    constexpr size_t kControlSize = sizeof(rookclient::model::StructPPPC);
    const uint32_t count = r->U32(m::kCountAt);
    std::string text = TextField(*r, "text", 16, m::kTextWidth) +
                       Format("controls @%zu: %u\n", m::kCountAt, count);
    const size_t held = (r->Size() - m::kHeadSize) / kControlSize;
    for (size_t i = 0; i < std::min<size_t>(count, held); ++i) {
        const size_t at = m::kHeadSize + kControlSize * i;
        text += Format("  %d %d %d\n", r->I32(at), r->I32(at + 4), r->I32(at + 8));
    }
    return text;
}

// The list objects' shared block.
std::string ListText(std::span<const uint8_t> block) {
    const auto r = Whole(block, layout::kLIST_TARGETOffset + layout::kLIST_TARGETWidth);
    if (!r || r->Size() < kListReadOnlyOffset + 4) {
        return {};
    }
    std::string text =
        TextField(*r, "entry", layout::kLIST_ENTRYOffset, layout::kLIST_ENTRYWidth) +
        TextField(*r, "source", layout::kLIST_SOURCEOffset, layout::kLIST_SOURCEWidth) +
        TextField(*r, "target", layout::kLIST_TARGETOffset, layout::kLIST_TARGETWidth);
    return text + Format("read-only @%zu %u\n", kListReadOnlyOffset, r->U32(kListReadOnlyOffset));
}

const std::map<std::string, ImageDecoder, std::less<>> kDecoders = {
    {"MicLineRook", MicLineText},
    {"ClientMonitorRook", ClientMonitorText},
    {"DeskSizeRookObject", DeskSizeText},
    {"Nexus Routing", NexusText},
    {"CStudioConfigRook", StudioConfigText},
    {"SnapshotRook", SnapshotText},
    {"AutomationDataRook", AutomationDataText},
    {"AutomationRook", AutomationText},
    {"MultipleAutomationRook", MultipleAutomationText},
    {"CurrentConsoleSetupRook", ConsoleSetupText},
    {"MixSetupExtendedRook", MixSetupText},
    {"IORoutingRook", RoutingText},
    {"IOConfigRook", IOConfigText},
    {"MCSRookObject", MachineControlText},
    {"DefaultValuesRook", DefaultValuesText},
};

}  // namespace

ImageDecoder FindImageDecoder(const std::string& object) {
    if (const auto it = kDecoders.find(object); it != kDecoders.end()) {
        return it->second;
    }
    // Every list object shares one block.
    const rookclient::ProxyEntry* proxy = nullptr;
    for (const rookclient::ProxyEntry& entry : rookclient::ProxyCatalog()) {
        if (entry.serverName && object == entry.serverName) {
            proxy = &entry;
        }
    }
    if (proxy) {
        for (const rookclient::OperationEntry& op : proxy->operations) {
            if (op.command == kListCopyCommand && op.blockSize == kListBlockSize) {
                return ListText;
            }
        }
    }
    return nullptr;
}

const char* PathTypeName(int type) {
    static const char* const kNames[] = {"channel",
                                         "group",
                                         "main",
                                         "aux",
                                         "listen",
                                         "talkback",
                                         "sel",
                                         "track",
                                         "cue",
                                         "external",
                                         "film",
                                         "film listen",
                                         "pre-dub dummy master",
                                         "sub"};
    return type >= 0 && type < 14 ? kNames[type] : "?";
}

}  // namespace rookd

#include "CommandText.h"

#include <rookclient/ProxyCatalog.h>
#include <rookclient/model/CommsBlock.h>

#include <vector>

#include "ImageText.h"

namespace rookd {
namespace {

using rookclient::FieldKind;
using rookclient::OperationEntry;
using rookclient::PayloadField;
using rookclient::model::BlockReader;

// The machine-control commands share one code and are told apart by the sub-command here.
constexpr size_t kSubCommandOffset = 20;
// More candidates than this are named on one line instead of one each.
constexpr size_t kCandidatesListed = 3;

// The commands whose block is laid out as their object's image (code 0: every command of the
// object), so that the image's decoder reads them.
struct ImageCommand {
    const char* object;
    uint32_t command;
};
constexpr ImageCommand kImageCommands[] = {
    {"DefaultValuesRook", 138},    {"MixSetupExtendedRook", 56}, {"MixSetupExtendedRook", 57},
    {"Nexus Routing", 216},        {"IORoutingRook", 68},        {"IORoutingRook", 158},
    {"AutomationDataRook", 0},     {"AutomationRook", 0},        {"SnapshotRook", 0},
    {"MultipleAutomationRook", 0},
};

bool CarriesImage(const std::string& object, uint32_t command) {
    for (const ImageCommand& c : kImageCommands) {
        if (object == c.object && (c.command == 0 || c.command == command)) {
            return true;
        }
    }
    return false;
}

bool ConstantsMatch(const OperationEntry& op, const BlockReader& r) {
    for (const PayloadField& f : op.fields) {
        if (f.kind == FieldKind::Const && r.I32(f.offset) != static_cast<int32_t>(f.constant)) {
            return false;
        }
    }
    return true;
}

std::string FieldText(const PayloadField& f, const BlockReader& r) {
    switch (f.kind) {
        case FieldKind::Int:
            return Format("%s@%zu=%d", f.name, f.offset, r.I32(f.offset));
        case FieldKind::UInt:
            return Format("%s@%zu=%u", f.name, f.offset, r.U32(f.offset));
        case FieldKind::Bool:
            return Format("%s@%zu=%s", f.name, f.offset, r.U32(f.offset) ? "true" : "false");
        case FieldKind::Short:
            return Format("%s@%zu=%d", f.name, f.offset, static_cast<int16_t>(r.U16(f.offset)));
        case FieldKind::Byte:
            return Format("%s@%zu=%u", f.name, f.offset, r.U8(f.offset));
        case FieldKind::Name: {
            const std::string_view text = r.Text(f.offset, f.width + 1);
            return Format("%s@%zu=\"%.*s\"", f.name, f.offset, static_cast<int>(text.size()),
                          text.data());
        }
        case FieldKind::Bytes: {
            // Trailing zero bytes are the fill, not data.
            const auto bytes =
                r.Bytes(f.offset, std::min(f.width, r.Size() - std::min(r.Size(), f.offset)));
            size_t used = bytes.size();
            while (used > 0 && bytes[used - 1] == 0) {
                --used;
            }
            std::string text = Format("%s@%zu=", f.name, f.offset);
            for (size_t i = 0; i < used; ++i) {
                text += Format("%02x", bytes[i]);
            }
            return text + (used == 0 ? "(zeros)" : "");
        }
        case FieldKind::Const:
            break;
    }
    return Format("@%zu=%d", f.offset, r.I32(f.offset));
}

std::string OperationText(const OperationEntry& op, const BlockReader& r) {
    std::string text = Format("  = %s(%s)", op.name, op.arguments);
    if (op.fields.empty()) {
        return text + (*op.payload ? Format(": %s\n", op.payload) : std::string("\n"));
    }
    std::string fields;
    for (const PayloadField& f : op.fields) {
        fields += (fields.empty() ? "" : ", ") + FieldText(f, r);
    }
    return text + ": " + fields + "\n";
}

}  // namespace

std::string DescribeCommand(const std::string& object, std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (object.empty() || !r.Valid()) {
        return {};
    }
    std::vector<const OperationEntry*> candidates;
    for (const rookclient::ProxyEntry& proxy : rookclient::ProxyCatalog()) {
        if (!proxy.serverName || object != proxy.serverName) {
            continue;
        }
        for (const OperationEntry& op : proxy.operations) {
            if (op.command == r.Command() && op.blockSize == r.Size() && ConstantsMatch(op, r)) {
                bool seen = false;
                for (const OperationEntry* other : candidates) {
                    seen = seen || (std::string_view(other->name) == op.name &&
                                    std::string_view(other->arguments) == op.arguments);
                }
                if (!seen) {
                    candidates.push_back(&op);
                }
            }
        }
    }
    std::string text;
    if (candidates.size() > kCandidatesListed) {
        text =
            Format("  = sub-command @%zu %u, one of:", kSubCommandOffset, r.U32(kSubCommandOffset));
        for (const OperationEntry* op : candidates) {
            text += Format(" %s", op->name);
        }
        text += "\n";
    } else {
        for (const OperationEntry* op : candidates) {
            text += OperationText(*op, r);
        }
    }
    bool fieldsShown = false;
    for (const OperationEntry* op : candidates) {
        fieldsShown = fieldsShown || !op->fields.empty();
    }
    if (r.Size() > rookclient::model::kHeaderSize && CarriesImage(object, r.Command())) {
        const std::string image = DecodeImage(object, block);
        fieldsShown = fieldsShown || !image.empty();
        if (!image.empty()) {
            text += "  as the object's image:\n";
            size_t start = 0;
            while (start < image.size()) {
                const size_t end = image.find('\n', start);
                text += "    " + image.substr(start, end - start) + "\n";
                start = end == std::string::npos ? image.size() : end + 1;
            }
        }
    }
    if (!fieldsShown && r.Size() > rookclient::model::kHeaderSize) {
        // No layout to name the fields: the payload's bytes, zero rows folded.
        text += "  payload:\n" + HexDump(block, rookclient::model::kHeaderSize);
    }
    return text;
}

}  // namespace rookd

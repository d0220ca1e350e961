#include "rookclient/model/DefaultValuesTable.h"

#include <objectkit/ControlRanges.h>
#include <objectkit/Settings.h>

namespace rookclient::model {

namespace {

// Route modules default to no route; the level control of a route sits at -8192 except on
// kind 5, whose routes start at 0.
constexpr int kRouteLevelControl = 2;
constexpr int16_t kRouteLevelDefault = -8192;
constexpr int kKindWithZeroRouteLevel = 5;

struct LinkedControl {
    int module;
    int control;
    int firstLinked;
    int lastLinked;
};
constexpr LinkedControl kLinkedControls[] = {{1, 7, 2, 4}, {9, 5, 10, 10}};

}  // namespace

DefaultValuesTable::DefaultValuesTable(int consoleType)
    : consoleType_(consoleType), processing_(kProcessingCount), routes_(kRouteCount) {
    Clear();
}

void DefaultValuesTable::Clear() {
    const int variant = objectkit::DefaultsVariant(consoleType_);
    for (int set = 0; set < kSets; ++set) {
        for (int kind = 0; kind < kKinds; ++kind) {
            for (int m = 0; m < kModules; ++m) {
                for (int c = 0; c < kControls; ++c) {
                    *Cell(set, kind, m, c) =
                        static_cast<int16_t>(objectkit::DefaultValue(variant, kind, m, c));
                }
            }
            for (int r = 0; r < kRouteModules; ++r) {
                for (int c = 0; c < kRouteControls; ++c) {
                    int16_t value = static_cast<int16_t>(objectkit::RouteDefaultValue(c));
                    if (c == kRouteLevelControl && kind != kKindWithZeroRouteLevel) {
                        value = kRouteLevelDefault;
                    }
                    *Cell(set, kind, kFirstRouteModule + r, c) = value;
                }
            }
        }
    }
}

int16_t* DefaultValuesTable::Cell(int set, int kind, int module, int control) {
    if (set < 0 || set >= kSets || kind < 0 || kind >= kKinds || module < 0 || control < 0) {
        return nullptr;
    }
    const size_t base = static_cast<size_t>(set) * kKinds + static_cast<size_t>(kind);
    if (module < kFirstRouteModule) {
        return control < kControls
                   ? &processing_[(base * kModules + static_cast<size_t>(module)) * kControls +
                                  static_cast<size_t>(control)]
                   : nullptr;
    }
    const int route = module - kFirstRouteModule;
    if (route >= kRouteModules || control >= kRouteControls) {
        return nullptr;
    }
    return &routes_[(base * kRouteModules + static_cast<size_t>(route)) * kRouteControls +
                    static_cast<size_t>(control)];
}

int16_t DefaultValuesTable::GetValue(int set, int kind, int module, int control) const {
    const int16_t* cell = const_cast<DefaultValuesTable*>(this)->Cell(set, kind, module, control);
    return cell ? *cell : 0;
}

void DefaultValuesTable::SetValue(int set, int kind, int module, int control, int16_t value) {
    if (int16_t* cell = Cell(set, kind, module, control)) {
        *cell = value;
    }
}

std::unique_ptr<CTemplateSnapAutoEvent> DefaultValuesTable::GetSnapshot(int set, int kind,
                                                                        int module,
                                                                        int control) const {
    CTemplateSnapAutoEvent::InitialiseNames();
    return std::make_unique<CTemplateSnapAutoEvent>(
        static_cast<uint8_t>(module), static_cast<uint8_t>(control),
        static_cast<uint16_t>(GetValue(set, kind, module, control)));
}

CTemplateSnapAutoEvent DefaultValuesTable::GetSnapshot(int set, int kind,
                                                       const CAutomationEvent& event) const {
    CTemplateSnapAutoEvent::InitialiseNames();
    return CTemplateSnapAutoEvent(
        event.module, event.control,
        static_cast<uint16_t>(GetValue(set, kind, event.module, event.control)));
}

void DefaultValuesTable::SetSnapshot(int set, int kind, const CAutomationEvent& event) {
    const auto value = static_cast<int16_t>(event.value);
    SetValue(set, kind, event.module, event.control, value);
    for (const LinkedControl& link : kLinkedControls) {
        if (event.module == link.module && event.control == link.control) {
            for (int m = link.firstLinked; m <= link.lastLinked; ++m) {
                SetValue(set, kind, m, link.control, value);
            }
        }
    }
}

bool DefaultValuesTable::Decode(std::span<const uint8_t> block) {
    const BlockReader r(block);
    if (!r.Valid() || r.Size() != default_values::kBlockSize) {
        return false;
    }
    const auto take = [&r](size_t offset, std::vector<int16_t>& values) {
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<int16_t>(r.U16(offset + 2 * i));
        }
    };
    take(default_values::kProcessingAt, processing_);
    take(default_values::kRoutesAt, routes_);
    return true;
}

namespace default_values {

namespace {

void PutValues(CommsBlock& block, size_t offset, const std::vector<int16_t>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        block.PutU16(offset + 2 * i, static_cast<uint16_t>(values[i]));
    }
}

}  // namespace

CommsBlock DVAttach() {
    return CommsBlock(kAttach, kHeaderSize);
}

CommsBlock Save(const DefaultValuesTable& table, std::string_view name, int32_t value) {
    CommsBlock block(kSave, kBlockSize);
    PutValues(block, kProcessingAt, table.Processing());
    PutValues(block, kRoutesAt, table.Routes());
    block.PutText(kSetNameAt, kSetNameWidth, name);
    block.PutI32(kFirstAt, value);
    return block;
}

CommsBlock Load(std::string_view name, int32_t first, int32_t second, int32_t third) {
    CommsBlock block(kLoad, kBlockSize);
    block.PutText(kSetNameAt, kSetNameWidth, name);
    block.PutI32(kFirstAt, first);
    block.PutI32(kSecondAt, second);
    block.PutI32(kThirdAt, third);
    return block;
}

CommsBlock SetDefault(std::string_view name) {
    CommsBlock block(kSetDefault, kBlockSize);
    block.PutText(kNameAt, kNameWidth, name);
    return block;
}

}  // namespace default_values

}  // namespace rookclient::model

// The default value of every control of every channel kind, three sets of them, as the
// "DefaultValuesRook" proxy holds them; and the blocks that load, save and select named sets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include <objectkit/TemplateSnapAutoEvent.h>

#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

class DefaultValuesTable {
  public:
    static constexpr int kSets = 3;
    static constexpr int kKinds = 13;
    static constexpr int kModules = 31;  // processing modules 0-30
    static constexpr int kControls = 9;
    static constexpr int kFirstRouteModule = 31;
    static constexpr int kRouteModules = 48;  // modules 31-78
    static constexpr int kRouteControls = 4;
    static constexpr size_t kProcessingCount = size_t{kSets} * kKinds * kModules * kControls;
    static constexpr size_t kRouteCount = size_t{kSets} * kKinds * kRouteModules * kRouteControls;

    // Filled with the built-in defaults of the console type.
    explicit DefaultValuesTable(int consoleType);

    // Back to the built-in defaults: the processing controls of the console type's variant for
    // every set and kind; route controls (0, 0, -8192, 1), and (0, 0, 0, 1) for kind 5.
    void Clear();

    // A control outside the table reads 0 and is not written.
    int16_t GetValue(int set, int kind, int module, int control) const;
    void SetValue(int set, int kind, int module, int control, int16_t value);

    // A snapshot-template event with the module, the control and the table's value.
    std::unique_ptr<CTemplateSnapAutoEvent> GetSnapshot(int set, int kind, int module,
                                                        int control) const;
    CTemplateSnapAutoEvent GetSnapshot(int set, int kind, const CAutomationEvent& event) const;
    // Stores the event's value. The controls that the console moves together move together
    // here: module 1 control 7 also sets control 7 of modules 2-4, module 9 control 5 also
    // control 5 of module 10.
    void SetSnapshot(int set, int kind, const CAutomationEvent& event);

    // Takes both tables from a pushed default values block (the layout Save sends). A block
    // whose stated size is not its real size, or that is not exactly a default values block,
    // changes nothing and answers false.
    bool Decode(std::span<const uint8_t> block);

    const std::vector<int16_t>& Processing() const { return processing_; }
    const std::vector<int16_t>& Routes() const { return routes_; }

  private:
    int16_t* Cell(int set, int kind, int module, int control);

    int consoleType_;
    std::vector<int16_t> processing_;
    std::vector<int16_t> routes_;
};

namespace default_values {

inline constexpr size_t kBlockSize = 37084;
inline constexpr uint32_t kAttach = 136;
inline constexpr uint32_t kLoad = 137;
inline constexpr uint32_t kSave = 138;
inline constexpr uint32_t kSetDefault = 139;
inline constexpr size_t kProcessingAt = 16;
inline constexpr size_t kRoutesAt = 21778;
inline constexpr size_t kSetNameAt = 36754;
inline constexpr size_t kSetNameWidth = 77;  // 36754 .. 36832, terminator included
inline constexpr size_t kNameAt = 36832;
inline constexpr size_t kNameWidth = 239;  // 36832 .. 37072, terminator included
inline constexpr size_t kSecondAt = 37072;
inline constexpr size_t kFirstAt = 37076;
inline constexpr size_t kThirdAt = 37080;

CommsBlock DVAttach();
CommsBlock Save(const DefaultValuesTable& table, std::string_view name, int32_t value);
CommsBlock Load(std::string_view name, int32_t first, int32_t second, int32_t third);
inline CommsBlock LoadInMemory(std::string_view name, int32_t first, int32_t third) {
    return Load(name, first, 0, third);
}
CommsBlock SetDefault(std::string_view name);

}  // namespace default_values

}  // namespace rookclient::model

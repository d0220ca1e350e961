// A selection of automation events: a time window, some paths, some (module, control) pairs.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <objectkit/AutomationEvent.h>

// A word of category flags chosen by the user (fader levels, EQ, dynamics, routes ...);
// TranslateFilter turns it into the exact controls on the current console type.
struct AutomationEventFilterStructure {
    uint32_t flags = 0;

    constexpr AutomationEventFilterStructure() = default;
    constexpr AutomationEventFilterStructure(uint32_t word) : flags(word) {}
    constexpr bool Has(int bit) const { return bit >= 0 && bit < 32 && ((flags >> bit) & 1u); }
};

class CEventFilter {
  public:
    static constexpr int kGroupCount = 79;
    // One group of the fixed table: a module and a mask of its controls (bit c = control c).
    struct Group {
        int32_t module = -1;
        int32_t controlMask = 0;
    };

    CEventFilter();
    CEventFilter(const CEventFilter& other);
    CEventFilter& operator=(const CEventFilter& other);
    virtual ~CEventFilter() = default;

    // Fills the group table with its fixed values.
    void Setup();
    // Times and destination back to -1; paths, the second list and the allowed controls empty.
    void Clear();
    // Replaces the allowed controls with the (module, control) pairs that the flags stand for
    // on the current console type. Other console types add nothing.
    void TranslateFilter(AutomationEventFilterStructure filter);
    // The same on a given console type (what TranslateFilter uses).
    void TranslateFilterForConsole(AutomationEventFilterStructure filter, int consoleType);

    // True when the path list and the allowed controls admit the event; times are not checked.
    bool Passes(const CAutomationEvent& event) const;
    bool PathSelected(int32_t path) const;
    bool ControlAllowed(int module, int control) const;

    const std::array<Group, kGroupCount>& Groups() const { return groups_; }

    // Allowed-control entries: module in the low byte, control in the high byte.
    static constexpr uint16_t MakeControlEntry(int module, int control) {
        return static_cast<uint16_t>((module & 0xFF) | ((control & 0xFF) << 8));
    }

    int32_t startTime = -1;         // -1 = from the first event
    int32_t endTime = -1;           // -1 = to the last event; queries write the real time back
    int32_t destinationTime = -1;   // a channel selection's destination; unused by the queries
    std::vector<int32_t> paths;     // empty = every path
    std::vector<int32_t> userData;  // the owner's; kept and copied, never read here
    int32_t routeModuleStart = 0;   // first route module
    int32_t routeModuleEnd = 0;     // one past the last route module
    std::vector<uint16_t> allowedControls;  // empty = every control

  private:
    void AddGroup(int index);
    void AddControls(int module, int32_t mask);

    std::array<Group, kGroupCount> groups_{};
};

// One automation event: at a time stamp, one control of one module on one path takes a value.
#pragma once

#include <cstdint>

class CAutomationEvent {
  public:
    uint8_t module = 0;     // processing module; numbering depends on the console layout
    uint8_t control = 0;    // control within the module (0-8; route modules 0-3)
    uint16_t value = 0;     // the control's new value
    int32_t path = 0;       // console path, 0-based
    int32_t timeStamp = 0;  // quarter frames (four per video frame)
    uint8_t flags = 0;      // carried unchanged by every operation; never interpreted here
    uint16_t oldValue = 0;  // the value this event replaces; filled by SetOldValues

    // Diagnostic hook; does nothing observable.
    void DebugMe() const {}

    bool SameControl(const CAutomationEvent& other) const {
        return path == other.path && module == other.module && control == other.control;
    }
    bool operator==(const CAutomationEvent&) const = default;
};

static_assert(sizeof(CAutomationEvent) == 16, "events are kept densely packed");

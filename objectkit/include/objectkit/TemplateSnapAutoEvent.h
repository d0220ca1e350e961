// An automation event that names itself ("EQ 3 Gain") and formats its value in the units of
// its control ("-4.5dB", "2.4kHz", "Bell"), and reads typed values back.
#pragma once

#include <string>

#include <objectkit/AutomationEvent.h>

class CTemplateSnapAutoEvent : public CAutomationEvent {
  public:
    CTemplateSnapAutoEvent();
    CTemplateSnapAutoEvent(uint8_t module, uint8_t control, uint16_t value);
    explicit CTemplateSnapAutoEvent(const CAutomationEvent& event);

    // Makes the name tables ready; later calls do nothing. Safe from several threads.
    static void InitialiseNames();

    // The event's name on the current console layout; "Unknown Event" outside the tables.
    std::string GetEventName() const;
    // The value as text; units only when withUnits is non-zero. plainFrequency non-zero writes
    // frequencies in Hz only (no kHz).
    void GetText(std::string& text, int withUnits, int plainFrequency) const;
    // The value for a typed text (units optional, words in any case). Throws
    // std::invalid_argument when the module or control has no parser (stem routes, and the
    // fader's controls other than level and trim). Text that is not a number reads as 0.
    short GetValueFromText(const std::string& text) const;
    // Whether the event's time is shown to the quarter frame (switches on the small layout).
    bool ShowsQuarterFrames() const;

    // The same on a given console type (what the members above use).
    std::string GetEventNameFor(int consoleType) const;
    void GetTextFor(int consoleType, std::string& text, int withUnits, int plainFrequency) const;
    short GetValueFromTextFor(int consoleType, const std::string& text) const;
    bool ShowsQuarterFramesFor(int consoleType) const;
};

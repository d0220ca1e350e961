// Notices of what changed on a rack channel, who changed it, and what was refused and why.
// The controller sends them to every registered observer (the change journal, remote-control
// subscribers, the rack-state check) after each operation, whatever its source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mic {

// Where a change came from. Values are stored by the journal: append only.
enum class ChangeSource : uint8_t {
    Operator = 0,     // the window: clicks, gain boxes, drags, names, console-channel boxes
    ConsoleLine = 1,  // a mic-line image from the console (origin.consoleLine = line 1-120)
    PresetFile = 2,   // Load Preset or the automatic load (origin.detail = the file)
    AutoRestore = 3,  // the automatic restore of the snapshot at start or reconnection
    FrontPanel = 4,   // the rack's own data block reported a different value
    Remote = 5,       // a remote-control peer (origin.detail = the peer, e.g. "127.0.0.1:9000")
};

struct ChangeOrigin {
    ChangeSource source = ChangeSource::Operator;
    int consoleLine = 0;  // 1-120 for ConsoleLine, else 0
    std::string detail;   // file path or peer; empty when none
};

// The fields of a channel. Values are stored by the journal: append only.
enum class ChannelField : uint8_t {
    Gain = 0,            // value: gain step 3-13 (20-70 dB in 5 dB steps)
    Phantom = 1,         // value: 0/1
    Phase = 2,           // value: 0/1
    Pad = 3,             // value: 0/1
    DirectOut = 4,       // value: 0/1
    Name = 5,            // text: the channel's name (value unused)
    ConsoleChannel = 6,  // value: the console-channel box's number, 0 = "Off"
};

struct ChannelChange {
    ChangeOrigin origin;
    int rack = 0;     // 0-15
    int channel = 0;  // 0-11
    ChannelField field = ChannelField::Gain;
    int oldValue = 0;
    int newValue = 0;      // for a refusal: the value that was asked for
    std::string oldText;   // Name only
    std::string newText;   // Name only
    bool refused = false;  // the change was not applied (and not sent to the rack)
    std::string reason;    // why it was refused; empty for an applied change
};

// Fixed refusal texts, so that every path (window, remote peer, journal) reports the same words.
namespace refusal {
inline constexpr std::string_view kConsoleOwned = "channel is assigned to a console line";
inline constexpr std::string_view kNotReported = "channel not reported by its rack";
inline constexpr std::string_view kLineBusy =
    "line busy: a reply is being received or the queue is full";
inline constexpr std::string_view kRackOffLine = "rack is off line";
inline constexpr std::string_view kOutOfRange = "value out of range";
inline constexpr std::string_view kPhantomUnsafe = "phantom power refused for this microphone type";
inline constexpr std::string_view kNoConsole = "console integration is off";
inline constexpr std::string_view kSequentialFirstOnly =
    "sequential assignment: only the rack's first channel is set";
inline constexpr std::string_view kRackDiffered =
    "the rack held another value; the controller's value was sent to it again";
}  // namespace refusal

// Text of a field and of a value, for the journal, remote replies and the window.
std::string_view FieldName(ChannelField field);        // "gain", "phantom", ...
std::string_view SourceName(ChangeSource source);      // "operator", "console", ...
std::string ValueText(ChannelField field, int value);  // "45 dB", "on", "off", "7"

class ChangeObserver {
  public:
    virtual ~ChangeObserver() = default;
    // Main thread. One field of one channel changed (or a change was refused).
    virtual void ChannelChanged(const ChannelChange& change) = 0;
    // Main thread. A rack came on line or went off line.
    virtual void RackLineChanged(int /*rack*/, bool /*onLine*/) {}
};

}  // namespace mic

// The profile values the core reads and writes (section "Settings" of the user's profile).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mic/core/MicrophoneType.h"
#include "mic/core/RackSync.h"
#include "mic/core/RecallScope.h"

namespace mic {

struct MicSettings {
    uint32_t communicationPort = 1;             // 1-4 = COM1-COM4, 5 = disabled
    bool portWasStored = false;                 // a valid value (1-5) was read from the profile
    std::string fileName;                       // "FileName"
    bool autoLoad = false;                      // "Auto Load"
    bool autoRestore = true;                    // "Auto Restore"
    bool popupOnSel = true;                     // "PopupOnSel"
    bool popupControls = true;                  // "PopupControls"
    uint32_t useWithVantor = 0;                 // "Use With Vantor" as stored
    MicTypeTable microphoneTypes{};             // "Microphone Types": all unknown, nothing held off
    uint32_t restoreScope = kRecallEverything;  // "Restore Scope" of the automatic load/restore
    // "Verify Racks": read racks back after a load, a restore or a reconnection. Off, the
    // line carries nothing more than without the check.
    bool verifyRacks = false;
    RackMend rackMend = RackMend::Adopt;  // "Rack Mend": 0 adopt, 1 re-send
    uint32_t verifyEverySeconds = 0;  // "Verify Every": also read racks back this often; 0 never
    // The change journal: off unless "Journal" = 1, so that default settings write no new file.
    bool journal = false;              // "Journal"
    uint32_t journalMaxAgeDays = 90;   // "Journal Max Age Days" (0 = no age bound)
    uint32_t journalMaxRows = 100000;  // "Journal Max Rows" (0 = no count bound)
};

// Writes single profile values at once (the host maps them onto the registry).
class ProfileWriter {
  public:
    virtual ~ProfileWriter() = default;
    // Main thread.
    virtual void WriteInt(std::string_view name, int32_t value) = 0;
    // Main thread.
    virtual void WriteString(std::string_view name, std::string_view value) = 0;
};

// Opens and closes the serial line (the host wraps the serial port object).
class PortControl {
  public:
    virtual ~PortControl() = default;
    // Main thread. Opens COM`portNumber` (1-4) at 19200 8N1 and starts its reader; false when
    // the port cannot be opened or its probe fails.
    virtual bool OpenAndStart(uint32_t portNumber) = 0;
    // Main thread. Stops the reader (never from inside a reply hand-over).
    virtual void Stop() = 0;
};

// The console's mic-line image (120 records of phantom, pad, gain step, select), kept by the
// console-link receiver under its own lock.
inline constexpr size_t kMicLineImageSize = 480;
inline constexpr int kConsoleLines = 120;

class ConsoleImageSource {
  public:
    virtual ~ConsoleImageSource() = default;
    // Main thread. Takes the image lock, calls `apply` with the 480-byte image, releases it.
    virtual void WithImage(const std::function<void(const uint8_t* image)>& apply) = 0;
};

}  // namespace mic

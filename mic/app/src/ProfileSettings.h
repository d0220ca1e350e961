// The profile of mic: section "Settings" of the current user's hive, read at start-up and
// written at the moments the program's settings table gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/GenericRegistryObject.h"
#include "mic/core/MicSettings.h"
#include "mic/osc/OscServer.h"

namespace mic::app {

inline constexpr const char* kSettingsKey = "Software\\KESTANE\\mic\\Settings";

// True when the raw argument string is exactly "ZERIN" (case-sensitive, nothing around it).
bool IsZerin(std::string_view rawArguments);

// "Settings"/"Console Type" = 1 for the alternate artwork, else 0 (written on every start).
void WriteConsoleType(int type);

struct ProfileStart {
    MicSettings settings;
    bool portReplaced = false;  // a stored port outside 1-5 was replaced by 1 (save at once)
    int consoleType = 0;
};

// Reads the start-up values. "Use With Vantor" is read only when `consoleTypeIs6`;
// "PopupOnSel" and "PopupControls" only when `integration` says so (call again after deciding).
ProfileStart ReadProfile(bool consoleTypeIs6);
void ReadPopupOptions(MicSettings& settings);

// Writes single values into the section.
class RegistryProfileWriter : public ProfileWriter {
  public:
    RegistryProfileWriter();
    void WriteInt(std::string_view name, int32_t value) override;
    void WriteString(std::string_view name, std::string_view value) override;

  private:
    CCurrentUserRegistryObject registry_;
};

// The remote control: "OSC Enabled" (DWORD, default 0), "OSC Port" (DWORD, default 7770),
// "OSC Address" (REG_SZ, default empty: 127.0.0.1) and "OSC Allow" (REG_SZ, the peers answered
// when the address is not a loopback address). Read only; the operator sets them with kreg.
// A port outside 1-65535 leaves the remote control off, with the reason in `problem`.
mic::osc::OscSettings ReadOscSettings(std::string& problem);

// The save of the settings table: "Auto Load", "Auto Restore", "FileName", "Communication Port".
void SaveSettings(ProfileWriter& writer, const MicSettings& settings);

}  // namespace mic::app

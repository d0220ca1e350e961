#include "ProfileSettings.h"

#include <algorithm>

namespace mic::app {

bool IsZerin(std::string_view rawArguments) {
    return rawArguments == "ZERIN";
}

void WriteConsoleType(int type) {
    CCurrentUserRegistryObject registry;
    registry.WriteNumber(kSettingsKey, "Console Type", static_cast<uint32_t>(type == 1 ? 1 : 0));
}

ProfileStart ReadProfile(bool consoleTypeIs6) {
    CCurrentUserRegistryObject registry;
    ProfileStart start;
    MicSettings& s = start.settings;

    int32_t port = -1;
    if (registry.ReadNumber(kSettingsKey, "Communication Port", port, -1) && port != -1) {
        if (port < 1 || port > 5) {
            port = 1;
            start.portReplaced = true;
        }
        s.communicationPort = static_cast<uint32_t>(port);
        s.portWasStored = true;
    } else {
        s.communicationPort = 1;
        s.portWasStored = false;
    }

    registry.ReadString(kSettingsKey, "FileName", s.fileName, "");

    // Read with a sentinel: absent means off, any other non-zero value on.
    int32_t autoLoad = -1;
    registry.ReadNumber(kSettingsKey, "Auto Load", autoLoad, -1);
    s.autoLoad = autoLoad != -1 && autoLoad != 0;

    int32_t autoRestore = 1;
    registry.ReadNumber(kSettingsKey, "Auto Restore", autoRestore, 1);
    s.autoRestore = autoRestore != 0;

    s.useWithVantor = 0;
    if (consoleTypeIs6) {
        int32_t use = -1;
        registry.ReadNumber(kSettingsKey, "Use With Vantor", use, -1);
        s.useWithVantor = use == 1 ? 1 : 0;
    }

    // Read only: set by the operator in the profile, never written by a settings save, so a
    // profile without them stays as it was.
    int32_t verify = 0;
    registry.ReadNumber(kSettingsKey, "Verify Racks", verify, 0);
    s.verifyRacks = verify != 0;
    int32_t mend = 0;
    registry.ReadNumber(kSettingsKey, "Rack Mend", mend, 0);
    s.rackMend = mend == 1 ? RackMend::Resend : RackMend::Adopt;
    int32_t every = 0;
    registry.ReadNumber(kSettingsKey, "Verify Every", every, 0);
    s.verifyEverySeconds = every > 0 ? static_cast<uint32_t>(std::min(every, 86400)) : 0;
    // Phantom safety and recall scope: absent keys leave every channel unknown and the
    // automatic load and restore taking everything.
    std::string types;
    registry.ReadString(kSettingsKey, kMicTypesKey, types, "");
    s.microphoneTypes = ParseMicTypes(types);
    int32_t scope = static_cast<int32_t>(kRecallEverything);
    registry.ReadNumber(kSettingsKey, kRestoreScopeKey, scope, scope);
    s.restoreScope = static_cast<uint32_t>(scope) & kRecallEverything;
    int32_t journal = 0;
    registry.ReadNumber(kSettingsKey, "Journal", journal, 0);
    s.journal = journal != 0;
    int32_t bound = 0;
    if (registry.ReadNumber(kSettingsKey, "Journal Max Age Days", bound, -1) && bound >= 0)
        s.journalMaxAgeDays = static_cast<uint32_t>(bound);
    if (registry.ReadNumber(kSettingsKey, "Journal Max Rows", bound, -1) && bound >= 0)
        s.journalMaxRows = static_cast<uint32_t>(bound);

    int32_t consoleType = 0;
    registry.ReadNumber(kSettingsKey, "Console Type", consoleType, 0);
    start.consoleType = consoleType;
    return start;
}

void ReadPopupOptions(MicSettings& settings) {
    CCurrentUserRegistryObject registry;
    int32_t value = 1;
    registry.ReadNumber(kSettingsKey, "PopupOnSel", value, 1);
    settings.popupOnSel = value != 0;
    value = 1;
    registry.ReadNumber(kSettingsKey, "PopupControls", value, 1);
    settings.popupControls = value != 0;
}

mic::osc::OscSettings ReadOscSettings(std::string& problem) {
    CCurrentUserRegistryObject registry;
    mic::osc::OscSettings osc;
    int32_t enabled = 0;
    registry.ReadNumber(kSettingsKey, "OSC Enabled", enabled, 0);
    int32_t port = mic::osc::kDefaultPort;
    registry.ReadNumber(kSettingsKey, "OSC Port", port, mic::osc::kDefaultPort);
    registry.ReadString(kSettingsKey, "OSC Address", osc.address, "");
    registry.ReadString(kSettingsKey, "OSC Allow", osc.allow, "");
    osc.enabled = enabled != 0;
    if (port < 1 || port > 65535) {
        problem = "\"OSC Port\" " + std::to_string(port) + " is not a port (1-65535)";
        osc.enabled = false;
    } else {
        osc.port = static_cast<uint16_t>(port);
    }
    return osc;
}

RegistryProfileWriter::RegistryProfileWriter() = default;

void RegistryProfileWriter::WriteInt(std::string_view name, int32_t value) {
    registry_.WriteNumber(kSettingsKey, name, static_cast<uint32_t>(value));
}

void RegistryProfileWriter::WriteString(std::string_view name, std::string_view value) {
    registry_.WriteString(kSettingsKey, name, value);
}

void SaveSettings(ProfileWriter& writer, const MicSettings& settings) {
    writer.WriteInt("Auto Load", settings.autoLoad ? 1 : 0);
    writer.WriteInt("Auto Restore", settings.autoRestore ? 1 : 0);
    writer.WriteString("FileName", settings.fileName);
    writer.WriteInt("Communication Port", static_cast<int32_t>(settings.communicationPort));
}

}  // namespace mic::app

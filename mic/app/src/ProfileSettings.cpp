#include "ProfileSettings.h"

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

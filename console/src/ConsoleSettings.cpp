#include <console/ConsoleSettings.h>
#include <console/GenericRegistryObject.h>

#include <cstddef>
#include <mutex>

const ConsoleSettingsRecord kConsoleSettingsRecord = {
    "Software\\Kestane Vantor\\Main",
    "VantorConsoleType",
    "NumberOfFaders",
    "NumberOfChannelStrips",
    "MasterBucketPos",
    "NewMCS",
    "CutABPath",
    "SideCarSize",
    "QMX2",
    "LiveTorvel",
    "LiveDetectAF",
    "MuteABPath",
    "NumGroupFaders",
    "GroupFadersStartAt",
    "NumOutputFaders",
    "OutputFadersStartAt",
};

namespace {

// One row per process-wide value, in the order they are read and written: the record position
// of its name, its field and its default. "NewMCS" (position 5) is named but never used.
struct SettingRow {
    size_t position;
    uint32_t ConsoleSettings::*field;
    uint32_t defaultValue;
};

constexpr SettingRow kRows[] = {
    {1, &ConsoleSettings::VantorConsoleType, 3},
    {2, &ConsoleSettings::NumberOfFaders, 0},
    {3, &ConsoleSettings::NumberOfChannelStrips, 0},
    {4, &ConsoleSettings::MasterBucketPos, 0},
    {6, &ConsoleSettings::CutABPath, 128},
    {7, &ConsoleSettings::SideCarSize, 0},
    {8, &ConsoleSettings::QMX2, 0},
    {9, &ConsoleSettings::LiveTorvel, 0},
    {10, &ConsoleSettings::LiveDetectAF, 1},
    {11, &ConsoleSettings::MuteABPath, 0},
    {12, &ConsoleSettings::NumGroupFaders, 0},
    {14, &ConsoleSettings::NumOutputFaders, 0},
    {13, &ConsoleSettings::GroupFadersStartAt, 0},
    {15, &ConsoleSettings::OutputFadersStartAt, 0},
};

const char* const kConsoleTypeNames[] = {
    "Tallis Series", "W Series",    "Carina Music", "QMX Series",
    "Carina Live",   "Carina Post", "Z9R",          "Torvel",
};

// The values are written once, under the mutex, before `g_loaded` is published; readers that
// see `g_loaded` see them complete, and readers before that see the defaults.
std::mutex g_readMutex;
std::atomic<bool> g_loadingStarted{false};
std::atomic<bool> g_loaded{false};
ConsoleSettings g_loadedValues;
const ConsoleSettings g_defaults;

}  // namespace

const ConsoleSettings& GetConsoleSettings() {
    return g_loaded.load(std::memory_order_acquire) ? g_loadedValues : g_defaults;
}

bool ConsoleSettingsLoadingStarted() {
    return g_loadingStarted.load(std::memory_order_acquire);
}

bool ConsoleSettingsLoaded() {
    return g_loaded.load(std::memory_order_acquire);
}

void ReadConsoleSettings(const ConsoleSettingsRecord& record) {
    if (g_loaded.load(std::memory_order_acquire)) {
        return;
    }
    // A second caller that arrives while the first is reading waits for the values rather than
    // going on with defaults.
    std::lock_guard lock(g_readMutex);
    if (g_loadingStarted.load(std::memory_order_relaxed)) {
        return;
    }
    g_loadingStarted.store(true, std::memory_order_release);

    ConsoleSettings values;
    const char* keyPath = record[0];
    CLocalMachineRegistryObject registry("");
    for (const SettingRow& row : kRows) {
        uint32_t& target = values.*row.field;
        target = row.defaultValue;
        const char* name = record[row.position];
        if (keyPath != nullptr && name != nullptr) {
            registry.ReadNumber(keyPath, name, target, row.defaultValue);
        }
    }
    g_loadedValues = values;
    g_loaded.store(true, std::memory_order_release);
}

void WriteConsoleSettings(const ConsoleSettingsRecord& record) {
    const char* keyPath = record[0];
    if (keyPath == nullptr) {
        return;
    }
    const ConsoleSettings& values = GetConsoleSettings();
    CLocalMachineRegistryObject registry("");
    for (const SettingRow& row : kRows) {
        if (const char* name = record[row.position]; name != nullptr) {
            registry.WriteNumber(keyPath, name, values.*row.field);
        }
    }
}

std::string GetConsoleTypeName(int type) {
    if (type >= 0 && static_cast<size_t>(type) < std::size(kConsoleTypeNames)) {
        return kConsoleTypeNames[type];
    }
    return "New Console";
}

void ResetConsoleSettingsForTests() {
    std::lock_guard lock(g_readMutex);
    g_loaded.store(false, std::memory_order_release);
    g_loadingStarted.store(false, std::memory_order_release);
}

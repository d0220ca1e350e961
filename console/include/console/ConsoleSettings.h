// The console's hardware description, read once per process from the local machine hive.
// One copy of these values exists per process: they live in the shared library that every
// deliverable links, so a program that loads several of them still reads the record once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// The key path and the fifteen value names, in the order the reader addresses them.
using ConsoleSettingsRecord = std::array<const char*, 16>;
extern const ConsoleSettingsRecord kConsoleSettingsRecord;

struct ConsoleSettings {
    uint32_t VantorConsoleType = 3;
    uint32_t NumberOfFaders = 0;
    uint32_t NumberOfChannelStrips = 0;
    uint32_t MasterBucketPos = 0;
    uint32_t CutABPath = 128;
    uint32_t SideCarSize = 0;
    uint32_t QMX2 = 0;
    uint32_t LiveTorvel = 0;
    uint32_t LiveDetectAF = 1;
    uint32_t MuteABPath = 0;
    uint32_t NumGroupFaders = 0;
    uint32_t NumOutputFaders = 0;
    uint32_t GroupFadersStartAt = 0;
    uint32_t OutputFadersStartAt = 0;
};

// The process-wide values; defaults until ReadConsoleSettings has run.
const ConsoleSettings& GetConsoleSettings();
bool ConsoleSettingsLoadingStarted();
bool ConsoleSettingsLoaded();

// Fills the process-wide values from the record. Runs once per process; later calls return
// at once, whatever record they pass. Safe to call from several threads: a caller that comes
// while the first read is under way waits for it, so it never sees half-read values.
void ReadConsoleSettings(const ConsoleSettingsRecord& record = kConsoleSettingsRecord);
// Writes the fourteen values back under the record's key as REG_DWORD.
void WriteConsoleSettings(const ConsoleSettingsRecord& record = kConsoleSettingsRecord);

std::string GetConsoleTypeName(int type);

// Console integration may be switched on only for this console type.
inline constexpr uint32_t kIntegratingConsoleType = 6;

// Tests only: forget that the settings were read, back to the defaults.
void ResetConsoleSettingsForTests();

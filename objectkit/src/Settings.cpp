#include <objectkit/Settings.h>

#include "FileSettings.h"

#include <atomic>
#include <cstdint>

#include <console/ConsoleSettings.h>

namespace objectkit {
namespace {

std::atomic<int> g_consoleTypeOverride{0};

// A number under HKEY_LOCAL_MACHINE; DWORD values and decimal text both count, anything else
// (or a missing key or value) gives the default.
uint32_t ReadMachineNumber(const char* keyPath, const char* name, uint32_t defaultValue) {
    return files::ReadMachineDword(keyPath, name, defaultValue);
}

}  // namespace

int ConsoleType() {
    const int forced = g_consoleTypeOverride.load(std::memory_order_relaxed);
    if (forced != 0) {
        return forced;
    }
    ReadConsoleSettings();
    return static_cast<int>(GetConsoleSettings().VantorConsoleType);
}

bool IsSmallLayout(int consoleType) {
    return consoleType == 1 || consoleType == 6;
}

int DefaultsVariant(int consoleType) {
    switch (consoleType) {
        case 5:
        case 7:
            return 1;
        case 2:
        case 4:
            return 2;
        default:
            return 0;
    }
}

int ReadMaxPathsMode() {
    return static_cast<int>(
        ReadMachineNumber("SOFTWARE\\Kestane Vantor\\Main", "Max Paths Mode", 0));
}

int MaxPathCount(int maxPathsMode) {
    return maxPathsMode == 1 ? 500 : 256;
}

int ReadCardLinkType() {
    return static_cast<int>(ReadMachineNumber("SOFTWARE\\KESTANE\\ROOKSERVER", "CardLinkType", 0));
}

void SetConsoleTypeForTests(int consoleType) {
    g_consoleTypeOverride.store(consoleType, std::memory_order_relaxed);
}

}  // namespace objectkit

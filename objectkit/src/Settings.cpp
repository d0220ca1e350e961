#include <objectkit/Settings.h>

#include <atomic>
#include <cstdint>

#ifdef OBJECTKIT_HAVE_CONSOLESETTINGS
#include <console/ConsoleSettings.h>
#endif
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
#include <platform/registry.h>
#endif

namespace objectkit {
namespace {

std::atomic<int> g_consoleTypeOverride{0};

#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
uint32_t ReadMachineDword(const char* keyPath, const char* name, uint32_t defaultValue) {
    namespace reg = platform::registry;
    reg::Key key;
    if (reg::Key::root(reg::Hive::LocalMachine).open(keyPath, key) != reg::Status::Ok) {
        return defaultValue;
    }
    reg::Value value;
    if (key.query(name, value) != reg::Status::Ok) {
        return defaultValue;
    }
    if (value.type == reg::REG_DWORD && value.data.size() >= 4) {
        return static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
               static_cast<uint32_t>(value.data[2]) << 16 |
               static_cast<uint32_t>(value.data[3]) << 24;
    }
    return defaultValue;
}
#endif

}  // namespace

int ConsoleType() {
    const int forced = g_consoleTypeOverride.load(std::memory_order_relaxed);
    if (forced != 0) {
        return forced;
    }
#ifdef OBJECTKIT_HAVE_CONSOLESETTINGS
    ReadConsoleSettings();
    return static_cast<int>(GetConsoleSettings().VantorConsoleType);
#else
    return 3;
#endif
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
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
    return static_cast<int>(
        ReadMachineDword("SOFTWARE\\Kestane Vantor\\Main", "Max Paths Mode", 0));
#else
    return 0;
#endif
}

int MaxPathCount(int maxPathsMode) {
    return maxPathsMode == 1 ? 500 : 256;
}

int ReadCardLinkType() {
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
    return static_cast<int>(ReadMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CardLinkType", 0));
#else
    return 0;
#endif
}

void SetConsoleTypeForTests(int consoleType) {
    g_consoleTypeOverride.store(consoleType, std::memory_order_relaxed);
}

}  // namespace objectkit

#include "FileSettings.h"

#include <cstdlib>

#if defined(OBJECTKIT_HAVE_CONSOLESETTINGS)
#include <console/GenericRegistryObject.h>
#elif defined(OBJECTKIT_HAVE_PLATFORM_REGISTRY)
#include <platform/registry.h>
#endif

namespace objectkit::files {

uint32_t ReadMachineDword(const char* keyPath, const char* name, uint32_t defaultValue) {
#if defined(OBJECTKIT_HAVE_CONSOLESETTINGS)
    uint32_t value = defaultValue;
    CLocalMachineRegistryObject registry;
    registry.ReadNumber(keyPath, name, value, defaultValue);
    return value;
#elif defined(OBJECTKIT_HAVE_PLATFORM_REGISTRY)
    namespace reg = platform::registry;
    reg::Key key;
    if (reg::Key::root(reg::Hive::LocalMachine).open(keyPath, key) != reg::Status::Ok) {
        return defaultValue;
    }
    reg::Value value;
    if (key.query(name, value) != reg::Status::Ok || value.type != reg::REG_DWORD ||
        value.data.size() < 4) {
        return defaultValue;
    }
    return static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
           static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
#else
    (void)keyPath;
    (void)name;
    return defaultValue;
#endif
}

bool ReadCompressedAuto() {
    return ReadMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CompressedAuto", 1) != 0;
}

std::string DataDirectory() {
    const char* dir = std::getenv("KESTANE_DATA_DIR");
    return dir && *dir ? std::string(dir) : std::string("/var/lib/kestane/vantor");
}

}  // namespace objectkit::files

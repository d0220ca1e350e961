#include "FileSettings.h"

#include <cstdlib>

#include <console/GenericRegistryObject.h>

namespace objectkit::files {

uint32_t ReadMachineDword(const char* keyPath, const char* name, uint32_t defaultValue) {
    uint32_t value = defaultValue;
    CLocalMachineRegistryObject registry;
    registry.ReadNumber(keyPath, name, value, defaultValue);
    return value;
}

bool ReadCompressedAuto() {
    return ReadMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CompressedAuto", 1) != 0;
}

std::string DataDirectory() {
    const char* dir = std::getenv("KESTANE_DATA_DIR");
    return dir && *dir ? std::string(dir) : std::string("/var/lib/kestane/vantor");
}

}  // namespace objectkit::files

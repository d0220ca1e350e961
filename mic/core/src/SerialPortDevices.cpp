// "COMn" to device path, kept in the machine hive so that an operator can point a port at a
// USB adapter (kreg set) without rebuilding anything.
#include <string>

#include "mic/core/SerialPort.h"

#if __has_include(<platform/registry.h>)
#include <platform/registry.h>
#define MIC_HAVE_REGISTRY 1
#endif

namespace mic {

namespace {

#ifdef MIC_HAVE_REGISTRY
bool QueryPortValue(const std::string& name, platform::registry::Value& value) {
    namespace reg = platform::registry;
    reg::Key key;
    if (reg::Key::root(reg::Hive::LocalMachine).open(kSerialPortsKey, key) != reg::Status::Ok) {
        return false;
    }
    return key.query(name, value) == reg::Status::Ok;
}
#endif

}  // namespace

std::string SerialDevicePath(uint32_t portNumber) {
#ifdef MIC_HAVE_REGISTRY
    platform::registry::Value value;
    if (QueryPortValue("COM" + std::to_string(portNumber), value) &&
        (value.type == platform::registry::REG_SZ ||
         value.type == platform::registry::REG_EXPAND_SZ)) {
        // Stored text may or may not carry its terminating zero.
        std::string path(value.data.begin(), value.data.end());
        path = path.substr(0, path.find('\0'));
        if (!path.empty()) {
            return path;
        }
    }
#endif
    if (portNumber >= 1 && portNumber <= 4) {
        return "/dev/ttyS" + std::to_string(portNumber - 1);
    }
    return std::string();
}

bool SerialPortWantsRs485(uint32_t portNumber) {
#ifdef MIC_HAVE_REGISTRY
    platform::registry::Value value;
    if (QueryPortValue("COM" + std::to_string(portNumber) + " RS485", value) &&
        value.type == platform::registry::REG_DWORD && value.data.size() == 4) {
        return value.data[0] != 0 || value.data[1] != 0 || value.data[2] != 0 || value.data[3] != 0;
    }
#endif
    return false;
}

}  // namespace mic

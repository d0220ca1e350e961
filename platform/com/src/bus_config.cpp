#include "bus_config.h"

#include <cstdlib>
#include <cstring>

#include <platform/registry.h>

namespace platform::com::detail {
namespace {

using platform::registry::Hive;
using platform::registry::Key;
using platform::registry::Status;
using platform::registry::Value;

bool ReadMachineValue(const std::string& path, const char* name, Value& value) {
    Key key;
    return Key::root(Hive::LocalMachine).open(path, key) == Status::Ok &&
           key.query(name, value) == Status::Ok;
}

std::string TextOf(const Value& value) {
    std::string text(value.data.begin(), value.data.end());
    return text.substr(0, text.find('\0'));
}

// A well-known bus name: two or more dot-separated elements of [A-Za-z0-9_-], none starting
// with a digit, 255 characters at most.
bool IsWellKnownBusName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.front() == '.' || name.back() == '.') {
        return false;
    }
    bool elementStart = true;
    int dots = 0;
    for (char c : name) {
        if (c == '.') {
            if (elementStart) {
                return false;
            }
            ++dots;
            elementStart = true;
            continue;
        }
        const bool letter =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && !elementStart)) {
            return false;
        }
        elementStart = false;
    }
    return dots >= 1;
}

}  // namespace

BusChoice ParseBusChoice(const std::string& text) {
    if (text.empty() || text == "session") {
        return {};
    }
    if (text == "system") {
        return {BusChoice::System, {}};
    }
    return {BusChoice::Address, text};
}

BusChoice ConfiguredBus() {
    if (const char* env = std::getenv("KESTANE_COM_BUS"); env && *env) {
        return ParseBusChoice(env);
    }
    Value value;
    if (ReadMachineValue(kComSettingsKey, "Bus", value) && value.type == registry::REG_SZ) {
        return ParseBusChoice(TextOf(value));
    }
    return {};
}

uint64_t CallTimeoutUsec() {
    static const uint64_t timeout = [] {
        Value value;
        uint32_t ms = 10000;
        if (ReadMachineValue(kComSettingsKey, "CallTimeoutMs", value) &&
            value.type == registry::REG_DWORD && value.data.size() == 4) {
            std::memcpy(&ms, value.data.data(), 4);
        }
        return uint64_t{ms == 0 ? 10000u : ms} * 1000;
    }();
    return timeout;
}

std::string ClassKeyPath(REFCLSID clsid) {
    return "Software\\Classes\\CLSID\\" + ToString(clsid);
}

HRESULT ServerBusName(REFCLSID clsid, std::string& name) {
    Key key;
    const Status opened = Key::root(Hive::LocalMachine).open(ClassKeyPath(clsid), key);
    if (opened == Status::NotFound) {
        return REGDB_E_CLASSNOTREG;
    }
    if (opened != Status::Ok) {
        return REGDB_E_READREGDB;
    }
    Value value;
    const Status read = key.query("BusName", value);
    if (read == Status::NotFound) {
        return REGDB_E_CLASSNOTREG;
    }
    if (read != Status::Ok || value.type != registry::REG_SZ) {
        return REGDB_E_READREGDB;
    }
    name = TextOf(value);
    return IsWellKnownBusName(name) ? S_OK : REGDB_E_READREGDB;
}

}  // namespace platform::com::detail

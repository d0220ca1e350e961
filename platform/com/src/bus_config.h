// Where the object server lives: which bus, which name, how long a call may take.
//
// The bus: $KESTANE_COM_BUS when set, else the REG_SZ value "Bus" of HKLM\Software\Kestane\Com,
// else the session bus. Either holds "session", "system" or a D-Bus address
// ("unix:path=/run/rook/bus", "unixexec:path=ssh,argv1=-xT,argv2=host,argv3=systemd-stdio-bridge").
// The call time-out: REG_DWORD "CallTimeoutMs" of that key, default 10000.
// The server of a class: REG_SZ "BusName" of HKLM\Software\Classes\CLSID\{class id}.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/types.h"

namespace platform::com::detail {

struct BusChoice {
    enum Kind { Session, System, Address } kind = Session;
    std::string address;
};

BusChoice ConfiguredBus();
// Parses "session", "system" or an address (anything else that is not empty).
BusChoice ParseBusChoice(const std::string& text);
uint64_t CallTimeoutUsec();

// The bus name registered for the class: REGDB_E_CLASSNOTREG when there is none,
// REGDB_E_READREGDB when the hive cannot be read or the name is not a valid bus name.
HRESULT ServerBusName(REFCLSID clsid, std::string& name);

inline constexpr char kComSettingsKey[] = "Software\\Kestane\\Com";
std::string ClassKeyPath(REFCLSID clsid);

}  // namespace platform::com::detail

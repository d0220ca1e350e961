// The client's stand-ins for a remote server: its class factory, its instances (data objects)
// and the advise sinks the client exports for them.
#pragma once

#include <string>

#include "platform/com/interfaces.h"

namespace platform::com::detail {

// A class factory proxy for the server that owns `busName` (an activatable name is started).
HRESULT ConnectClassFactory(const std::string& busName, REFCLSID clsid, IClassFactory** out);

}  // namespace platform::com::detail

// Seams between the in-process part of the object-server calls and the bus transport.
#pragma once

#include <string_view>

#include "platform/com/interfaces.h"
#include "platform/com/loop.h"

namespace platform::com::detail {

// Connects to the server that the machine hive names for `clsid` and gives its class object.
HRESULT GetRemoteClassObject(REFCLSID clsid, REFIID iid, void** object);

// The number of a clipboard format name, agreed between processes.
CLIPFORMAT SharedClipboardFormat(std::string_view name);
// The number the name hashes to, before any in-process collision is resolved.
CLIPFORMAT HashedClipboardFormat(std::string_view name);

// The calling thread's connection: what to wait for, and dispatching what is pending.
LoopWait ConnectionWait();
int ProcessConnection();

}  // namespace platform::com::detail

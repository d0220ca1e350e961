// Finding a class's server and its class object.
//
// CoGetClassObject first looks among the class objects registered in this process
// (CoRegisterClassObject: a server hosted in-process, or a test's fake), then, for
// CLSCTX_LOCAL_SERVER, asks the machine hive which bus name serves the class and connects to it
// over the bus (see README.md beside this header).
#pragma once

#include "platform/com/interfaces.h"

namespace platform::com {

// Calling thread: prepares its use of the object server (its bus connection is opened lazily on
// first use). Counted; S_FALSE when already initialised on this thread.
HRESULT CoInitialize(void* reserved = nullptr);
void CoUninitialize();

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid,
                         void** object);

// Makes `classObject` the answer to CoGetClassObject for `clsid` in this process until revoked.
// The registration holds a reference. `cookie` receives the number to revoke it with.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD flags,
                              DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

// Registered clipboard formats: one number per name (case-insensitive), from 0xC000 upwards,
// the same in every process of the machine. 0 for an empty name.
CLIPFORMAT RegisterClipboardFormat(const char* name);

}  // namespace platform::com

#include "platform/com/activation.h"

#include <map>
#include <mutex>

#include "detail.h"

namespace platform::com {
namespace {

struct Registration {
    CLSID clsid;
    IUnknown* object;
};

struct Registrations {
    std::mutex mutex;
    std::map<DWORD, Registration> byCookie;
    DWORD next = 1;
};

Registrations& Table() {
    static auto* table = new Registrations;  // outlives static destructors
    return *table;
}

thread_local int initCount = 0;

}  // namespace

HRESULT CoInitialize(void*) {
    return initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (initCount > 0) {
        --initCount;
    }
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD, DWORD, DWORD* cookie) {
    if (!classObject || !cookie) {
        return E_INVALIDARG;
    }
    classObject->AddRef();
    Registrations& t = Table();
    std::lock_guard lock(t.mutex);
    *cookie = t.next++;
    t.byCookie[*cookie] = Registration{clsid, classObject};
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    IUnknown* object = nullptr;
    {
        Registrations& t = Table();
        std::lock_guard lock(t.mutex);
        auto it = t.byCookie.find(cookie);
        if (it == t.byCookie.end()) {
            return E_INVALIDARG;
        }
        object = it->second.object;
        t.byCookie.erase(it);
    }
    object->Release();
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    IUnknown* local = nullptr;
    {
        Registrations& t = Table();
        std::lock_guard lock(t.mutex);
        for (auto& [cookie, reg] : t.byCookie) {
            if (reg.clsid == clsid) {
                local = reg.object;
                local->AddRef();
                break;
            }
        }
    }
    if (local) {
        const HRESULT hr = local->QueryInterface(iid, object);
        local->Release();
        return hr;
    }
    if (!(context & CLSCTX_LOCAL_SERVER)) {
        return REGDB_E_CLASSNOTREG;
    }
    return detail::GetRemoteClassObject(clsid, iid, object);
}

CLIPFORMAT RegisterClipboardFormat(const char* name) {
    if (!name || !*name) {
        return 0;
    }
    return detail::SharedClipboardFormat(name);
}

}  // namespace platform::com

// A client of the server class as a proxy makes one: an instance's data object, attach and
// command blocks, and a sink that records what is pushed.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "Blocks.h"
#include "RookServer.h"
#include "TestSink.h"
#include "platform/com/activation.h"
#include "platform/com/global_memory.h"

namespace rookd::testing {

using namespace platform::com;

inline FORMATETC RookFormat() {
    FORMATETC f;
    f.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    f.dwAspect = static_cast<DWORD>(getpid());
    return f;
}

inline IDataObject* NewInstance() {
    void* factory = nullptr;
    if (CoGetClassObject(kServerClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &factory) !=
        S_OK) {
        return nullptr;
    }
    void* data = nullptr;
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IDataObject, &data);
    static_cast<IClassFactory*>(factory)->Release();
    return static_cast<IDataObject*>(data);
}

inline HRESULT Send(IDataObject* data, const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, bytes.size());
    if (!bytes.empty()) {
        std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
        GlobalUnlock(h);
    }
    FORMATETC format = RookFormat();
    STGMEDIUM medium{TYMED_HGLOBAL, h, nullptr};
    const HRESULT hr = data->SetData(&format, &medium, 0);
    GlobalFree(h);
    return hr;
}

inline HRESULT Advise(IDataObject* data, IAdviseSink* sink, DWORD* connection) {
    FORMATETC format = RookFormat();
    return data->DAdvise(&format, ADVF_NODATA, sink, connection);
}

inline HRESULT Read(IDataObject* data, std::vector<uint8_t>& bytes) {
    FORMATETC format = RookFormat();
    format.dwAspect = 0xFFFFFFFF;
    STGMEDIUM medium;
    const HRESULT hr = data->GetData(&format, &medium);
    bytes.clear();
    if (medium.hGlobal) {
        auto* p = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal));
        bytes.assign(p, p + GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        GlobalFree(medium.hGlobal);
    }
    return hr;
}

}  // namespace rookd::testing

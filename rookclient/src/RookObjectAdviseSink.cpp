#include "rookclient/RookObjectAdviseSink.h"

#include <platform/com/global_memory.h>

using namespace platform::com;

HRESULT CRookObjectAdviseSink::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IAdviseSink) {
        *object = static_cast<IAdviseSink*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CRookObjectAdviseSink::AddRef() {
    return ++refs_;
}

ULONG CRookObjectAdviseSink::Release() {
    return --refs_;
}

void CRookObjectAdviseSink::OnDataChange(FORMATETC*, STGMEDIUM* medium) {
    if (medium && medium->hGlobal) {
        GlobalFree(medium->hGlobal);
        medium->hGlobal = nullptr;
    }
}

int CRookObjectAdviseSink::OnLinkIn(_CommsStructure*) {
    return 1;
}

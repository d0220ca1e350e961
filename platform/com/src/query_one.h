// QueryInterface of an object that offers IUnknown and one interface.
#pragma once

#include "platform/com/interfaces.h"

namespace platform::com::detail {

template <class Interface>
HRESULT QueryOne(Interface* self, REFIID own, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == own) {
        *object = self;
        self->AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

}  // namespace platform::com::detail

// The object interfaces of the object-server conversation. Objects are reference counted by
// AddRef/Release; who deletes an object is the object's own business (a proxy's advise sink,
// for one, is deleted by its owner, never by Release).
#pragma once

#include "platform/com/types.h"

namespace platform::com {

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

// Receives the pushes of an advise connection. Called on the thread that asked for the
// connection (DAdvise), while that thread processes its loop. The block in OnDataChange's
// medium belongs to the sink, which frees it with GlobalFree.
struct IAdviseSink : IUnknown {
    virtual void OnDataChange(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual void OnViewChange(DWORD aspect, int32_t index) = 0;
    virtual void OnRename(void* moniker) = 0;
    virtual void OnSave() = 0;
    virtual void OnClose() = 0;

  protected:
    ~IAdviseSink() = default;
};

// One server instance's data: commands go in by SetData, the current image comes out by
// GetData, and DAdvise subscribes a sink to every later image.
struct IDataObject : IUnknown {
    // The medium's hGlobal is a new block owned by the caller (free it with GlobalFree).
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    // The block is copied; with release FALSE the caller keeps and frees it.
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink,
                            DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;

  protected:
    ~IDataObject() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

  protected:
    ~IClassFactory() = default;
};

}  // namespace platform::com

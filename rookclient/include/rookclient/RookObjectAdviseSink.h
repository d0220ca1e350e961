// The receiving end of an advise connection: the object server pushes data blocks to it.
#pragma once

#include <platform/com/interfaces.h>

#include "rookclient/CommsStructure.h"

class CRookObjectAdviseSink : public platform::com::IAdviseSink {
  public:
    CRookObjectAdviseSink() = default;
    CRookObjectAdviseSink(const CRookObjectAdviseSink&) = delete;
    CRookObjectAdviseSink& operator=(const CRookObjectAdviseSink&) = delete;

    // IUnknown and IAdviseSink answer for themselves only.
    platform::com::HRESULT QueryInterface(platform::com::REFIID iid, void** object) override;
    platform::com::ULONG AddRef() override;
    // Never deletes: the sink's owner decides when it goes.
    platform::com::ULONG Release() override;

    // A bare sink takes no data: it frees the pushed block.
    void OnDataChange(platform::com::FORMATETC* format, platform::com::STGMEDIUM* medium) override;
    void OnViewChange(platform::com::DWORD aspect, int32_t index) override {}
    void OnRename(void* moniker) override {}
    void OnSave() override {}
    void OnClose() override {}

    // The hook through which pushed data reaches client code; returns TRUE.
    virtual int OnLinkIn(_CommsStructure* block);

  protected:
    virtual ~CRookObjectAdviseSink() = default;

  private:
    platform::com::ULONG refs_ = 0;
};

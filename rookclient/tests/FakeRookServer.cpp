#include "FakeRookServer.h"

#include <ledger/EventLogEntry.h>
#include <platform/com/activation.h>
#include <platform/com/global_memory.h>
#include <platform/com/loop.h>
#include <platform/notify.h>

#include <cstring>
#include <stdexcept>

#include "RookProcess.h"
#include "rookclient/CommsStructure.h"
#include "rookclient/Environment.h"
#include "rookclient/RookServer.h"

namespace rooktest {

HRESULT FakeInstance::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || (iid == IID_IDataObject && !refuseDataObject)) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeInstance::GetData(FORMATETC* format, STGMEDIUM* medium) {
    calls.push_back("GetData");
    getFormats.push_back(*format);
    GetAnswer answer{rookclient::SERVER_E_NO_DATA, std::nullopt};
    if (!getAnswers.empty()) {
        answer = getAnswers.front();
        getAnswers.pop_front();
    }
    if (answer.block) {
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = GlobalAlloc(0x2042, answer.block->size());
        std::memcpy(GlobalLock(medium->hGlobal), answer.block->data(), answer.block->size());
        GlobalUnlock(medium->hGlobal);
    }
    return answer.hr;
}

HRESULT FakeInstance::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL) {
    calls.push_back("SetData");
    setFormats.push_back(*format);
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(medium->hGlobal));
    sent.emplace_back(bytes, bytes + GlobalSize(medium->hGlobal));
    GlobalUnlock(medium->hGlobal);
    return S_OK;
}

HRESULT FakeInstance::DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* adviseSink,
                              DWORD* cookie) {
    calls.push_back("DAdvise");
    adviseFormats.push_back(*format);
    if (!adviseAnswers.empty()) {
        const HRESULT hr = adviseAnswers.front();
        adviseAnswers.pop_front();
        if (hr != S_OK) {
            return hr;
        }
    }
    if (advf != ADVF_NODATA) {
        throw std::logic_error("advise flags");
    }
    sink = adviseSink;
    connection = nextConnection++;
    *cookie = connection;
    return S_OK;
}

HRESULT FakeInstance::DUnadvise(DWORD cookie) {
    calls.push_back("DUnadvise");
    if (!unadviseAnswers.empty()) {
        const HRESULT hr = unadviseAnswers.front();
        unadviseAnswers.pop_front();
        if (hr != S_OK) {
            return hr;
        }
    }
    if (cookie != connection || !sink) {
        return OLE_E_NOCONNECTION;
    }
    sink = nullptr;
    connection = 0;
    return S_OK;
}

HGLOBAL FakeInstance::Push(const Bytes& bytes) {
    if (!sink) {
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(0x2042, bytes.size());
    if (!bytes.empty()) {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    FORMATETC format{};
    STGMEDIUM medium{TYMED_HGLOBAL, block, nullptr};
    sink->OnDataChange(&format, &medium);
    return block;
}

HRESULT FakeFactory::QueryInterface(REFIID iid, void** object) {
    *object = nullptr;
    if (iid == IID_IClassFactory) {
        ++lookups;
        if (!lookupFailures.empty()) {
            const HRESULT hr = lookupFailures.front();
            lookupFailures.pop_front();
            return hr;
        }
    }
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeFactory::CreateInstance(IUnknown*, REFIID iid, void** object) {
    *object = nullptr;
    if (failCreate) {
        return E_OUTOFMEMORY;
    }
    instances.push_back(std::make_unique<FakeInstance>());
    instances.back()->refuseDataObject = refuseDataObject;
    return instances.back()->QueryInterface(iid, object);
}

Registration::Registration(FakeFactory& factory) {
    CoRegisterClassObject(rookclient::CLSID_RookServer, &factory, CLSCTX_LOCAL_SERVER, 0, &cookie_);
}

Registration::~Registration() {
    CoRevokeClassObject(cookie_);
}

World::World() {
    rookclient::detail::Process().clientMaxRetries = -1;
    platform::notify::SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, uint32_t style) {
            boxes.push_back(caption + "|" + text + "|" + std::to_string(style));
            return platform::notify::IDOK;
        });
    CEventLogEntry::SetSink(
        [this](ledger::Severity, const std::string& text) { entries.push_back(text); });
    rookclient::SetEnvironment({[this](std::chrono::milliseconds d) { sleeps.push_back(d); },
                                [this](int code) { exits.push_back(code); }});
    platform::com::SetQuitHandler([this](int code) { quits.push_back(code); });
}

World::~World() {
    platform::com::SetQuitHandler({});
    rookclient::SetEnvironment({});
    CEventLogEntry::SetSink({});
    platform::notify::SetMessageBoxHandler({});
    rookclient::detail::Process().clientMaxRetries = -1;
}

Bytes MakeBlock(uint32_t command, size_t size, uint32_t statedSize) {
    Bytes block(size, 0);
    if (size >= 4) {
        rookclient::StoreLE32(block.data(), 0, command);
    }
    if (size >= 12) {
        rookclient::StoreLE32(block.data(), 8, statedSize);
    }
    return block;
}

uint32_t U32At(const Bytes& block, size_t offset) {
    return rookclient::LoadLE32(block.data(), offset);
}

}  // namespace rooktest

#include "rookclient/GenericRookObject.h"

#include <ledger/EventLogEntry.h>
#include <platform/com/activation.h>
#include <platform/com/global_memory.h>
#include <unistd.h>

#include <chrono>

#include "RookProcess.h"
#include "rookclient/CommandBlock.h"
#include "rookclient/RookServer.h"

using namespace platform::com;
using namespace rookclient::detail;
using std::chrono::milliseconds;

namespace {

constexpr int kNotReadyBaseDelayMs = 100;
constexpr milliseconds kBootingDelay{5000};
constexpr milliseconds kUnadviseDelay{1};
constexpr milliseconds kReadPollDelay{50};

// The delay before the n-th retry of a not-ready answer: 100 ms for the first nine, 10 ms
// more from every tenth on.
milliseconds NotReadyDelay(int n) {
    return milliseconds((n / 10) * 10 + kNotReadyBaseDelayMs);
}

DWORD ProcessAspect() {
    return static_cast<DWORD>(::getpid());
}

}  // namespace

CGenericRookObject::CGenericRookObject(int adviseEnabled) : adviseEnabled_(adviseEnabled) {
    RookProcess& process = Process();
    if (process.liveProxies == 0) {
        process.factory = ObtainClassFactory();
        process.format = RegisterClipboardFormat(rookclient::kClipboardFormatName);
    }
    ++process.liveProxies;
    if (process.clientMaxRetries < 0) {
        process.clientMaxRetries = ReadClientMaxRetries();
    }
    // Any step that fails leaves the proxy without a data object: it then stays usable and
    // answers as an unreachable server would (see the header).
    if (!process.factory) {
        return;
    }
    void* instance = nullptr;
    if (FAILED(process.factory->CreateInstance(nullptr, IID_IUnknown, &instance)) || !instance) {
        return;
    }
    serverInstance_ = static_cast<IUnknown*>(instance);
    void* data = nullptr;
    if (SUCCEEDED(serverInstance_->QueryInterface(IID_IDataObject, &data)) && data) {
        dataObject_ = static_cast<IDataObject*>(data);
    }
}

CGenericRookObject::~CGenericRookObject() {
    RookProcess& process = Process();
    --process.liveProxies;
    process.subscribed.erase(this);
    if (connection_ && !suspended_) {
        Unadvise();
    }
    if (dataObject_) {
        dataObject_->Release();
    }
    if (serverInstance_) {
        serverInstance_->Release();
    }
    Release();
    if (process.liveProxies == 0 && process.factory) {
        process.factory->Release();
        process.factory = nullptr;
    }
}

FORMATETC CGenericRookObject::Format(DWORD aspect, int32_t index) const {
    return FORMATETC{Process().format, nullptr, aspect, index, TYMED_NULL};
}

long CGenericRookObject::SendData(HGLOBAL block) {
    if (!dataObject_) {
        return RPC_S_SERVER_UNAVAILABLE;
    }
    FORMATETC format = Format(ProcessAspect(), -1);
    STGMEDIUM medium{TYMED_HGLOBAL, block, nullptr};
    return dataObject_->SetData(&format, &medium, 0);
}

void CGenericRookObject::StartAdvise(int readNow) {
    if (!adviseEnabled_) {
        return;
    }
    if (!dataObject_) {
        if (!unconnectedReported_) {
            unconnectedReported_ = true;
            CEventLogEntry entry;
            entry.ReportError(
                {"Rookclient has no connection to the server for", GetServerObjectName()});
        }
        return;
    }
    RookProcess& process = Process();
    process.subscribed.insert(this);
    suspended_ = 0;
    // One connection per proxy: a second StartAdvise without StopAdvise would otherwise lose
    // the first connection's cookie, and with it every way to end that connection.
    if (connection_) {
        Unadvise();
    }
    FORMATETC format = Format(ProcessAspect(), -1);
    AddRef();
    int notReady = 0;
    for (;;) {
        const HRESULT hr = dataObject_->DAdvise(&format, ADVF_NODATA, this, &connection_);
        if (hr == RPC_S_SERVER_UNAVAILABLE) {
            connection_ = 0;
            ServerGone(GoneAfter::Attaching, GetServerObjectName());
            return;
        }
        if (hr == rookclient::SERVER_E_NOT_READY) {
            Trace("%s not ready in RookServer\n", GetServerObjectName().c_str());
            ++notReady;
            if (notReady > process.clientMaxRetries) {
                connection_ = 0;
                TimedOut(GetServerObjectName());
                return;
            }
            Sleep(NotReadyDelay(notReady));
            continue;
        }
        if (hr == rookclient::SERVER_E_BOOTING) {
            Trace("RookServer is booting the desk\n");
            Sleep(kBootingDelay);
            continue;
        }
        break;
    }
    if (readNow) {
        dataReceived_ = 1;
        if (HGLOBAL block = ReadData(-1)) {
            DeliverAndFree(block);
        }
    }
}

void CGenericRookObject::StopAdvise() {
    suspended_ = 1;
    if (connection_) {
        Unadvise();
    }
}

// A server that keeps answering not ready is asked no longer than the retry limit allows;
// the connection is then given up on this side instead of hanging the thread for good.
void CGenericRookObject::Unadvise() {
    const int limit = Process().clientMaxRetries;
    for (int n = 0; dataObject_; ++n) {
        if (dataObject_->DUnadvise(connection_) != rookclient::SERVER_E_NOT_READY || n >= limit) {
            break;
        }
        Sleep(kUnadviseDelay);
    }
    connection_ = 0;
}

HGLOBAL CGenericRookObject::ReadData(long index) {
    if (!dataObject_) {
        return nullptr;
    }
    FORMATETC format = Format(0xFFFFFFFF, static_cast<int32_t>(index));
    STGMEDIUM medium{TYMED_HGLOBAL, nullptr, nullptr};
    for (;;) {
        const HRESULT hr = dataObject_->GetData(&format, &medium);
        if (hr == rookclient::SERVER_E_NO_DATA) {
            return medium.hGlobal;
        }
        if (hr == RPC_S_SERVER_UNAVAILABLE) {
            GlobalFree(medium.hGlobal);
            ServerGone(GoneAfter::GetData, GetServerObjectName());
            return nullptr;
        }
        if (medium.hGlobal) {
            return medium.hGlobal;
        }
        Sleep(kReadPollDelay);
    }
}

void CGenericRookObject::OnDataChange(FORMATETC*, STGMEDIUM* medium) {
    HGLOBAL block = medium ? medium->hGlobal : nullptr;
    if (medium) {
        medium->hGlobal = nullptr;  // the proxy frees it, nobody else
    }
    dataReceived_ = 1;
    if (suspended_) {
        Trace("Data received for suspended object.Is that right ?\n");
        GlobalFree(block);
        return;
    }
    DeliverAndFree(block);
}

// Hands the block to OnLinkIn unless it is missing or shorter than its header, then frees it.
void CGenericRookObject::DeliverAndFree(HGLOBAL block) {
    void* bytes = GlobalLock(block);
    const size_t size = GlobalSize(block);
    if (bytes && size >= rookclient::kHeaderSize) {
        const void* outerBlock = deliveredBlock_;
        const size_t outerSize = deliveredSize_;
        deliveredBlock_ = bytes;
        deliveredSize_ = size;
        OnLinkIn(static_cast<_CommsStructure*>(bytes));
        deliveredBlock_ = outerBlock;
        deliveredSize_ = outerSize;
    } else {
        Trace("NULL DATA RECEIVED FROM ROOKSERVER !\n");
    }
    if (bytes) {
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

const uint8_t* CGenericRookObject::CheckedBlock(const _CommsStructure* block, size_t minSize,
                                                size_t maxSize) const {
    if (!block || block != deliveredBlock_ || deliveredSize_ < rookclient::kHeaderSize) {
        return nullptr;
    }
    const size_t stated = rookclient::LoadLE32(block, rookclient::kBlockSizeOffset);
    if (stated != deliveredSize_ || stated < minSize || stated > maxSize) {
        return nullptr;
    }
    return reinterpret_cast<const uint8_t*>(block);
}

void CGenericRookObject::CancelRookCommand() {
    rookclient::Command(*this, rookclient::kCancelCommand, rookclient::kHeaderSize);
}

void CGenericRookObject::Suspend() {
    if (!suspended_) {
        StopAdvise();
    }
}

void CGenericRookObject::ReActivate() {
    if (suspended_) {
        StartAdvise(1);
    }
}

// Both walk a copy of the subscribed set: a delivery during ReActivate may destroy proxies.
void CGenericRookObject::SuspendAll() {
    const auto proxies = Process().subscribed;
    for (CGenericRookObject* proxy : proxies) {
        if (Process().subscribed.count(proxy)) {
            proxy->Suspend();
        }
    }
}

void CGenericRookObject::ReActivateAll() {
    const auto proxies = Process().subscribed;
    for (CGenericRookObject* proxy : proxies) {
        if (Process().subscribed.count(proxy)) {
            proxy->ReActivate();
        }
    }
}

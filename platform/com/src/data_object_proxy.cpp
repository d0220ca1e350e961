#include "data_object_proxy.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/com/global_memory.h"
#include "query_one.h"
#include "sink_export.h"
#include "wire.h"

namespace platform::com::detail {
namespace {

class DataObjectProxy final : public IDataObject {
  public:
    DataObjectProxy(std::string server, std::string path, std::shared_ptr<ServerWatch> watch)
        : server_(std::move(server)), path_(std::move(path)), watch_(std::move(watch)) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return detail::QueryOne<IDataObject>(this, IID_IDataObject, iid, object);
    }

    ULONG AddRef() override { return ++refs_; }

    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            Call(
                "Release", [](sd_bus_message*) { return 0; }, nullptr, /*wait=*/false);
            delete this;
        }
        return left;
    }

    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) {
            return E_POINTER;
        }
        *medium = STGMEDIUM{};
        MessagePtr reply;
        HRESULT hr = Call(
            "GetData",
            [&](sd_bus_message* m) { return wire::AppendFormat(m, wire::ToWire(*format)); },
            &reply);
        if (FAILED(hr)) {
            return hr;
        }
        wire::GetDataReply answer;
        if (wire::DecodeGetDataReply(reply.get(), answer) < 0) {
            return E_UNEXPECTED;
        }
        if (answer.tymed == TYMED_HGLOBAL) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, answer.block.size);
            if (!block) {
                return E_OUTOFMEMORY;
            }
            if (answer.block.size) {
                std::memcpy(GlobalLock(block), answer.block.data, answer.block.size);
                GlobalUnlock(block);
            }
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
        }
        return answer.result;
    }

    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
        if (!format || !medium) {
            return E_POINTER;
        }
        if (medium->tymed != TYMED_HGLOBAL) {
            return DV_E_TYMED;
        }
        const size_t size = GlobalSize(medium->hGlobal);
        if (size > wire::kMaxBlockSize) {
            return E_INVALIDARG;
        }
        void* bytes = GlobalLock(medium->hGlobal);
        if (!bytes) {
            return DV_E_TYMED;  // not a live block
        }
        MessagePtr reply;
        HRESULT hr = Call(
            "SetData",
            [&](sd_bus_message* m) {
                int r = wire::AppendFormat(m, wire::ToWire(*format));
                return r < 0 ? r : wire::AppendBlock(m, bytes, size);
            },
            &reply);
        GlobalUnlock(medium->hGlobal);
        hr = ResultOf(hr, reply.get());
        if (SUCCEEDED(hr) && release) {
            GlobalFree(medium->hGlobal);
            *medium = STGMEDIUM{};
        }
        return hr;
    }

    HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override {
        if (!format || !sink || !connection) {
            return E_POINTER;
        }
        *connection = 0;
        if (watch_->IsGone(server_)) {
            return RPC_S_SERVER_UNAVAILABLE;
        }
        std::unique_ptr<SinkExport> exported;
        HRESULT hr = SinkExport::Create(sink, server_, exported);
        if (FAILED(hr)) {
            return hr;
        }
        MessagePtr reply;
        hr = Call(
            "DAdvise",
            [&](sd_bus_message* m) {
                int r = wire::AppendFormat(m, wire::ToWire(*format));
                return r < 0 ? r : sd_bus_message_append(m, "uo", advf, exported->path().c_str());
            },
            &reply);
        if (FAILED(hr)) {
            return hr;
        }
        wire::DAdviseReply answer;
        if (wire::DecodeDAdviseReply(reply.get(), answer) < 0) {
            return E_UNEXPECTED;
        }
        if (SUCCEEDED(answer.result)) {
            std::lock_guard lock(mutex_);
            *connection = answer.connection;
            sinks_[answer.connection] = std::move(exported);
        }
        return answer.result;
    }

    HRESULT DUnadvise(DWORD connection) override {
        {
            std::lock_guard lock(mutex_);
            if (!sinks_.count(connection)) {
                return OLE_E_NOCONNECTION;
            }
        }
        MessagePtr reply;
        HRESULT hr = Call(
            "DUnadvise",
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", connection); }, &reply);
        hr = ResultOf(hr, reply.get());
        // The sink stays exported only while the server may still push to it.
        if (SUCCEEDED(hr) || hr == OLE_E_NOCONNECTION || hr == RPC_S_SERVER_UNAVAILABLE) {
            std::unique_ptr<SinkExport> dropped;
            std::lock_guard lock(mutex_);
            auto it = sinks_.find(connection);
            if (it != sinks_.end()) {
                dropped = std::move(it->second);
                sinks_.erase(it);
            }
        }
        return hr;
    }

  private:
    ~DataObjectProxy() = default;

    // Builds the call, lets `append` add its arguments, sends it and (with `wait`) waits for
    // the reply.
    template <typename Append>
    HRESULT Call(const char* member, Append append, MessagePtr* reply, bool wait = true) {
        if (watch_->IsGone(server_)) {
            return RPC_S_SERVER_UNAVAILABLE;
        }
        MessagePtr call;
        HRESULT hr = NewMethodCall(server_, path_, wire::kDataObjectInterface, member, call);
        if (FAILED(hr)) {
            return hr;
        }
        if (append(call.get()) < 0) {
            return E_OUTOFMEMORY;
        }
        if (!wait) {
            sd_bus_message_set_expect_reply(call.get(), 0);
            return sd_bus_send(nullptr, call.get(), nullptr) < 0 ? E_FAIL : S_OK;
        }
        return CallMethod(call.get(), *reply);
    }

    // The result code of a call that answers with one.
    static HRESULT ResultOf(HRESULT callResult, sd_bus_message* reply) {
        if (FAILED(callResult)) {
            return callResult;
        }
        HRESULT answer = S_OK;
        return wire::DecodeResult(reply, answer) < 0 ? E_UNEXPECTED : answer;
    }

    std::atomic<ULONG> refs_{1};
    const std::string server_;
    const std::string path_;
    const std::shared_ptr<ServerWatch> watch_;
    std::mutex mutex_;
    std::map<DWORD, std::unique_ptr<SinkExport>> sinks_;
};

}  // namespace

IDataObject* MakeDataObjectProxy(std::string uniqueName, std::string path,
                                 std::shared_ptr<ServerWatch> watch) {
    return new DataObjectProxy(std::move(uniqueName), std::move(path), std::move(watch));
}

}  // namespace platform::com::detail

#include <atomic>
#include <cstring>

#include "bus_config.h"
#include "client_proxies.h"
#include "data_object_proxy.h"
#include "detail.h"
#include "query_one.h"
#include "thread_bus.h"
#include "wire.h"

namespace platform::com::detail {
namespace {

constexpr char kBusService[] = "org.freedesktop.DBus";
constexpr char kBusPath[] = "/org/freedesktop/DBus";

class ClassFactoryProxy final : public IClassFactory {
  public:
    ClassFactoryProxy(std::string busName, const CLSID& clsid)
        : busName_(std::move(busName)), clsid_(clsid), watch_(std::make_shared<ServerWatch>()) {}

    // Calling thread: follows the owners of the name from now on; call before looking it up.
    HRESULT Watch() {
        HRESULT hr = RPC_S_SERVER_UNAVAILABLE;
        sd_bus* bus = ThreadBus(&hr);
        if (!bus) {
            return hr;
        }
        const std::string rule =
            "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
            "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
            busName_ + "'";
        auto* watch = new std::shared_ptr<ServerWatch>(watch_);
        const int r = sd_bus_add_match(bus, &slot_, rule.c_str(), OwnerChanged, watch);
        if (r < 0) {
            delete watch;
            return E_FAIL;
        }
        sd_bus_slot_set_destroy_callback(
            slot_, [](void* p) { delete static_cast<std::shared_ptr<ServerWatch>*>(p); });
        home_ = CurrentThreadHome();
        return S_OK;
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return detail::QueryOne<IClassFactory>(this, IID_IClassFactory, iid, object);
    }

    ULONG AddRef() override { return ++refs_; }

    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer) {
            return CLASS_E_NOAGGREGATION;
        }
        MessagePtr call, reply;
        HRESULT hr = NewMethodCall(busName_, wire::kFactoryPath, wire::kFactoryInterface,
                                   "CreateInstance", call);
        if (SUCCEEDED(hr) && sd_bus_message_append(call.get(), "s", ToString(clsid_).c_str()) < 0) {
            hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr)) {
            hr = CallMethod(call.get(), reply);
        }
        if (FAILED(hr)) {
            return hr;
        }
        wire::CreateInstanceReply answer;
        const char* server = sd_bus_message_get_sender(reply.get());
        if (wire::DecodeCreateInstanceReply(reply.get(), answer) < 0 || !server) {
            return E_UNEXPECTED;
        }
        if (FAILED(answer.result)) {
            return answer.result;
        }
        IDataObject* instance = MakeDataObjectProxy(server, answer.path, watch_);
        hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    }

    HRESULT LockServer(BOOL lock) override {
        MessagePtr call, reply;
        HRESULT hr = NewMethodCall(busName_, wire::kFactoryPath, wire::kFactoryInterface,
                                   "LockServer", call);
        if (SUCCEEDED(hr) && sd_bus_message_append(call.get(), "b", lock != 0) < 0) {
            hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr)) {
            hr = CallMethod(call.get(), reply);
        }
        HRESULT answer = hr;
        if (SUCCEEDED(hr) && wire::DecodeResult(reply.get(), answer) < 0) {
            answer = E_UNEXPECTED;
        }
        return answer;
    }

  private:
    ~ClassFactoryProxy() {
        if (!slot_) {
            return;
        }
        auto home = home_.lock();
        if (home && home->owner != std::this_thread::get_id()) {
            home->ReleaseLater(slot_);
        } else {
            sd_bus_slot_unref(slot_);
        }
    }

    static int OwnerChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
        const char* name = nullptr;
        const char* oldOwner = nullptr;
        const char* newOwner = nullptr;
        if (sd_bus_message_read(m, "sss", &name, &oldOwner, &newOwner) >= 0 && oldOwner &&
            *oldOwner) {
            (*static_cast<std::shared_ptr<ServerWatch>*>(userdata))->Left(oldOwner);
        }
        return 0;
    }

    std::atomic<ULONG> refs_{1};
    const std::string busName_;
    const CLSID clsid_;
    std::shared_ptr<ServerWatch> watch_;
    sd_bus_slot* slot_ = nullptr;
    std::weak_ptr<ThreadHome> home_;
};

// Asks the bus whether the name has an owner; when it has none, asks the bus to start its
// service (D-Bus activation). S_OK once an owner exists.
HRESULT EnsureOwner(const std::string& busName) {
    MessagePtr call, reply;
    HRESULT hr = NewMethodCall(kBusService, kBusPath, kBusService, "GetNameOwner", call);
    if (SUCCEEDED(hr) && sd_bus_message_append(call.get(), "s", busName.c_str()) < 0) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (SUCCEEDED(CallMethod(call.get(), reply))) {
        return S_OK;
    }
    hr = NewMethodCall(kBusService, kBusPath, kBusService, "StartServiceByName", call);
    if (SUCCEEDED(hr) && sd_bus_message_append(call.get(), "su", busName.c_str(), 0u) < 0) {
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) {
        hr = CallMethod(call.get(), reply);
    }
    if (hr == RPC_S_SERVER_UNAVAILABLE || hr == E_FAIL) {
        return CO_E_SERVER_EXEC_FAILURE;  // no such service, or it failed to start
    }
    return hr;
}

}  // namespace

HRESULT ConnectClassFactory(const std::string& busName, REFCLSID clsid, IClassFactory** out) {
    *out = nullptr;
    auto* factory = new ClassFactoryProxy(busName, clsid);
    HRESULT hr = factory->Watch();
    if (SUCCEEDED(hr)) {
        hr = EnsureOwner(busName);
    }
    if (FAILED(hr)) {
        factory->Release();
        return hr;
    }
    *out = factory;
    return S_OK;
}

HRESULT GetRemoteClassObject(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    std::string busName;
    HRESULT hr = ServerBusName(clsid, busName);
    if (FAILED(hr)) {
        return hr;
    }
    IClassFactory* factory = nullptr;
    hr = ConnectClassFactory(busName, clsid, &factory);
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

}  // namespace platform::com::detail

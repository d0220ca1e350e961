#include "platform/com/class_server.h"

#include <map>

#include "bus_result.h"
#include "platform/com/bus.h"
#include "thread_bus.h"
#include "wire.h"

namespace platform::com {
namespace {

using detail::MessagePtr;
using detail::SlotPtr;

struct AdviseConnection {
    std::string client;
    std::string sinkPath;
    wire::Format format;
};

struct InstanceRecord {
    ClassServer::Impl* server = nullptr;
    InstanceId id = 0;
    std::string creator;
    std::unique_ptr<ServerInstance> object;
    SlotPtr slot;
    std::map<DWORD, AdviseConnection> advises;
};

int ReplyResult(sd_bus_message* m, HRESULT hr) {
    return sd_bus_reply_method_return(m, "i", hr);
}

int BadArguments(sd_bus_error* error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "arguments of another shape");
}

}  // namespace

struct ClassServer::Impl {
    sd_bus* bus = nullptr;
    std::string busName;
    CLSID clsid;
    Factory factory;
    SlotPtr factorySlot;
    std::map<InstanceId, std::unique_ptr<InstanceRecord>> instances;
    std::map<std::string, SlotPtr> clients;  // unique name -> its NameOwnerChanged match
    InstanceId nextInstance = 1;
    DWORD nextAdvise = 1;

    // Follows `client` so that its instances and sinks go when it leaves. False when it has
    // already left.
    bool Track(const std::string& client);
    void ClientLeft(const std::string& client);
    HRESULT CreateInstance(sd_bus_message* m, std::string& path);
};

namespace {

int OnClientOwnerChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &oldOwner, &newOwner) >= 0 && newOwner && !*newOwner) {
        static_cast<ClassServer::Impl*>(userdata)->ClientLeft(name);
    }
    return 0;
}

// --- instance methods -------------------------------------------------------------------

InstanceRecord* RecordOf(void* userdata) {
    return static_cast<InstanceRecord*>(userdata);
}

int OnSetData(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    wire::SetDataArgs args;
    if (wire::DecodeSetData(m, args) < 0) {
        return BadArguments(error);
    }
    return ReplyResult(m, RecordOf(userdata)->object->SetData(wire::FromWire(args.format),
                                                              {args.block.data, args.block.size}));
}

int OnGetData(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    wire::Format format;
    if (wire::DecodeGetData(m, format) < 0) {
        return BadArguments(error);
    }
    std::optional<std::vector<uint8_t>> block;
    HRESULT hr = RecordOf(userdata)->object->GetData(wire::FromWire(format), block);
    if (block && block->size() > wire::kMaxBlockSize) {
        block.reset();
        hr = E_OUTOFMEMORY;
    }
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    if (r < 0) {
        return r;
    }
    MessagePtr owned(reply);
    const uint32_t tymed = block ? TYMED_HGLOBAL : TYMED_NULL;
    if ((r = sd_bus_message_append(reply, "iu", hr, tymed)) < 0 ||
        (r = wire::AppendBlock(reply, block ? block->data() : nullptr, block ? block->size() : 0)) <
            0) {
        return r;
    }
    return sd_bus_send(nullptr, reply, nullptr);
}

int OnDAdvise(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    wire::DAdviseArgs args;
    if (wire::DecodeDAdvise(m, args) < 0) {
        return BadArguments(error);
    }
    InstanceRecord* record = RecordOf(userdata);
    const char* client = sd_bus_message_get_sender(m);
    const HRESULT hr = record->object->Advise(wire::FromWire(args.format), args.advf);
    if (FAILED(hr)) {
        return sd_bus_reply_method_return(m, "iu", hr, 0u);
    }
    if (!client || !record->server->Track(client)) {
        return sd_bus_reply_method_return(m, "iu", RPC_S_SERVER_UNAVAILABLE, 0u);
    }
    const DWORD id = record->server->nextAdvise++;
    record->advises[id] = AdviseConnection{client, args.sinkPath, args.format};
    return sd_bus_reply_method_return(m, "iu", hr, id);
}

int OnDUnadvise(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    uint32_t id = 0;
    if (wire::DecodeDUnadvise(m, id) < 0) {
        return BadArguments(error);
    }
    const bool had = RecordOf(userdata)->advises.erase(id) != 0;
    return ReplyResult(m, had ? S_OK : OLE_E_NOCONNECTION);
}

int OnRelease(sd_bus_message* m, void* userdata, sd_bus_error*) {
    InstanceRecord* record = RecordOf(userdata);
    const int r = sd_bus_reply_method_return(m, "");
    record->server->instances.erase(record->id);  // the record is gone after this line
    return r;
}

const sd_bus_vtable kDataObjectVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS(
        "GetData", SD_BUS_ARGS("q", format, "u", aspect, "i", index, "u", tymed),
        SD_BUS_RESULT("i", result, "u", tymed, "ay", block), OnGetData, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS(
        "SetData", SD_BUS_ARGS("q", format, "u", aspect, "i", index, "u", tymed, "ay", block),
        SD_BUS_RESULT("i", result), OnSetData, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS(
        "DAdvise",
        SD_BUS_ARGS("q", format, "u", aspect, "i", index, "u", tymed, "u", advf, "o", sink),
        SD_BUS_RESULT("i", result, "u", connection), OnDAdvise, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("DUnadvise", SD_BUS_ARGS("u", connection), SD_BUS_RESULT("i", result),
                            OnDUnadvise, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Release", "", "", OnRelease, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

// --- factory methods --------------------------------------------------------------------

int OnCreateInstance(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    std::string path;
    const HRESULT hr = static_cast<ClassServer::Impl*>(userdata)->CreateInstance(m, path);
    if (hr == E_INVALIDARG) {
        return BadArguments(error);
    }
    return sd_bus_reply_method_return(m, "io", hr, SUCCEEDED(hr) ? path.c_str() : "/");
}

int OnLockServer(sd_bus_message* m, void*, sd_bus_error* error) {
    int lock = 0;
    if (sd_bus_message_read(m, "b", &lock) < 0) {
        return BadArguments(error);
    }
    return ReplyResult(m, S_OK);  // the server's lifetime is its own; locks change nothing
}

const sd_bus_vtable kFactoryVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("CreateInstance", SD_BUS_ARGS("s", clsid),
                            SD_BUS_RESULT("i", result, "o", instance), OnCreateInstance,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("LockServer", SD_BUS_ARGS("b", lock), SD_BUS_RESULT("i", result),
                            OnLockServer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

bool ClassServer::Impl::Track(const std::string& client) {
    if (clients.count(client)) {
        return true;
    }
    const std::string rule =
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
        "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
        client + "'";
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_match(bus, &slot, rule.c_str(), OnClientOwnerChanged, this) < 0) {
        return false;
    }
    // A client that left before the match was in place would never be noticed: ask once.
    detail::BusError error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "GetNameOwner", error.get(), &reply, "s",
                           client.c_str()) < 0) {
        sd_bus_slot_unref(slot);
        return false;
    }
    sd_bus_message_unref(reply);
    clients[client].reset(slot);
    return true;
}

void ClassServer::Impl::ClientLeft(const std::string& client) {
    for (auto it = instances.begin(); it != instances.end();) {
        if (it->second->creator == client) {
            it = instances.erase(it);
            continue;
        }
        auto& advises = it->second->advises;
        std::erase_if(advises, [&](const auto& entry) { return entry.second.client == client; });
        ++it;
    }
    clients.erase(client);
}

HRESULT ClassServer::Impl::CreateInstance(sd_bus_message* m, std::string& path) {
    CLSID asked;
    if (wire::DecodeCreateInstance(m, asked) < 0) {
        return E_INVALIDARG;
    }
    if (asked != clsid) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    const char* client = sd_bus_message_get_sender(m);
    if (!client || !Track(client)) {
        return RPC_S_SERVER_UNAVAILABLE;
    }
    auto record = std::make_unique<InstanceRecord>();
    record->server = this;
    record->id = nextInstance++;
    record->creator = client;
    record->object = factory(record->id, client);
    if (!record->object) {
        return E_OUTOFMEMORY;
    }
    path = wire::kInstancePathPrefix + std::to_string(record->id);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, path.c_str(), wire::kDataObjectInterface,
                                 kDataObjectVtable, record.get()) < 0) {
        return E_OUTOFMEMORY;
    }
    record->slot.reset(slot);
    instances[record->id] = std::move(record);
    return S_OK;
}

ClassServer::ClassServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<ClassServer> ClassServer::Start(const std::string& busName, const CLSID& clsid,
                                                Factory factory, HRESULT* result) {
    HRESULT ignored;
    HRESULT& hr = result ? *result : ignored;
    hr = RPC_S_SERVER_UNAVAILABLE;
    sd_bus* bus = detail::ThreadBus(&hr);
    if (!bus) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->bus = bus;
    impl->busName = busName;
    impl->clsid = clsid;
    impl->factory = std::move(factory);
    sd_bus_slot* slot = nullptr;
    int r = sd_bus_add_object_vtable(bus, &slot, wire::kFactoryPath, wire::kFactoryInterface,
                                     kFactoryVtable, impl.get());
    if (r < 0) {
        hr = r == -EEXIST ? E_ACCESSDENIED : E_FAIL;  // this thread already serves a class
        return nullptr;
    }
    impl->factorySlot.reset(slot);
    r = sd_bus_request_name(bus, busName.c_str(), 0);
    if (r < 0) {
        hr = r == -EEXIST ? CO_E_APPSINGLEUSE : detail::ResultOfBusFailure(r, nullptr);
        return nullptr;
    }
    hr = S_OK;
    return std::unique_ptr<ClassServer>(new ClassServer(std::move(impl)));
}

ClassServer::~ClassServer() {
    impl_->instances.clear();
    impl_->clients.clear();
    impl_->factorySlot.reset();
    sd_bus_release_name(impl_->bus, impl_->busName.c_str());
    sd_bus_flush(impl_->bus);
}

size_t ClassServer::Push(InstanceId instance, std::span<const uint8_t> block) {
    auto it = impl_->instances.find(instance);
    if (it == impl_->instances.end() || block.size() > wire::kMaxBlockSize) {
        return 0;
    }
    size_t queued = 0;
    for (const auto& [id, advise] : it->second->advises) {
        sd_bus_message* m = nullptr;
        if (sd_bus_message_new_method_call(impl_->bus, &m, advise.client.c_str(),
                                           advise.sinkPath.c_str(), wire::kSinkInterface,
                                           "OnDataChange") < 0) {
            continue;
        }
        MessagePtr owned(m);
        wire::Format format = advise.format;
        format.tymed = TYMED_HGLOBAL;
        if (sd_bus_message_set_expect_reply(m, 0) >= 0 && wire::AppendFormat(m, format) >= 0 &&
            wire::AppendBlock(m, block.data(), block.size()) >= 0 &&
            sd_bus_send(impl_->bus, m, nullptr) >= 0) {
            ++queued;
        }
    }
    return queued;
}

ServerInstance* ClassServer::Find(InstanceId instance) const {
    auto it = impl_->instances.find(instance);
    return it == impl_->instances.end() ? nullptr : it->second->object.get();
}

size_t ClassServer::InstanceCount() const {
    return impl_->instances.size();
}

size_t ClassServer::AdviseCount(InstanceId instance) const {
    auto it = impl_->instances.find(instance);
    return it == impl_->instances.end() ? 0 : it->second->advises.size();
}

const std::string& ClassServer::BusName() const {
    return impl_->busName;
}

}  // namespace platform::com

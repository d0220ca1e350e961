#include "sink_export.h"

#include <cstring>

#include "platform/com/global_memory.h"
#include "wire.h"

namespace platform::com::detail {

// What the bus callbacks reach: kept alive by the slot until the slot is released.
struct SinkExport::Target {
    IAdviseSink* sink = nullptr;
    std::string server;
    std::atomic<bool> active{true};

    ~Target() { sink->Release(); }
};

namespace {

std::atomic<uint64_t> nextSink{1};

// Userdata of the slot: a heap copy of the shared pointer, deleted with the slot.
template <typename T>
T* TargetOf(void* userdata) {
    return static_cast<std::shared_ptr<T>*>(userdata)->get();
}

template <typename T>
bool FromServer(sd_bus_message* m, const T& target) {
    const char* sender = sd_bus_message_get_sender(m);
    return sender && target.server == sender;
}

}  // namespace

static int OnDataChangeCall(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* target = TargetOf<SinkExport::Target>(userdata);
    if (!FromServer(m, *target)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "not this sink's server");
    }
    wire::SetDataArgs args;
    if (wire::DecodeOnDataChange(m, args) < 0) {
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "bad OnDataChange arguments");
    }
    if (target->active.load()) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, args.block.size);
        if (!block) {
            return sd_bus_error_set(error, SD_BUS_ERROR_NO_MEMORY, "block too large");
        }
        if (args.block.size) {
            std::memcpy(GlobalLock(block), args.block.data, args.block.size);
            GlobalUnlock(block);
        }
        FORMATETC format = wire::FromWire(args.format);
        STGMEDIUM medium;
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        // The block now belongs to the sink, which frees it.
        target->sink->OnDataChange(&format, &medium);
    }
    return sd_bus_reply_method_return(m, "");
}

static int OnCloseCall(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* target = TargetOf<SinkExport::Target>(userdata);
    if (!FromServer(m, *target)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "not this sink's server");
    }
    if (target->active.load()) {
        target->sink->OnClose();
    }
    return sd_bus_reply_method_return(m, "");
}

static const sd_bus_vtable kSinkVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS(
        "OnDataChange", SD_BUS_ARGS("q", format, "u", aspect, "i", index, "u", tymed, "ay", block),
        SD_BUS_NO_RESULT, OnDataChangeCall, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OnClose", "", "", OnCloseCall, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

static void DeleteTarget(void* userdata) {
    delete static_cast<std::shared_ptr<SinkExport::Target>*>(userdata);
}

HRESULT SinkExport::Create(IAdviseSink* sink, const std::string& server,
                           std::unique_ptr<SinkExport>& out) {
    HRESULT hr = RPC_S_SERVER_UNAVAILABLE;
    sd_bus* bus = ThreadBus(&hr);
    if (!bus) {
        return hr;
    }
    std::unique_ptr<SinkExport> made(new SinkExport);
    made->target_ = std::make_shared<Target>();
    sink->AddRef();
    made->target_->sink = sink;
    made->target_->server = server;
    made->path_ = wire::kSinkPathPrefix + std::to_string(nextSink++);
    auto* userdata = new std::shared_ptr<Target>(made->target_);
    int r = sd_bus_add_object_vtable(bus, &made->slot_, made->path_.c_str(), wire::kSinkInterface,
                                     kSinkVtable, userdata);
    if (r < 0) {
        delete userdata;
        return E_OUTOFMEMORY;
    }
    sd_bus_slot_set_destroy_callback(made->slot_, DeleteTarget);
    made->home_ = CurrentThreadHome();
    out = std::move(made);
    return S_OK;
}

SinkExport::~SinkExport() {
    if (target_) {
        target_->active = false;
    }
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

}  // namespace platform::com::detail

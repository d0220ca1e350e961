#include "thread_bus.h"

#include <climits>
#include <ctime>

#include "bus_config.h"
#include "bus_result.h"
#include "detail.h"
#include "platform/com/bus.h"

namespace platform::com::detail {
namespace {

// The most messages one ProcessConnection dispatches, so that a flood of pushes cannot starve
// the thread's other work; what is left makes the next wait return at once.
constexpr int kMaxDispatchPerCall = 1000;

struct ThreadConnection {
    BusPtr bus;
    std::shared_ptr<ThreadHome> home = std::make_shared<ThreadHome>();
    bool processing = false;

    ~ThreadConnection() {
        home->ReleaseParked();
        bus.reset();
    }
};
thread_local ThreadConnection connection;

int OpenBus(const BusChoice& choice, sd_bus** out) {
    switch (choice.kind) {
        case BusChoice::Session:
            return sd_bus_open_user(out);
        case BusChoice::System:
            return sd_bus_open_system(out);
        case BusChoice::Address:
            break;
    }
    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    if (r < 0) {
        return r;
    }
    if ((r = sd_bus_set_address(bus, choice.address.c_str())) < 0 ||
        (r = sd_bus_set_bus_client(bus, 1)) < 0 || (r = sd_bus_start(bus)) < 0) {
        sd_bus_unref(bus);
        return r;
    }
    *out = bus;
    return 0;
}

uint64_t MonotonicUsec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000 + uint64_t(ts.tv_nsec) / 1000;
}

}  // namespace

void ThreadHome::ReleaseLater(sd_bus_slot* slot) {
    std::lock_guard lock(mutex_);
    parked_.push_back(slot);
}

void ThreadHome::ReleaseParked() {
    std::vector<sd_bus_slot*> slots;
    {
        std::lock_guard lock(mutex_);
        slots.swap(parked_);
    }
    for (sd_bus_slot* slot : slots) {
        sd_bus_slot_unref(slot);
    }
}

bool ThreadHome::HasParked() {
    std::lock_guard lock(mutex_);
    return !parked_.empty();
}

sd_bus* ExistingThreadBus() {
    sd_bus* bus = connection.bus.get();
    return bus && sd_bus_is_open(bus) > 0 ? bus : nullptr;
}

sd_bus* ThreadBus(HRESULT* result) {
    if (sd_bus* bus = ExistingThreadBus()) {
        return bus;
    }
    sd_bus* bus = nullptr;
    const int r = OpenBus(ConfiguredBus(), &bus);
    if (r < 0) {
        if (result) {
            *result = ResultOfBusFailure(r, nullptr);
        }
        return nullptr;
    }
    connection.bus.reset(bus);
    return bus;
}

std::shared_ptr<ThreadHome> CurrentThreadHome() {
    return connection.home;
}

HRESULT NewMethodCall(const std::string& destination, const std::string& path,
                      const char* interface, const char* member, MessagePtr& call) {
    HRESULT hr = RPC_S_SERVER_UNAVAILABLE;
    sd_bus* bus = ThreadBus(&hr);
    if (!bus) {
        return hr;
    }
    sd_bus_message* m = nullptr;
    const int r = sd_bus_message_new_method_call(bus, &m, destination.c_str(), path.c_str(),
                                                 interface, member);
    if (r < 0) {
        return r == -EINVAL ? E_INVALIDARG : ResultOfBusFailure(r, nullptr);
    }
    call.reset(m);
    return S_OK;
}

HRESULT CallMethod(sd_bus_message* call, MessagePtr& reply) {
    BusError error;
    sd_bus_message* answer = nullptr;
    const int r =
        sd_bus_call(sd_bus_message_get_bus(call), call, CallTimeoutUsec(), error.get(), &answer);
    if (r < 0) {
        return ResultOfBusFailure(r, error.get());
    }
    reply.reset(answer);
    return S_OK;
}

LoopWait ConnectionWait() {
    sd_bus* bus = ExistingThreadBus();
    if (!bus || connection.processing) {
        return {};
    }
    const int fd = sd_bus_get_fd(bus);
    const int events = sd_bus_get_events(bus);
    uint64_t until = UINT64_MAX;
    if (fd < 0 || events < 0 || sd_bus_get_timeout(bus, &until) < 0) {
        return {};
    }
    LoopWait wait{fd, static_cast<short>(events), -1};
    if (until != UINT64_MAX) {
        const uint64_t now = MonotonicUsec();
        const uint64_t ms = until <= now ? 0 : (until - now + 999) / 1000;
        wait.timeoutMs = static_cast<int>(ms > INT_MAX ? INT_MAX : ms);
    }
    if (connection.home->HasParked()) {
        wait.timeoutMs = 0;
    }
    return wait;
}

int ProcessConnection() {
    sd_bus* bus = ExistingThreadBus();
    if (!bus || connection.processing) {
        return 0;
    }
    connection.processing = true;
    connection.home->ReleaseParked();
    int dispatched = 0;
    while (dispatched < kMaxDispatchPerCall && sd_bus_process(bus, nullptr) > 0) {
        ++dispatched;
    }
    connection.processing = false;
    return dispatched;
}

}  // namespace platform::com::detail

namespace platform::com {

sd_bus* CurrentThreadBus() {
    return detail::ThreadBus();
}

}  // namespace platform::com

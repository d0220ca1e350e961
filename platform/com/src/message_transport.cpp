#include "platform/com/message_transport.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <platform/messages.h>

#include "message_wire.h"
#include "platform/com/loop.h"
#include "thread_bus.h"

namespace platform::com {
namespace {

namespace msg = platform::messages;

// Handles this transport gives for windows of other processes: far above any local handle.
constexpr msg::WindowHandle kRemoteHandleBase = msg::WindowHandle(1) << 62;
// How long one process may take to answer FindWindow before the search moves on.
constexpr uint64_t kFindTimeoutUsec = 2000000;

uint64_t RandomToken() {
    uint64_t token = 0;
    if (getrandom(&token, sizeof token, 0) != sizeof token) {
        token = uint64_t(getpid()) << 32 ^ uint64_t(time(nullptr));
    }
    return token;
}

msg::MessageId LocalId(const wire::CarriedMessage& carried) {
    return *carried.name ? msg::registerMessage(carried.name) : carried.message;
}

int OnBroadcast(sd_bus_message* m, void* userdata, sd_bus_error*) {
    wire::CarriedMessage carried;
    if (wire::DecodeBroadcast(m, carried) < 0 ||
        carried.origin == *static_cast<uint64_t*>(userdata)) {
        return 0;  // malformed, or our own (delivered here when it was sent)
    }
    if (const msg::MessageId id = LocalId(carried)) {
        msg::broadcastLocally(id, carried.wParam, carried.lParam);
    }
    return 0;
}

int OnPost(sd_bus_message* m, void*, sd_bus_error*) {
    wire::CarriedMessage carried;
    if (wire::DecodePost(m, carried) < 0 || !msg::isWindow(carried.window)) {
        return 0;
    }
    if (const msg::MessageId id = LocalId(carried)) {
        msg::postMessage(carried.window, id, carried.wParam, carried.lParam);
    }
    return 0;
}

int OnFindWindow(sd_bus_message* m, void*, sd_bus_error*) {
    const char* className = nullptr;
    const int r = sd_bus_message_read(m, "s", &className);
    if (r < 0) {
        return r;
    }
    return sd_bus_reply_method_return(m, "t", uint64_t{msg::findLocalWindow(className)});
}

const sd_bus_vtable kMessagesVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("FindWindow", SD_BUS_ARGS("s", className), SD_BUS_RESULT("t", window),
                            OnFindWindow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL_WITH_ARGS(
        "Broadcast", SD_BUS_ARGS("t", origin, "s", name, "u", message, "t", wParam, "x", lParam),
        0),
    SD_BUS_SIGNAL_WITH_ARGS(
        "Post",
        SD_BUS_ARGS("t", origin, "t", window, "s", name, "u", message, "t", wParam, "x", lParam),
        0),
    SD_BUS_VTABLE_END,
};

// What the receiver thread uses: shared with the thread, so that the thread never depends on
// the transport object, whose last reference may be dropped on the receiver thread itself
// (a post it delivers holds one for a moment).
struct Receiver {
    const uint64_t token = RandomToken();
    const int stopFd = eventfd(0, EFD_CLOEXEC);
    std::string busName;

    Receiver() {
        char name[64];
        std::snprintf(name, sizeof name, "%sp%d_%016llx", wire::kMessagesNamePrefix,
                      static_cast<int>(getpid()), static_cast<unsigned long long>(token));
        busName = name;
    }
    ~Receiver() { close(stopFd); }

    void Run(std::promise<bool>& ready) {
        sd_bus* bus = detail::ThreadBus();
        sd_bus_slot* slots[3] = {};
        bool ok =
            bus &&
            sd_bus_add_object_vtable(bus, &slots[0], wire::kMessagesPath, wire::kMessagesInterface,
                                     kMessagesVtable, this) >= 0 &&
            sd_bus_add_match(bus, &slots[1],
                             "type='signal',interface='org.kestane.Messages',member='Broadcast'",
                             OnBroadcast, const_cast<uint64_t*>(&token)) >= 0 &&
            sd_bus_add_match(bus, &slots[2],
                             "type='signal',interface='org.kestane.Messages',member='Post'", OnPost,
                             nullptr) >= 0 &&
            sd_bus_request_name(bus, busName.c_str(), 0) >= 0;
        ready.set_value(ok);
        while (ok) {
            ProcessCurrentThread();
            const LoopWait wait = CurrentThreadWait();
            if (wait.fd < 0) {
                break;
            }
            pollfd fds[2] = {{wait.fd, wait.events, 0}, {stopFd, POLLIN, 0}};
            poll(fds, 2, wait.timeoutMs);
            if (fds[1].revents & POLLIN) {
                break;
            }
        }
        for (sd_bus_slot* slot : slots) {
            sd_bus_slot_unref(slot);
        }
        if (ok) {
            sd_bus_release_name(bus, busName.c_str());
        }
    }
};

class BusMessageTransport final : public msg::RemoteTransport {
  public:
    BusMessageTransport() : receiver_(std::make_shared<Receiver>()) {}

    // Starts the receiver; false when it cannot serve on the bus.
    bool Start() {
        std::promise<bool> ready;
        auto started = ready.get_future();
        thread_ = std::thread([receiver = receiver_, &ready] { receiver->Run(ready); });
        if (!started.get()) {
            thread_.join();
            return false;
        }
        return true;
    }

    ~BusMessageTransport() override {
        if (!thread_.joinable()) {
            return;
        }
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(receiver_->stopFd, &one, sizeof one);
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // the receiver ends by itself once this delivery returns
        } else {
            thread_.join();
        }
    }

    msg::WindowHandle findWindow(std::string_view className) override {
        for (const std::string& peer : Peers()) {
            const uint64_t remote = FindIn(peer, className);
            if (remote != 0) {
                return HandleFor(peer, remote);
            }
        }
        return 0;
    }

    bool post(msg::WindowHandle window, std::string_view messageName, msg::MessageId message,
              msg::WParam wParam, msg::LParam lParam) override {
        sd_bus* bus = detail::ThreadBus();
        if (!bus) {
            return false;
        }
        const std::string name(messageName);
        sd_bus_message* m = nullptr;
        int r = 0;
        if (window == msg::kBroadcast) {
            r = sd_bus_message_new_signal(bus, &m, wire::kMessagesPath, wire::kMessagesInterface,
                                          "Broadcast");
            if (r >= 0) {
                r = sd_bus_message_append(m, "tsutx", receiver_->token, name.c_str(), message,
                                          uint64_t{wParam}, int64_t{lParam});
            }
        } else {
            Remote target;
            if (!Lookup(window, target)) {
                return false;
            }
            r = sd_bus_message_new_signal(bus, &m, wire::kMessagesPath, wire::kMessagesInterface,
                                          "Post");
            if (r >= 0) {
                r = sd_bus_message_set_destination(m, target.busName.c_str());
            }
            if (r >= 0) {
                r = sd_bus_message_append(m, "ttsutx", receiver_->token, target.window,
                                          name.c_str(), message, uint64_t{wParam}, int64_t{lParam});
            }
        }
        detail::MessagePtr owned(m);
        if (r >= 0) {
            r = sd_bus_send(bus, m, nullptr);
        }
        if (r >= 0) {
            r = sd_bus_flush(bus);  // the calling thread may not process its connection soon
        }
        return r >= 0;
    }

  private:
    struct Remote {
        std::string busName;
        uint64_t window = 0;
    };

    // The receivers of the other processes on the bus, in name order.
    std::vector<std::string> Peers() {
        std::vector<std::string> peers;
        detail::MessagePtr call, reply;
        if (FAILED(detail::NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "ListNames", call)) ||
            FAILED(detail::CallMethod(call.get(), reply)) ||
            sd_bus_message_enter_container(reply.get(), 'a', "s") < 0) {
            return peers;
        }
        const char* name = nullptr;
        const std::string prefix = wire::kMessagesNamePrefix;
        while (sd_bus_message_read(reply.get(), "s", &name) > 0) {
            if (std::string_view(name).starts_with(prefix) && name != receiver_->busName) {
                peers.emplace_back(name);
            }
        }
        std::sort(peers.begin(), peers.end());
        return peers;
    }

    uint64_t FindIn(const std::string& peer, std::string_view className) {
        detail::MessagePtr call;
        if (FAILED(detail::NewMethodCall(peer, wire::kMessagesPath, wire::kMessagesInterface,
                                         "FindWindow", call)) ||
            sd_bus_message_append(call.get(), "s", std::string(className).c_str()) < 0) {
            return 0;
        }
        sd_bus_message* reply = nullptr;
        uint64_t window = 0;
        if (sd_bus_call(sd_bus_message_get_bus(call.get()), call.get(), kFindTimeoutUsec, nullptr,
                        &reply) >= 0 &&
            sd_bus_message_read(reply, "t", &window) < 0) {
            window = 0;
        }
        sd_bus_message_unref(reply);
        return window;
    }

    msg::WindowHandle HandleFor(const std::string& peer, uint64_t window) {
        std::lock_guard lock(mutex_);
        for (const auto& [handle, remote] : remotes_) {
            if (remote.busName == peer && remote.window == window) {
                return handle;
            }
        }
        const msg::WindowHandle handle = nextHandle_++;
        remotes_[handle] = Remote{peer, window};
        return handle;
    }

    bool Lookup(msg::WindowHandle handle, Remote& out) {
        std::lock_guard lock(mutex_);
        auto it = remotes_.find(handle);
        if (it == remotes_.end()) {
            return false;
        }
        out = it->second;
        return true;
    }

    std::shared_ptr<Receiver> receiver_;
    std::thread thread_;
    std::mutex mutex_;
    std::map<msg::WindowHandle, Remote> remotes_;
    msg::WindowHandle nextHandle_ = kRemoteHandleBase;
};

std::mutex installMutex;
std::shared_ptr<BusMessageTransport> installed;

}  // namespace

bool InstallBusMessageTransport() {
    std::lock_guard lock(installMutex);
    if (installed) {
        return true;
    }
    auto transport = std::make_shared<BusMessageTransport>();
    if (!transport->Start()) {
        return false;
    }
    installed = transport;
    msg::setRemoteTransport(transport);
    // The receiver thread uses the message tables: stop it before they are destroyed at exit
    // (registered after the tables exist, so it runs before their destructors).
    static const bool stopAtExit = std::atexit([] { RemoveBusMessageTransport(); }) == 0;
    (void)stopAtExit;
    return true;
}

void RemoveBusMessageTransport() {
    std::shared_ptr<BusMessageTransport> removed;
    {
        std::lock_guard lock(installMutex);
        removed = std::move(installed);
    }
    if (removed) {
        msg::setRemoteTransport(nullptr);
    }
}

}  // namespace platform::com

#include <platform/messages.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform::messages {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// A message waiting in a queue. A sent message carries the sender's reply slot.
struct Reply {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    LResult result = 0;

    void Finish(LResult value) {
        std::lock_guard lock(mutex);
        result = value;
        finished = true;
        done.notify_all();
    }
};

struct Pending {
    WindowHandle window;
    MessageId message;
    WParam wParam;
    LParam lParam;
    std::shared_ptr<Reply> reply;  // null for posted messages
};

}  // namespace

struct MessageQueue::State {
    std::thread::id owner;
    int eventFd = -1;
    std::mutex mutex;
    std::deque<Pending> pending;
    bool closed = false;

    // False when the queue is already closed (its owner is being destroyed).
    bool Push(Pending item) {
        {
            std::lock_guard lock(mutex);
            if (closed) {
                return false;
            }
            pending.push_back(std::move(item));
        }
        const uint64_t one = 1;
        // The counter only wakes the owner; a failed write (counter saturated) loses nothing.
        [[maybe_unused]] ssize_t n = ::write(eventFd, &one, sizeof one);
        return true;
    }
};

namespace {

struct Window {
    std::string className;  // lower case
    bool topLevel = false;
    uint64_t order = 0;  // creation order, for findWindow
    WindowProc proc;
    std::weak_ptr<MessageQueue::State> queue;
};

// Process-wide tables. Window handles are never reused, so a stale handle finds nothing.
struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, MessageId> messageIds;
    std::map<MessageId, std::string> messageNames;
    MessageId nextMessage = kFirstRegisteredMessage;
    std::unordered_map<WindowHandle, std::shared_ptr<Window>> windows;
    // Starts above the broadcast handle so that no window ever takes it.
    WindowHandle nextWindow = 0x10000;
    uint64_t nextOrder = 0;
    std::shared_ptr<RemoteTransport> transport;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

std::shared_ptr<Window> lookup(WindowHandle handle) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.windows.find(handle);
    return it == reg.windows.end() ? nullptr : it->second;
}

LResult deliver(const Pending& item) {
    auto window = lookup(item.window);
    if (!window || !window->proc) {
        return 0;
    }
    return window->proc(item.message, item.wParam, item.lParam);
}

}  // namespace

MessageId registerMessage(std::string_view name) {
    if (name.empty()) {
        return 0;
    }
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    const std::string key = Lower(name);
    auto it = reg.messageIds.find(key);
    if (it != reg.messageIds.end()) {
        return it->second;
    }
    if (reg.nextMessage > kLastRegisteredMessage) {
        return 0;
    }
    const MessageId id = reg.nextMessage++;
    reg.messageIds.emplace(key, id);
    reg.messageNames.emplace(id, std::string(name));
    return id;
}

std::string registeredMessageName(MessageId message) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.messageNames.find(message);
    return it == reg.messageNames.end() ? std::string() : it->second;
}

MessageQueue::MessageQueue() : state_(std::make_shared<State>()) {
    state_->owner = std::this_thread::get_id();
    state_->eventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

MessageQueue::~MessageQueue() {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        dropped.swap(state_->pending);
    }
    {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        for (auto it = reg.windows.begin(); it != reg.windows.end();) {
            auto queue = it->second->queue.lock();
            if (!queue || queue == state_) {
                it = reg.windows.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& item : dropped) {
        if (item.reply) {
            item.reply->Finish(0);
        }
    }
    if (state_->eventFd >= 0) {
        ::close(state_->eventFd);
    }
}

size_t MessageQueue::processPending() {
    uint64_t counter = 0;
    [[maybe_unused]] ssize_t n = ::read(state_->eventFd, &counter, sizeof counter);
    std::deque<Pending> batch;
    {
        std::lock_guard lock(state_->mutex);
        batch.swap(state_->pending);
    }
    size_t ran = 0;
    for (auto& item : batch) {
        const LResult result = deliver(item);
        if (item.reply) {
            item.reply->Finish(result);
        }
        ++ran;
    }
    return ran;
}

size_t MessageQueue::waitAndProcess(std::chrono::milliseconds timeout) {
    pollfd pfd{state_->eventFd, POLLIN, 0};
    const int ms = static_cast<int>(std::clamp<long long>(timeout.count(), 0, INT32_MAX));
    ::poll(&pfd, 1, ms);
    return processPending();
}

int MessageQueue::fd() const {
    return state_->eventFd;
}

WindowHandle createWindow(MessageQueue& queue, std::string_view className, bool topLevel,
                          WindowProc proc) {
    auto window = std::make_shared<Window>();
    window->className = Lower(className);
    window->topLevel = topLevel;
    window->proc = std::move(proc);
    window->queue = queue.state_;
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    window->order = reg.nextOrder++;
    const WindowHandle handle = reg.nextWindow++;
    reg.windows.emplace(handle, std::move(window));
    return handle;
}

void destroyWindow(WindowHandle window) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.windows.erase(window);
}

bool isWindow(WindowHandle window) {
    return lookup(window) != nullptr;
}

namespace {

// The first-created live top-level window of the class; caller holds the registry lock.
WindowHandle findLocalLocked(Registry& reg, std::string_view className) {
    const std::string key = Lower(className);
    WindowHandle best = 0;
    uint64_t bestOrder = UINT64_MAX;
    for (const auto& [handle, window] : reg.windows) {
        if (window->topLevel && window->className == key && window->order < bestOrder) {
            best = handle;
            bestOrder = window->order;
        }
    }
    return best;
}

}  // namespace

WindowHandle findLocalWindow(std::string_view className) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    return findLocalLocked(reg, className);
}

WindowHandle findWindow(std::string_view className) {
    auto& reg = registry();
    std::shared_ptr<RemoteTransport> transport;
    {
        std::lock_guard lock(reg.mutex);
        if (const WindowHandle local = findLocalLocked(reg, className)) {
            return local;
        }
        transport = reg.transport;
    }
    return transport ? transport->findWindow(className) : 0;
}

void broadcastLocally(MessageId message, WParam wParam, LParam lParam) {
    auto& reg = registry();
    std::vector<std::pair<WindowHandle, std::shared_ptr<MessageQueue::State>>> targets;
    {
        std::lock_guard lock(reg.mutex);
        for (const auto& [handle, w] : reg.windows) {
            if (w->topLevel) {
                if (auto queue = w->queue.lock()) {
                    targets.emplace_back(handle, std::move(queue));
                }
            }
        }
    }
    for (auto& [handle, queue] : targets) {
        queue->Push({handle, message, wParam, lParam, nullptr});
    }
}

bool postMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    auto& reg = registry();
    if (window == kBroadcast) {
        broadcastLocally(message, wParam, lParam);
        std::shared_ptr<RemoteTransport> transport;
        {
            std::lock_guard lock(reg.mutex);
            transport = reg.transport;
        }
        if (transport) {
            transport->post(kBroadcast, registeredMessageName(message), message, wParam, lParam);
        }
        return true;
    }
    std::shared_ptr<MessageQueue::State> queue;
    std::shared_ptr<RemoteTransport> transport;
    {
        std::lock_guard lock(reg.mutex);
        auto it = reg.windows.find(window);
        if (it != reg.windows.end()) {
            queue = it->second->queue.lock();
        }
        transport = reg.transport;
    }
    if (queue) {
        return queue->Push({window, message, wParam, lParam, nullptr});
    }
    if (transport && window != 0) {
        return transport->post(window, registeredMessageName(message), message, wParam, lParam);
    }
    return false;
}

LResult sendMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    auto target = lookup(window);
    if (!target) {
        return 0;
    }
    auto queue = target->queue.lock();
    if (!queue) {
        return 0;
    }
    if (queue->owner == std::this_thread::get_id()) {
        return target->proc ? target->proc(message, wParam, lParam) : 0;
    }
    auto reply = std::make_shared<Reply>();
    if (!queue->Push({window, message, wParam, lParam, reply})) {
        return 0;
    }
    std::unique_lock lock(reply->mutex);
    reply->done.wait(lock, [&] { return reply->finished; });
    return reply->result;
}

void setRemoteTransport(std::shared_ptr<RemoteTransport> transport) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.transport = std::move(transport);
}

}  // namespace platform::messages

// Window messages between threads of one process, and a seam for carrying them to other
// processes. A "window" here is a handle bound to a message queue; the queue belongs to the
// thread that created it, and messages posted or sent to any of its windows run on that thread
// when it processes its queue (ProcessPending, or its fd in an event loop).
//
// Registered messages are numbered per process from 0xC000 upwards, one number per name
// (names compare case-insensitively), so two components that register one name agree on it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform::messages {

using WindowHandle = std::uintptr_t;  // 0 = no window
using MessageId = uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Posting to this handle reaches every top-level window.
inline constexpr WindowHandle kBroadcast = 0xFFFF;
inline constexpr MessageId kFirstRegisteredMessage = 0xC000;
inline constexpr MessageId kLastRegisteredMessage = 0xFFFF;

// The id for a name; the same for every call with that name in this process. 0 for an empty
// name or when the id range is used up.
MessageId registerMessage(std::string_view name);

using WindowProc = std::function<LResult(MessageId message, WParam wParam, LParam lParam)>;

// A queue owned by the thread that constructs it. Only that thread may process it; any thread
// may post or send to its windows. Destroying the queue destroys its windows; messages still
// queued are dropped and senders blocked on them return 0.
class MessageQueue {
  public:
    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Owner thread: runs every message queued so far; returns how many ran.
    size_t processPending();
    // Owner thread: waits up to `timeout` for a message, then runs what is queued.
    size_t waitAndProcess(std::chrono::milliseconds timeout);
    // Readable while messages are queued; for event loops (poll, QSocketNotifier).
    int fd() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
    friend WindowHandle createWindow(MessageQueue&, std::string_view, bool, WindowProc);
};

// Owner thread of `queue`: makes a window of a class. Top-level windows are found by
// findWindow and reached by broadcasts.
WindowHandle createWindow(MessageQueue& queue, std::string_view className, bool topLevel,
                          WindowProc proc);
void destroyWindow(WindowHandle window);
bool isWindow(WindowHandle window);

// The top-level window of that class (exact, case-insensitive name) created first and still
// alive; else what the remote transport finds; else 0.
WindowHandle findWindow(std::string_view className);

// The top-level window of that class in this process only (0 when there is none).
WindowHandle findLocalWindow(std::string_view className);

// Queues a copy of the message for every top-level window of this process, and for no other
// process: what a broadcast that came from another process does here.
void broadcastLocally(MessageId message, WParam wParam, LParam lParam);

// Queues the message for the window's thread and returns at once. False when the window does
// not exist. kBroadcast queues a copy for every top-level window and is true.
bool postMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam);

// Runs the message on the window's thread and waits for its result: directly when the caller
// is that thread, else queued and waited for. 0 when the window does not exist or goes away.
LResult sendMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam);

// Carries messages to windows of other processes. Handles that the transport returns from
// findWindow are its own; postMessage hands it every handle not known in this process, and
// broadcasts after local delivery.
class RemoteTransport {
  public:
    virtual ~RemoteTransport() = default;
    virtual WindowHandle findWindow(std::string_view className) = 0;
    // `messageName` is the registered name of the message, empty for unregistered numbers;
    // the other process maps names to its own ids.
    virtual bool post(WindowHandle window, std::string_view messageName, MessageId message,
                      WParam wParam, LParam lParam) = 0;
};

// Installs (or with null removes) the process's transport.
void setRemoteTransport(std::shared_ptr<RemoteTransport> transport);

// The name registered for an id, empty when the id is not a registered message.
std::string registeredMessageName(MessageId message);

}  // namespace platform::messages

#include "platform/com/loop.h"

#include <poll.h>

#include <platform/messages.h>

#include "detail.h"
#include "thread_bus.h"

namespace platform::com {
namespace {

struct ThreadLoop {
    bool quit = false;
    int code = 0;
    QuitHandler handler;
};
thread_local ThreadLoop threadLoop;

}  // namespace

LoopWait CurrentThreadWait() {
    return detail::ConnectionWait();
}

int ProcessCurrentThread() {
    return detail::ProcessConnection();
}

void PostQuitMessage(int code) {
    if (threadLoop.handler) {
        threadLoop.handler(code);
        return;
    }
    threadLoop.quit = true;
    threadLoop.code = code;
}

void SetQuitHandler(QuitHandler handler) {
    threadLoop.handler = std::move(handler);
}

int RunMessagePump(platform::messages::MessageQueue* queue) {
    threadLoop.quit = false;
    detail::ThreadBus();  // a pump waits for the server's pushes, so it needs the connection
    while (!threadLoop.quit) {
        ProcessCurrentThread();
        if (queue) {
            queue->processPending();
        }
        if (threadLoop.quit) {
            break;
        }
        const LoopWait wait = CurrentThreadWait();
        pollfd fds[2];
        nfds_t n = 0;
        if (wait.fd >= 0) {
            fds[n++] = pollfd{wait.fd, wait.events, 0};
        }
        if (queue) {
            fds[n++] = pollfd{queue->fd(), POLLIN, 0};
        }
        if (n == 0 && wait.timeoutMs < 0) {
            break;  // nothing could ever wake this loop
        }
        ::poll(fds, n, wait.timeoutMs);
    }
    threadLoop.quit = false;
    return threadLoop.code;
}

}  // namespace platform::com

#include "LoopThread.h"

#include <future>
#include <memory>

#include <platform/messages.h>

#include "platform/com/loop.h"

namespace platform::com::testing {
namespace {

namespace messages = platform::messages;
using Work = std::function<void()>;
constexpr messages::MessageId kRunWork = 0x8100;
constexpr messages::MessageId kStop = 0x8101;
constexpr messages::MessageId kPostedWork = 0x8102;

}  // namespace

LoopThread::LoopThread() {
    std::promise<messages::WindowHandle> ready;
    auto readyFuture = ready.get_future();
    thread_ = std::thread([&ready] {
        messages::MessageQueue queue;
        ready.set_value(messages::createWindow(
            queue, "LoopThread", false,
            [](messages::MessageId message, messages::WParam wParam,
               messages::LParam) -> messages::LResult {
                if (message == kRunWork) {
                    (*reinterpret_cast<const Work*>(wParam))();
                } else if (message == kPostedWork) {
                    std::unique_ptr<Work> work(reinterpret_cast<Work*>(wParam));
                    (*work)();
                } else if (message == kStop) {
                    PostQuitMessage(0);
                }
                return 0;
            }));
        RunMessagePump(&queue);
    });
    window_ = readyFuture.get();
}

LoopThread::~LoopThread() {
    Stop();
}

void LoopThread::Stop() {
    if (thread_.joinable()) {
        messages::postMessage(window_, kStop, 0, 0);
        thread_.join();
    }
}

void LoopThread::Post(Work work) {
    auto* queued = new Work(std::move(work));
    if (!messages::postMessage(window_, kPostedWork, reinterpret_cast<messages::WParam>(queued),
                               0)) {
        delete queued;
    }
}

void LoopThread::Run(const Work& work) {
    messages::sendMessage(window_, kRunWork, reinterpret_cast<messages::WParam>(&work), 0);
}

}  // namespace platform::com::testing

#include "ServerThread.h"

#include <future>
#include <memory>

#include <platform/messages.h>

#include "platform/com/loop.h"

namespace platform::com::testing {
namespace {

namespace messages = platform::messages;
using Work = std::function<void(ClassServer&)>;
constexpr messages::MessageId kRunWork = 0x8100;
constexpr messages::MessageId kStop = 0x8101;

}  // namespace

ServerThread::ServerThread(std::string busName, const CLSID& clsid, ClassServer::Factory factory) {
    std::promise<std::pair<HRESULT, messages::WindowHandle>> ready;
    auto readyFuture = ready.get_future();
    thread_ = std::thread([busName, clsid, factory, &ready] {
        messages::MessageQueue queue;
        HRESULT hr = E_FAIL;
        std::unique_ptr<ClassServer> server = ClassServer::Start(busName, clsid, factory, &hr);
        const messages::WindowHandle window =
            messages::createWindow(queue, "ServerThread", false,
                                   [&server](messages::MessageId message, messages::WParam wParam,
                                             messages::LParam) -> messages::LResult {
                                       if (message == kRunWork && server) {
                                           (*reinterpret_cast<const Work*>(wParam))(*server);
                                       } else if (message == kStop) {
                                           PostQuitMessage(0);
                                       }
                                       return 0;
                                   });
        ready.set_value({hr, window});
        RunMessagePump(&queue);
        server.reset();
    });
    auto [hr, window] = readyFuture.get();
    started_ = hr;
    window_ = window;
}

ServerThread::~ServerThread() {
    Stop();
}

void ServerThread::Stop() {
    if (thread_.joinable()) {
        messages::postMessage(window_, kStop, 0, 0);
        thread_.join();
    }
}

void ServerThread::Run(const Work& work) {
    messages::sendMessage(window_, kRunWork, reinterpret_cast<messages::WParam>(&work), 0);
}

}  // namespace platform::com::testing

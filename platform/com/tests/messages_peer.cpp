// A second process for the window-message transport test.
//   messages_peer window CLASS    makes a top-level window CLASS, prints "ready", then prints
//                                 "got NAME WPARAM LPARAM" for each registered message it gets,
//                                 until it gets "Quit" (or 20 s pass)
//   messages_peer broadcast NAME  broadcasts NAME with wParam 1 and lParam -2, then exits
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <platform/messages.h>

#include "platform/com/message_transport.h"

namespace msg = platform::messages;

int main(int argc, char** argv) {
    if (argc != 3 || !platform::com::InstallBusMessageTransport()) {
        return 2;
    }
    // Registered in another order than the test's, so that the numbers differ between the
    // two processes and only the names can match them up.
    msg::registerMessage("PeerOnlyMessage");
    msg::registerMessage("Quit");
    int code = 0;
    if (std::strcmp(argv[1], "broadcast") == 0) {
        code = msg::postMessage(msg::kBroadcast, msg::registerMessage(argv[2]), 1, -2) ? 0 : 1;
    } else {
        msg::MessageQueue queue;
        bool quit = false;
        msg::createWindow(queue, argv[2], true,
                          [&](msg::MessageId id, msg::WParam w, msg::LParam l) -> msg::LResult {
                              const std::string name = msg::registeredMessageName(id);
                              std::printf("got %s %llu %lld\n", name.c_str(),
                                          static_cast<unsigned long long>(w),
                                          static_cast<long long>(l));
                              std::fflush(stdout);
                              quit = quit || name == "Quit";
                              return 0;
                          });
        std::printf("ready\n");
        std::fflush(stdout);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!quit && std::chrono::steady_clock::now() < end) {
            queue.waitAndProcess(std::chrono::milliseconds(100));
        }
    }
    platform::com::RemoveBusMessageTransport();
    return code;
}

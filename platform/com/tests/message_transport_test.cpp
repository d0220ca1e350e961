#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <platform/messages.h>

#include "BusEnvironment.h"
#include "platform/com/message_transport.h"

namespace msg = platform::messages;
using namespace std::chrono_literals;

namespace {

// A peer program whose output the test reads line by line.
class Peer {
  public:
    explicit Peer(const std::string& args) {
        out_ = popen((std::string(MESSAGES_PEER) + " " + args).c_str(), "r");
    }
    ~Peer() {
        if (out_) {
            pclose(out_);
        }
    }
    std::string Line() {
        char buffer[256];
        return out_ && std::fgets(buffer, sizeof buffer, out_) ? buffer : "";
    }
    int Finish() {
        const int status = pclose(out_);
        out_ = nullptr;
        return status;
    }

  private:
    FILE* out_ = nullptr;
};

struct Received {
    msg::MessageId id;
    msg::WParam w;
    msg::LParam l;
};

class MessagesAcrossProcesses : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(platform::com::InstallBusMessageTransport()); }
    void TearDown() override { platform::com::RemoveBusMessageTransport(); }

    // Processes the queue until `count` messages reached `into` or time runs out.
    void WaitFor(std::vector<Received>& into, size_t count, std::chrono::milliseconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (into.size() < count && std::chrono::steady_clock::now() < end) {
            queue_.waitAndProcess(50ms);
        }
    }

    msg::MessageQueue queue_;
};

}  // namespace

TEST_F(MessagesAcrossProcesses, ABroadcastOfAnotherProcessReachesOurTopLevelWindowsByName) {
    const msg::MessageId gone = msg::registerMessage("ConsoleGoneTitsUp");
    std::vector<Received> topLevel, child;
    msg::createWindow(queue_, "MainWindow", true,
                      [&](msg::MessageId id, msg::WParam w, msg::LParam l) {
                          topLevel.push_back({id, w, l});
                          return msg::LResult{0};
                      });
    msg::createWindow(queue_, "Child", false, [&](msg::MessageId id, msg::WParam w, msg::LParam l) {
        child.push_back({id, w, l});
        return msg::LResult{0};
    });
    Peer peer("broadcast ConsoleGoneTitsUp");
    EXPECT_EQ(peer.Finish(), 0);
    WaitFor(topLevel, 1);
    ASSERT_EQ(topLevel.size(), 1u);
    EXPECT_EQ(topLevel[0].id, gone) << "mapped to this process's number by name";
    EXPECT_EQ(topLevel[0].w, 1u);
    EXPECT_EQ(topLevel[0].l, -2);
    EXPECT_TRUE(child.empty());
}

TEST_F(MessagesAcrossProcesses, AWindowOfAnotherProcessIsFoundByClassAndReachedByName) {
    Peer peer("window PeerStatusWindow");
    ASSERT_EQ(peer.Line(), "ready\n");
    EXPECT_EQ(msg::findWindow("NoSuchWindowClass"), 0u);
    const msg::WindowHandle remote = msg::findWindow("peerstatuswindow");
    ASSERT_NE(remote, 0u);
    EXPECT_FALSE(msg::isWindow(remote)) << "not a window of this process";
    EXPECT_TRUE(msg::postMessage(remote, msg::registerMessage("Hello"), 7, -9));
    EXPECT_EQ(peer.Line(), "got Hello 7 -9\n");

    // Our own broadcast reaches the peer and, once, our own top-level window.
    std::vector<Received> ours;
    msg::createWindow(queue_, "MainWindow", true,
                      [&](msg::MessageId id, msg::WParam w, msg::LParam l) {
                          ours.push_back({id, w, l});
                          return msg::LResult{0};
                      });
    EXPECT_TRUE(msg::postMessage(msg::kBroadcast, msg::registerMessage("ConsoleGoneTitsUp"), 0, 0));
    EXPECT_EQ(peer.Line(), "got ConsoleGoneTitsUp 0 0\n");
    WaitFor(ours, 1);
    WaitFor(ours, 2, 300ms);
    EXPECT_EQ(ours.size(), 1u) << "a process does not receive its own broadcast twice";

    EXPECT_TRUE(msg::postMessage(remote, msg::registerMessage("Quit"), 0, 0));
    EXPECT_EQ(peer.Line(), "got Quit 0 0\n");
    EXPECT_EQ(peer.Finish(), 0);
    EXPECT_FALSE(msg::postMessage(remote + 12345, msg::registerMessage("Hello"), 0, 0))
        << "a handle nobody gave out reaches nobody";
}

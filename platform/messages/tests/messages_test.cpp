#include <platform/messages.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace platform::messages;

namespace {

struct Received {
    MessageId message;
    WParam wParam;
    LParam lParam;
    std::thread::id thread;
};

}  // namespace

TEST(RegisteredMessages, OneIdPerNameIgnoringCase) {
    const MessageId a = registerMessage("Automation Needs Status");
    EXPECT_GE(a, kFirstRegisteredMessage);
    EXPECT_EQ(a, registerMessage("automation needs status"));
    EXPECT_NE(a, registerMessage("ButtonFromVantor"));
    EXPECT_EQ(registerMessage(""), 0u);
    EXPECT_EQ(registeredMessageName(a), "Automation Needs Status");
    EXPECT_EQ(registeredMessageName(5), "");
}

TEST(Windows, FindsTheFirstLiveTopLevelWindowOfAClass) {
    MessageQueue queue;
    const WindowHandle child = createWindow(queue, "FindMeClass", false, nullptr);
    EXPECT_EQ(findWindow("FindMeClass"), 0u) << "child windows are not found";
    const WindowHandle first = createWindow(queue, "FindMeClass", true, nullptr);
    const WindowHandle second = createWindow(queue, "findmeclass", true, nullptr);
    EXPECT_EQ(findWindow("FINDMECLASS"), first);
    destroyWindow(first);
    EXPECT_FALSE(isWindow(first));
    EXPECT_EQ(findWindow("FindMeClass"), second);
    destroyWindow(second);
    destroyWindow(child);
    EXPECT_EQ(findWindow("FindMeClass"), 0u);
}

TEST(Windows, PostedMessagesRunOnTheOwnerThreadInOrder) {
    std::vector<Received> got;
    MessageQueue queue;
    const WindowHandle window =
        createWindow(queue, "PostTarget", true, [&](MessageId m, WParam w, LParam l) -> LResult {
            got.push_back({m, w, l, std::this_thread::get_id()});
            return 0;
        });
    std::thread poster([&] {
        EXPECT_TRUE(postMessage(window, 0xC100, 1, -5));
        EXPECT_TRUE(postMessage(window, 0xC100, 2, 7));
    });
    poster.join();
    EXPECT_TRUE(got.empty()) << "nothing runs before the owner processes its queue";
    EXPECT_EQ(queue.processPending(), 2u);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wParam, 1u);
    EXPECT_EQ(got[0].lParam, -5);
    EXPECT_EQ(got[1].wParam, 2u);
    EXPECT_EQ(got[0].thread, std::this_thread::get_id());
    destroyWindow(window);
    EXPECT_FALSE(postMessage(window, 1, 0, 0));
}

TEST(Windows, BroadcastReachesEveryTopLevelWindowOnly) {
    std::atomic<int> topHits{0};
    std::atomic<int> childHits{0};
    MessageQueue queue;
    const WindowHandle a = createWindow(queue, "BcastA", true, [&](auto...) -> LResult {
        ++topHits;
        return 0;
    });
    const WindowHandle b = createWindow(queue, "BcastB", true, [&](auto...) -> LResult {
        ++topHits;
        return 0;
    });
    const WindowHandle c = createWindow(queue, "BcastC", false, [&](auto...) -> LResult {
        ++childHits;
        return 0;
    });
    EXPECT_TRUE(postMessage(kBroadcast, 0xC200, 0, 0));
    queue.processPending();
    EXPECT_EQ(topHits.load(), 2);
    EXPECT_EQ(childHits.load(), 0);
    destroyWindow(a);
    destroyWindow(b);
    destroyWindow(c);
}

TEST(Windows, SendWaitsForTheOwnerThreadsResult) {
    std::promise<WindowHandle> created;
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        MessageQueue queue;
        created.set_value(createWindow(
            queue, "SendTarget", true,
            [](MessageId, WParam w, LParam l) -> LResult { return static_cast<LResult>(w) + l; }));
        while (!stop) {
            queue.waitAndProcess(std::chrono::milliseconds(20));
        }
    });
    const WindowHandle window = created.get_future().get();
    EXPECT_EQ(sendMessage(window, 0xC300, 40, 2), 42);
    stop = true;
    owner.join();
    EXPECT_EQ(sendMessage(window, 0xC300, 40, 2), 0) << "the queue died with its thread";
}

TEST(Windows, SendFromTheOwnerThreadRunsDirectly) {
    MessageQueue queue;
    const WindowHandle window =
        createWindow(queue, "SelfSend", false, [](auto...) -> LResult { return 9; });
    EXPECT_EQ(sendMessage(window, 1, 0, 0), 9);
    destroyWindow(window);
}

TEST(Windows, QueueFdSignalsPendingMessages) {
    MessageQueue queue;
    const WindowHandle window =
        createWindow(queue, "FdTarget", false, [](auto...) -> LResult { return 0; });
    postMessage(window, 1, 0, 0);
    uint64_t counter = 0;
    EXPECT_EQ(::read(queue.fd(), &counter, sizeof counter), static_cast<ssize_t>(sizeof counter));
    EXPECT_GE(counter, 1u);
    EXPECT_EQ(queue.processPending(), 1u);
    destroyWindow(window);
}

namespace {
struct FakeTransport : RemoteTransport {
    std::vector<std::pair<WindowHandle, std::string>> posts;
    WindowHandle findWindow(std::string_view className) override {
        return className == "RemoteOnly" ? 0x7000000 : 0;
    }
    bool post(WindowHandle window, std::string_view name, MessageId, WParam, LParam) override {
        posts.emplace_back(window, std::string(name));
        return true;
    }
};
}  // namespace

TEST(RemoteTransport, FindsAndPostsToWindowsOfOtherProcesses) {
    auto transport = std::make_shared<FakeTransport>();
    setRemoteTransport(transport);
    const WindowHandle remote = findWindow("RemoteOnly");
    EXPECT_EQ(remote, 0x7000000u);
    const MessageId id = registerMessage("Automation Event Notication");
    EXPECT_TRUE(postMessage(remote, id, 19, 50));
    EXPECT_TRUE(postMessage(kBroadcast, id, 19, 60));
    setRemoteTransport(nullptr);
    ASSERT_EQ(transport->posts.size(), 2u);
    EXPECT_EQ(transport->posts[0].first, remote);
    EXPECT_EQ(transport->posts[0].second, "Automation Event Notication");
    EXPECT_EQ(transport->posts[1].first, kBroadcast);
    EXPECT_EQ(findWindow("RemoteOnly"), 0u);
}

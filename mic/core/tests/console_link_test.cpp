#include <gtest/gtest.h>
#include <platform/com/global_memory.h>

#include <atomic>
#include <thread>

#include "FakeRookServer.h"
#include "MicHarness.h"
#include "mic/core/ClientMonitorReceptacle.h"
#include "mic/core/MicLineInterface.h"

using namespace mic;
using rooktest::MakeBlock;

namespace {

// The main window's side: notices wait in a queue until the test runs them.
struct QueueTarget : ConsoleNoticeTarget {
    void Post(std::function<void()> notice) override { queued.push_back(std::move(notice)); }
    void OnButtonFromVantor(int wParam, int lParam) override {
        buttons.push_back({wParam, lParam});
        if (onButton) {
            onButton();
        }
    }
    void OnCloseRequest() override { ++closes; }
    void RunQueued() {
        auto notices = std::move(queued);
        queued.clear();
        for (auto& notice : notices) {
            notice();
        }
    }
    std::vector<std::function<void()>> queued;
    std::vector<std::pair<int, int>> buttons;
    std::function<void()> onButton;
    int closes = 0;
};

class ConsoleLink : public ::testing::Test {
  protected:
    rooktest::World world;
    rooktest::FakeFactory factory;
    rooktest::Registration registration{factory};
    QueueTarget target;
};

rooktest::Bytes Image(uint8_t fill) {
    rooktest::Bytes block = MakeBlock(0, 496);
    std::fill(block.begin() + 16, block.end(), fill);
    return block;
}

std::vector<uint8_t> CopyOf(CMicLineInterface& line) {
    std::vector<uint8_t> image;
    line.WithImage([&](const uint8_t* bytes) { image.assign(bytes, bytes + kMicLineImageSize); });
    return image;
}

}  // namespace

TEST_F(ConsoleLink, ABurstOfImagesLeavesOneNoticeThatReadsTheNewest) {
    CMicLineInterface line(&target);
    line.MLAttach();
    rooktest::FakeInstance& server = factory.Last();
    EXPECT_EQ(server.sent[0], MakeBlock(276, 16));
    for (uint8_t fill : {1, 2, 3}) {
        EXPECT_EQ(platform::com::GlobalSize(server.Push(Image(fill))), 0u) << "freed";
    }
    ASSERT_EQ(target.queued.size(), 1u);
    std::vector<uint8_t> seen;
    target.onButton = [&] { seen = CopyOf(line); };
    target.RunQueued();
    EXPECT_EQ(target.buttons, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(seen, std::vector<uint8_t>(480, 3));

    server.Push(Image(4));
    EXPECT_EQ(target.queued.size(), 1u) << "the next image queues a new notice";
}

TEST_F(ConsoleLink, APushWhileTheNoticeRunsQueuesTheNextOne) {
    CMicLineInterface line(&target);
    line.MLAttach();
    rooktest::FakeInstance& server = factory.Last();
    server.Push(Image(1));
    target.onButton = [&] {
        target.onButton = nullptr;
        server.Push(Image(2));
    };
    target.RunQueued();
    EXPECT_EQ(target.queued.size(), 1u);
}

TEST_F(ConsoleLink, MicLineBlocksOfAnyOtherSizeChangeNothing) {
    CMicLineInterface line(&target);
    line.MLAttach();
    rooktest::FakeInstance& server = factory.Last();
    server.Push(Image(7));
    target.RunQueued();
    const rooktest::Bytes hostile[] = {MakeBlock(0, 495, 496), MakeBlock(0, 495),
                                       MakeBlock(0, 497),      MakeBlock(0, 497, 496),
                                       MakeBlock(0, 496, 495), MakeBlock(0, 496, 0xFFFFFFFF),
                                       MakeBlock(0, 16),       {}};
    for (rooktest::Bytes block : hostile) {
        std::fill(block.begin() + std::min<size_t>(16, block.size()), block.end(), 9);
        server.Push(block);
    }
    EXPECT_TRUE(target.queued.empty());
    EXPECT_EQ(CopyOf(line), std::vector<uint8_t>(480, 7));
}

TEST_F(ConsoleLink, WithoutAnOwnerTheImageIsKeptAndNoNoticeGoes) {
    CMicLineInterface line(nullptr);
    line.MLAttach();
    // Nothing is offered before the console's first image: zeros would switch phantom on.
    EXPECT_TRUE(CopyOf(line).empty());
    factory.Last().Push(Image(5));
    EXPECT_EQ(CopyOf(line), std::vector<uint8_t>(480, 5));
    line.SetOwner(&target);
    factory.Last().Push(Image(6));
    EXPECT_EQ(target.queued.size(), 1u);
}

TEST_F(ConsoleLink, NoticesOfAReceiverThatHasGoneAreDropped) {
    auto line = std::make_unique<CMicLineInterface>(&target);
    line->MLAttach();
    factory.Last().Push(Image(1));
    auto monitor = std::make_unique<CClientMonitorReceptacle>(&target);
    monitor->CMAttach("mic");
    rooktest::Bytes request = MakeBlock(0, 20);
    request[16] = 1;
    factory.Last().Push(request);
    ASSERT_EQ(target.queued.size(), 2u);
    line.reset();
    monitor.reset();
    target.RunQueued();
    EXPECT_TRUE(target.buttons.empty());
    EXPECT_EQ(target.closes, 0);
}

TEST_F(ConsoleLink, OnlyRequestCodesOneAndTwoCloseTheProgram) {
    CClientMonitorReceptacle monitor(&target);
    monitor.CMAttach("mic");
    rooktest::FakeInstance& server = factory.Last();
    ASSERT_EQ(server.sent.size(), 1u);
    EXPECT_EQ(rooktest::U32At(server.sent[0], 0), 192u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(server.sent[0].data() + 24)), "mic");
    for (uint32_t code : {0u, 3u, 0x100u, 0xFFFFFFFFu, 0x101u}) {
        rooktest::Bytes block = MakeBlock(0, 20);
        rookclient::StoreLE32(block.data(), 16, code);
        server.Push(block);
    }
    EXPECT_TRUE(target.queued.empty());
    for (uint32_t code : {1u, 2u}) {
        rooktest::Bytes block = MakeBlock(0, 20);
        rookclient::StoreLE32(block.data(), 16, code);
        server.Push(block);
    }
    target.RunQueued();
    EXPECT_EQ(target.closes, 2);
}

TEST_F(ConsoleLink, ClientMonitorBlocksThatMisstateTheirSizeAreIgnored) {
    CClientMonitorReceptacle monitor(&target);
    monitor.CMAttach("mic");
    rooktest::FakeInstance& server = factory.Last();
    for (auto [real, stated] :
         {std::pair<size_t, uint32_t>{19, 19}, {19, 20}, {24, 24}, {24, 20}, {20, 24}, {20, 0}}) {
        rooktest::Bytes block = MakeBlock(0, real, stated);
        block[16] = 1;
        server.Push(block);
    }
    EXPECT_TRUE(target.queued.empty());
}

TEST(FastLock, ASecondThreadWaitsWhileTheOwnerMayEnterAgain) {
    CFastCriticalSection section;
    std::atomic<bool> entered{false};
    std::thread other;
    {
        CFastSingleLock outer(&section);
        {
            CFastSingleLock inner(&section);  // the same thread enters again
        }
        other = std::thread([&] {
            CFastSingleLock lock(&section);
            entered = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(entered);
    }
    other.join();
    EXPECT_TRUE(entered);
}

TEST_F(ConsoleLink, APushedImageMovesTheAssignedChannelsOnceTheNoticeRuns) {
    mic::test::Harness h(mic::test::Harness::NoFiles(), true, false);
    CMicLineInterface line(&target);
    MicConfig config;
    config.settings = mic::test::Harness::NoFiles();
    config.consoleIntegration = true;
    config.snapshotPath = h.dir.File("RestoreSnapshot.mic");
    config.debugLogPath = h.dir.File("MicDebug.txt");
    MicServices services = h.Services(false);
    services.console = &line;
    h.mic = std::make_unique<MicController>(config, services);
    target.onButton = [&] { h.mic->ApplyConsoleData(0, 0); };

    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(mic::test::DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->AssignConsoleChannel(0, 5);
    h.DrainRing();
    line.MLAttach();
    rooktest::Bytes image = MakeBlock(0, 496);
    for (int l = 0; l < 120; ++l) {
        image[16 + 4 * l] = 1;      // phantom off
        image[16 + 4 * l + 2] = 3;  // gain step 3
    }
    image[16 + 4 * 4 + 0] = 0;  // console line 5: phantom on
    image[16 + 4 * 4 + 2] = 9;  // gain step 9
    const uint32_t before = h.State().setting[0];
    const uint32_t unassigned = h.State().setting[1];
    factory.Last().Push(image);
    EXPECT_EQ(h.State().setting[0], before) << "nothing moves before the notice runs";
    target.RunQueued();
    EXPECT_EQ(h.State().setting[0] & 0x7F, 0x49u);
    EXPECT_EQ(h.State().setting[1], unassigned);
}

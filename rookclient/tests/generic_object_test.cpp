#include <gtest/gtest.h>
#include <platform/com/activation.h>
#include <platform/com/global_memory.h>
#include <platform/messages.h>
#include <unistd.h>

#include <algorithm>

#include "FakeRookServer.h"
#include "RecordingProxy.h"
#include "RookProcess.h"
#include "rookclient/RookServer.h"

using namespace rooktest;
using namespace std::chrono_literals;
using rookclient::SERVER_E_BOOTING;
using rookclient::SERVER_E_NO_DATA;
using rookclient::SERVER_E_NOT_READY;

namespace {

class GenericObject : public ::testing::Test {
  protected:
    World world;
    FakeFactory factory;
    std::unique_ptr<Registration> registration = std::make_unique<Registration>(factory);
};

bool Freed(HGLOBAL block) {
    return GlobalSize(block) == 0;
}

}  // namespace

TEST_F(GenericObject, TheFirstProxyObtainsTheClassObjectAndTheLastReleasesIt) {
    const ULONG registered = factory.refs;
    auto first = std::make_unique<RecordingProxy>();
    EXPECT_EQ(factory.lookups, 1);
    EXPECT_EQ(factory.refs, registered + 1);
    auto second = std::make_unique<RecordingProxy>();
    EXPECT_EQ(factory.lookups, 1) << "later proxies reuse the class object";
    EXPECT_EQ(factory.instances.size(), 2u) << "one server instance per proxy";

    first.reset();
    EXPECT_EQ(factory.refs, registered + 1);
    second.reset();
    EXPECT_EQ(factory.refs, registered);
    EXPECT_EQ(factory.Instance(0).refs, 0u);
    EXPECT_EQ(factory.Instance(1).refs, 0u);

    RecordingProxy third;
    EXPECT_EQ(factory.lookups, 2) << "the next proxy obtains it again";
}

TEST_F(GenericObject, ClassObjectFailuresShowTheirTextsAndStopAtTheFirstSuccess) {
    factory.lookupFailures = {REGDB_E_CLASSNOTREG, E_FAIL, CO_E_APPDIDNTREG};
    RecordingProxy proxy;
    EXPECT_EQ(factory.lookups, 4);
    EXPECT_EQ(world.boxes, (std::vector<std::string>{"|Class Not Registered|0",
                                                     "|Error: App didn't register|0"}));
    EXPECT_TRUE(proxy.IsConnected());
}

TEST_F(GenericObject, AProxyWithoutAServerSurvivesEveryCall) {
    registration.reset();  // nothing serves the class in this process, nor on the bus
    {
        RecordingProxy proxy;
        EXPECT_EQ(world.boxes.size(), 20u) << "twenty attempts, one box each";
        EXPECT_FALSE(proxy.IsConnected());
        HGLOBAL block = GlobalAlloc(0x2042, 16);
        EXPECT_EQ(proxy.SendData(block), RPC_S_SERVER_UNAVAILABLE);
        GlobalFree(block);
        EXPECT_EQ(proxy.ReadData(-1), nullptr);
        proxy.StartAdvise(1);
        proxy.StartAdvise(1);
        proxy.StopAdvise();
        proxy.ReActivate();
        proxy.CancelRookCommand();
        EXPECT_FALSE(proxy.IsReady());
        EXPECT_EQ(world.entries,
                  (std::vector<std::string>{"Rookclient has no connection to the server for\n"
                                            "TestRook"}));
    }
    EXPECT_TRUE(world.exits.empty());
}

TEST_F(GenericObject, AFailedInstanceOrDataInterfaceLeavesTheProxyUnconnected) {
    factory.failCreate = true;
    RecordingProxy noInstance;
    EXPECT_FALSE(noInstance.IsConnected());
    factory.failCreate = false;
    factory.refuseDataObject = true;
    {
        RecordingProxy noData;
        EXPECT_FALSE(noData.IsConnected());
        noData.StartAdvise(1);
        EXPECT_TRUE(factory.Last().calls.empty());
    }
    EXPECT_EQ(factory.Last().refs, 0u) << "the instance is released all the same";
}

TEST_F(GenericObject, CallsCarryTheRegisteredFormatAndTheirAspects) {
    RecordingProxy proxy;
    proxy.StartAdvise(1);
    HGLOBAL block = GlobalAlloc(0x2042, 16);
    proxy.SendData(block);
    GlobalFree(block);
    FakeInstance& server = factory.Last();
    const CLIPFORMAT format = RegisterClipboardFormat("RookObjectClipboardFormat");
    ASSERT_EQ(server.adviseFormats.size(), 1u);
    EXPECT_EQ(server.adviseFormats[0].cfFormat, format);
    EXPECT_EQ(server.adviseFormats[0].dwAspect, static_cast<DWORD>(getpid()));
    EXPECT_EQ(server.adviseFormats[0].lindex, -1);
    ASSERT_EQ(server.getFormats.size(), 1u);
    EXPECT_EQ(server.getFormats[0].dwAspect, 0xFFFFFFFFu);
    ASSERT_EQ(server.setFormats.size(), 1u);
    EXPECT_EQ(server.setFormats[0].cfFormat, format);
    EXPECT_EQ(server.setFormats[0].dwAspect, static_cast<DWORD>(getpid()));
}

TEST_F(GenericObject, NotReadyAnswersAreRetriedWithGrowingDelaysUpToTheLimit) {
    RecordingProxy proxy;
    factory.Last().adviseAnswers.assign(25, SERVER_E_NOT_READY);
    proxy.StartAdvise(0);
    ASSERT_EQ(world.sleeps.size(), 25u);
    EXPECT_EQ(world.sleeps[0], 100ms);
    EXPECT_EQ(world.sleeps[8], 100ms);
    EXPECT_EQ(world.sleeps[9], 110ms);
    EXPECT_EQ(world.sleeps[19], 120ms);
    EXPECT_EQ(factory.Last().calls.size(), 26u);
    EXPECT_NE(factory.Last().sink, nullptr);
    EXPECT_TRUE(world.quits.empty());
}

TEST_F(GenericObject, SixHundredNotReadyAnswersAreRetriedAndTheNextTimesOut) {
    platform::messages::MessageQueue queue;
    std::vector<platform::messages::MessageId> seen;
    platform::messages::createWindow(queue, "ConsoleWatcher", true,
                                     [&](platform::messages::MessageId m, auto, auto) {
                                         seen.push_back(m);
                                         return 0;
                                     });
    {
        RecordingProxy proxy;
        factory.Last().adviseAnswers.assign(600, SERVER_E_NOT_READY);
        proxy.StartAdvise(1);
        EXPECT_NE(factory.Last().sink, nullptr) << "the 600th not-ready answer is retried";
        EXPECT_TRUE(world.quits.empty());
    }
    RecordingProxy proxy;
    factory.Last().adviseAnswers.assign(601, SERVER_E_NOT_READY);
    factory.Last().getAnswers.push_back({S_OK, MakeBlock(1, 20)});
    proxy.StartAdvise(1);
    EXPECT_EQ(factory.Last().sink, nullptr);
    EXPECT_EQ(world.quits, std::vector<int>{0});
    ASSERT_FALSE(world.entries.empty());
    EXPECT_EQ(world.entries.back(), "Rookclient timed out connecting to\nTestRook");
    EXPECT_TRUE(proxy.delivered.empty()) << "nothing is read after a time-out";
    EXPECT_FALSE(proxy.IsReady());
    queue.processPending();
    EXPECT_EQ(seen, std::vector<platform::messages::MessageId>{
                        platform::messages::registerMessage("ConsoleGoneTitsUp")});
    EXPECT_TRUE(world.exits.empty());
}

TEST_F(GenericObject, BootingAnswersWaitFiveSecondsAndDoNotCount) {
    rookclient::detail::Process().clientMaxRetries = 600;
    RecordingProxy proxy;
    FakeInstance& server = factory.Last();
    for (int i = 0; i < 600; ++i) {
        server.adviseAnswers.push_back(SERVER_E_NOT_READY);
        if (i % 100 == 0) {
            server.adviseAnswers.push_back(SERVER_E_BOOTING);
        }
    }
    proxy.StartAdvise(0);
    EXPECT_NE(server.sink, nullptr);
    EXPECT_TRUE(world.quits.empty());
    EXPECT_EQ(std::count(world.sleeps.begin(), world.sleeps.end(), 5000ms), 6);
    EXPECT_EQ(world.sleeps.back(), 700ms) << "the delay after the 600th not-ready answer";
}

TEST_F(GenericObject, AServerGoneWhileAttachingShowsTheSevereErrorAndEndsTheProcess) {
    RecordingProxy proxy;
    factory.Last().adviseAnswers = {SERVER_E_NOT_READY, RPC_S_SERVER_UNAVAILABLE};
    proxy.StartAdvise(1);
    EXPECT_EQ(world.boxes,
              std::vector<std::string>{"Severe Error|RookServer is no longer responding !|4112"});
    ASSERT_EQ(world.entries.size(), 1u);
    EXPECT_EQ(world.entries[0], "ROOKSERVER stopped responding after attaching to \nTestRook");
    EXPECT_EQ(world.exits, std::vector<int>{-1});
    EXPECT_TRUE(world.quits.empty());
    EXPECT_EQ(factory.Last().calls.size(), 2u) << "no read follows";
}

TEST_F(GenericObject, AServerGoneWhileReadingEndsTheProcessWithTheGetDataText) {
    RecordingProxy proxy;
    factory.Last().getAnswers = {{S_OK, std::nullopt}, {RPC_S_SERVER_UNAVAILABLE, std::nullopt}};
    EXPECT_EQ(proxy.ReadData(-1), nullptr);
    ASSERT_EQ(world.entries.size(), 1u);
    EXPECT_EQ(world.entries[0],
              "ROOKSERVER stopped responding after getdata for client :\nTestRook");
    EXPECT_EQ(world.exits, std::vector<int>{-1});
}

TEST_F(GenericObject, ReadDataPollsWhileTheServerHasNothingAndStopsAtNoData) {
    RecordingProxy proxy;
    FakeInstance& server = factory.Last();
    server.getAnswers = {{S_OK, std::nullopt}, {S_OK, std::nullopt}, {S_OK, MakeBlock(7, 24)}};
    HGLOBAL block = proxy.ReadData(-1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 24u);
    GlobalFree(block);
    EXPECT_EQ(world.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 50ms}));

    world.sleeps.clear();
    EXPECT_EQ(proxy.ReadData(-1), nullptr);
    EXPECT_TRUE(world.sleeps.empty());
    proxy.StartAdvise(1);
    EXPECT_TRUE(proxy.delivered.empty()) << "no data, nothing delivered";
    EXPECT_TRUE(proxy.IsReady()) << "yet the initial read counts";
}

TEST_F(GenericObject, StartAdviseWithReadNowDeliversTheCurrentDataOnce) {
    RecordingProxy proxy;
    factory.Last().getAnswers = {{S_OK, MakeBlock(9, 40)}};
    proxy.StartAdvise(1);
    ASSERT_EQ(proxy.delivered.size(), 1u);
    EXPECT_EQ(U32At(proxy.delivered[0], 0), 9u);
    EXPECT_TRUE(proxy.checked[0]);
}

TEST_F(GenericObject, PushesWhileSuspendedAreFreedUndeliveredButMakeTheProxyReady) {
    RecordingProxy proxy;
    proxy.StartAdvise(0);
    FakeInstance& server = factory.Last();
    IAdviseSink* sink = server.sink;
    ASSERT_NE(sink, nullptr);
    EXPECT_FALSE(proxy.IsReady());
    proxy.Suspend();
    EXPECT_EQ(server.sink, nullptr);

    HGLOBAL block = GlobalAlloc(0x2042, 20);
    STGMEDIUM medium{TYMED_HGLOBAL, block, nullptr};
    FORMATETC format{};
    sink->OnDataChange(&format, &medium);  // a push already on its way
    EXPECT_TRUE(Freed(block));
    EXPECT_TRUE(proxy.delivered.empty());
    EXPECT_TRUE(proxy.IsReady());

    proxy.ReActivate();
    EXPECT_TRUE(Freed(server.Push(MakeBlock(3, 20))));
    EXPECT_EQ(proxy.delivered.size(), 1u);
}

TEST_F(GenericObject, PushedBlocksAreDeliveredWithTheirRealSizeAndAlwaysFreed) {
    RecordingProxy proxy;
    proxy.StartAdvise(0);
    FakeInstance& server = factory.Last();
    HGLOBAL good = server.Push(MakeBlock(5, 100));
    HGLOBAL lying = server.Push(MakeBlock(5, 100, 2000));
    HGLOBAL tooShort = server.Push(Bytes(15, 0xFF));
    HGLOBAL empty = server.Push({});
    EXPECT_TRUE(Freed(good) && Freed(lying) && Freed(tooShort) && Freed(empty));
    ASSERT_EQ(proxy.delivered.size(), 2u) << "blocks shorter than a header never reach OnLinkIn";
    EXPECT_EQ(proxy.delivered[0].size(), 100u);
    EXPECT_EQ(proxy.checked, (std::vector<bool>{true, false}));

    STGMEDIUM nothing{TYMED_HGLOBAL, nullptr, nullptr};
    server.sink->OnDataChange(nullptr, &nothing);
    server.sink->OnDataChange(nullptr, nullptr);
    EXPECT_EQ(proxy.delivered.size(), 2u);
}

TEST_F(GenericObject, SuspendAndReActivateChangeNothingWhenAlreadyInThatState) {
    RecordingProxy proxy;
    FakeInstance& server = factory.Last();
    proxy.ReActivate();  // never suspended
    EXPECT_TRUE(server.calls.empty());
    proxy.StartAdvise(0);
    proxy.ReActivate();
    EXPECT_EQ(server.calls, std::vector<std::string>{"DAdvise"});
    proxy.Suspend();
    proxy.Suspend();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"DAdvise", "DUnadvise"}));
    proxy.ReActivate();
    EXPECT_EQ(server.calls,
              (std::vector<std::string>{"DAdvise", "DUnadvise", "DAdvise", "GetData"}))
        << "re-activation reads the current data again";
}

TEST_F(GenericObject, SuspendAllAndReActivateAllReachOnlySubscribedProxies) {
    RecordingProxy a, b, neverAttached;
    RecordingProxy commandOnly(0);
    a.StartAdvise(0);
    b.StartAdvise(0);
    commandOnly.StartAdvise(1);
    CGenericRookObject::SuspendAll();
    EXPECT_EQ(factory.Instance(0).sink, nullptr);
    EXPECT_EQ(factory.Instance(1).sink, nullptr);
    CGenericRookObject::ReActivateAll();
    EXPECT_NE(factory.Instance(0).sink, nullptr);
    EXPECT_NE(factory.Instance(1).sink, nullptr);
    EXPECT_TRUE(factory.Instance(2).calls.empty());
    EXPECT_TRUE(factory.Instance(3).calls.empty());
    EXPECT_FALSE(commandOnly.IsReady());
}

TEST_F(GenericObject, UnadviseRetriesNotReadyAnswersButNotForever) {
    rookclient::detail::Process().clientMaxRetries = 600;
    RecordingProxy proxy;
    FakeInstance& server = factory.Last();
    proxy.StartAdvise(0);
    server.unadviseAnswers = {SERVER_E_NOT_READY, SERVER_E_NOT_READY};
    proxy.StopAdvise();
    EXPECT_EQ(world.sleeps, (std::vector<std::chrono::milliseconds>{1ms, 1ms}));
    EXPECT_EQ(server.sink, nullptr);

    proxy.StartAdvise(0);
    server.unadviseAnswers.assign(5000, SERVER_E_NOT_READY);
    world.sleeps.clear();
    proxy.StopAdvise();
    EXPECT_EQ(world.sleeps.size(), 600u);
    proxy.StartAdvise(0);
    EXPECT_NE(server.sink, nullptr) << "the proxy can subscribe again";
}

TEST_F(GenericObject, ASecondStartAdviseDropsTheFirstConnection) {
    RecordingProxy proxy;
    FakeInstance& server = factory.Last();
    proxy.StartAdvise(0);
    const DWORD first = server.connection;
    proxy.StartAdvise(0);
    EXPECT_EQ(server.calls, (std::vector<std::string>{"DAdvise", "DUnadvise", "DAdvise"}));
    EXPECT_NE(server.connection, first);
}

TEST_F(GenericObject, DestructionUnsubscribesAndReleasesTheInstance) {
    auto proxy = std::make_unique<RecordingProxy>();
    proxy->StartAdvise(0);
    FakeInstance& server = factory.Last();
    proxy.reset();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"DAdvise", "DUnadvise"}));
    EXPECT_EQ(server.refs, 0u);
    EXPECT_TRUE(rookclient::detail::Process().subscribed.empty());
    CGenericRookObject::ReActivateAll();  // must not reach the dead proxy
}

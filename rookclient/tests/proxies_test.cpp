#include <gtest/gtest.h>
#include <platform/com/global_memory.h>

#include <string>

#include "FakeRookServer.h"
#include "rookclient/ClientMonitorRookObject.h"
#include "rookclient/CommandBlock.h"
#include "rookclient/MicLineRookObject.h"

using namespace rooktest;

namespace {

class Proxies : public ::testing::Test {
  protected:
    World world;
    FakeFactory factory;
    Registration registration{factory};
};

Bytes Slice(const Bytes& block, size_t offset, size_t count) {
    return Bytes(block.begin() + offset, block.begin() + offset + count);
}

}  // namespace

TEST_F(Proxies, MicLineAttachSendsItsCommandUnsubscribedThenSubscribesWithoutReading) {
    CMicLineRookObject micLine(1);
    EXPECT_EQ(micLine.GetServerObjectName(), "MicLineRook");
    micLine.MLAttach();
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"SetData", "DAdvise"}));
    ASSERT_EQ(server.sent.size(), 1u);
    EXPECT_EQ(server.sent[0], MakeBlock(276, 16));

    micLine.MLAttach();
    EXPECT_EQ(server.calls,
              (std::vector<std::string>{"SetData", "DAdvise", "DUnadvise", "SetData", "DAdvise"}))
        << "a second attach unsubscribes before it sends";
}

TEST_F(Proxies, AMicLineBlockPushedBeforeTheAttachIsNeverDelivered) {
    struct Receiver : CMicLineRookObject {
        Receiver() : CMicLineRookObject(1) {}
        int OnLinkIn(_CommsStructure*) override { return ++count; }
        int count = 0;
    } receiver;
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.Push(MakeBlock(0, 496)), nullptr) << "nobody subscribed yet";
    receiver.MLAttach();
    server.Push(MakeBlock(0, 496));
    EXPECT_EQ(receiver.count, 1);
}

TEST_F(Proxies, ClientMonitorAttachSendsTheNameInItsFixedField) {
    CClientMonitorRookObject monitor(1);
    EXPECT_EQ(monitor.GetServerObjectName(), "ClientMonitorRook");
    monitor.CMAttach("mic");
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"SetData", "DAdvise"}));
    ASSERT_EQ(server.sent.size(), 1u);
    const Bytes& block = server.sent[0];
    ASSERT_EQ(block.size(), 224u);
    EXPECT_EQ(U32At(block, 0), 192u);
    EXPECT_EQ(U32At(block, 4), 0u);
    EXPECT_EQ(U32At(block, 8), 224u);
    EXPECT_EQ(U32At(block, 12), 0u);
    EXPECT_EQ(U32At(block, 16), 0u);
    EXPECT_EQ(U32At(block, 20), 0u);
    Bytes name(200, 0);
    name[0] = 'm', name[1] = 'i', name[2] = 'c';
    EXPECT_EQ(Slice(block, 24, 200), name);
}

TEST_F(Proxies, ClientNamesAreCutToTheFieldAndAnEmptyOneLeavesItZero) {
    CClientMonitorRookObject monitor(1);
    monitor.CMAttach("");
    std::string longName;
    for (int i = 0; i < 250; ++i) {
        longName += static_cast<char>('A' + i % 26);
    }
    monitor.CMAttach(longName);
    FakeInstance& server = factory.Last();
    ASSERT_EQ(server.sent.size(), 2u);
    EXPECT_EQ(server.sent[0], MakeBlock(192, 224));
    ASSERT_EQ(server.sent[1].size(), 224u);
    EXPECT_EQ(Slice(server.sent[1], 24, 200), Bytes(longName.begin(), longName.begin() + 200))
        << "the first 200 bytes, without a terminator";
}

TEST_F(Proxies, CompleteShutDownIsSentEvenByANeverAttachedProxyAndLeavesAdviseAlone) {
    CClientMonitorRookObject monitor(1);
    monitor.RequestCompleteShutDown();
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.calls, std::vector<std::string>{"SetData"});
    ASSERT_EQ(server.sent.size(), 1u);
    EXPECT_EQ(server.sent[0], MakeBlock(204, 16));

    monitor.CMAttach("mic");
    monitor.RequestCompleteShutDown();
    EXPECT_NE(server.sink, nullptr);
    monitor.CancelRookCommand();
    EXPECT_EQ(server.sent.back(), MakeBlock(180, 16));
}

TEST_F(Proxies, ACommandOnlyProxySendsButNeverSubscribes) {
    CMicLineRookObject micLine(0);
    micLine.MLAttach();
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.calls, std::vector<std::string>{"SetData"});
    EXPECT_FALSE(micLine.IsReady());
}

TEST_F(Proxies, ARequestBringsItsAnswerBackBeforeItReturns) {
    struct Sized : CMicLineRookObject {
        Sized() : CMicLineRookObject(1) {}
        int OnLinkIn(_CommsStructure* block) override {
            answers.push_back(block->command);
            return 1;
        }
        std::vector<uint32_t> answers;
    } proxy;
    FakeInstance& server = factory.Last();
    server.getAnswers.push_back({S_OK, MakeBlock(188, 20)});
    rookclient::Request(proxy, 188, 224, 0x1234,
                        [](rookclient::CommandBlock& b) { b.PutName(20, 200, "Desk"); });
    EXPECT_EQ(server.calls, (std::vector<std::string>{"SetData", "DAdvise", "GetData"}));
    EXPECT_EQ(proxy.answers, std::vector<uint32_t>{188});
    EXPECT_EQ(U32At(server.sent[0], 4), 0x1234u);
    EXPECT_EQ(Slice(server.sent[0], 20, 5), (Bytes{'D', 'e', 's', 'k', 0}));
}

TEST(CommandBlocks, WritesNeverReachPastTheirFieldOrTheBlock) {
    rookclient::CommandBlock block(1, 32);
    ASSERT_TRUE(block.Valid());
    EXPECT_TRUE(block.PutU32(28, 0xAABBCCDD));
    EXPECT_FALSE(block.PutU32(29, 1));
    EXPECT_FALSE(block.PutU32(SIZE_MAX - 1, 1));
    EXPECT_FALSE(block.PutName(20, 13, "x"));
    EXPECT_TRUE(block.PutName(16, 4, "abcdef"));
    EXPECT_FALSE(block.PutString(24, "12345678"));
    EXPECT_TRUE(block.PutString(20, "1234567"));
    HGLOBAL handle = block.Seal();
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(handle));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 16), 4), "abcd");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 20)), "1234567");
    GlobalUnlock(handle);
    EXPECT_FALSE(block.PutU32(16, 0)) << "a sealed block is not written";
    EXPECT_FALSE(rookclient::CommandBlock(1, 8).Valid()) << "smaller than a header";
}

TEST(CommandBlocks, NamesAreNeverCutInsideACharacter) {
    const std::string name = "ab\xC3\xA9\xE2\x82\xAC";  // "ab", e-acute (2 bytes), euro (3)
    const std::pair<size_t, size_t> widths[] = {{2, 2}, {3, 2}, {4, 4}, {6, 4}, {7, 7}, {9, 7}};
    for (const auto& [width, copied] : widths) {
        rookclient::CommandBlock block(1, 16 + width);
        ASSERT_TRUE(block.PutName(16, width, name));
        HGLOBAL handle = block.Seal();
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(handle));
        Bytes field(bytes + 16, bytes + 16 + width);
        GlobalUnlock(handle);
        Bytes expected(width, 0);
        std::copy(name.begin(), name.begin() + copied, expected.begin());
        EXPECT_EQ(field, expected) << width;
    }
}

TEST(CommandBlocks, ANameEndsAtItsTerminatorAndAStrayLeadByteIsCopiedAsItIs) {
    rookclient::CommandBlock block(1, 32);
    block.PutName(16, 8, std::string("ab\0cd", 5));
    block.PutName(24, 8, "x\xE2");
    HGLOBAL handle = block.Seal();
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(handle));
    EXPECT_EQ(Bytes(bytes + 16, bytes + 32),
              (Bytes{'a', 'b', 0, 0, 0, 0, 0, 0, 'x', 0xE2, 0, 0, 0, 0, 0, 0}));
    GlobalUnlock(handle);
}

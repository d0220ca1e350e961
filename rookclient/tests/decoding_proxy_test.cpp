// The proxies that decode their pushes themselves tell the client's window by a registered
// message, and only for a block they could take.
#include <gtest/gtest.h>
#include <platform/messages.h>

#include <string>
#include <vector>

#include "FakeRookServer.h"
#include "rookclient/Proxies.h"

using namespace rooktest;
namespace msg = platform::messages;

namespace {

class DecodingProxies : public ::testing::Test {
  protected:
    // The names of the registered messages the client's window received.
    std::vector<msg::MessageId> Received() {
        queue.processPending();
        return received;
    }

    World world;
    FakeFactory factory;
    Registration registration{factory};
    msg::MessageQueue queue;
    std::vector<msg::MessageId> received;
    msg::WindowHandle window = msg::createWindow(
        queue, "DecodingProxyClient", false,
        [this](msg::MessageId id, msg::WParam wParam, msg::LParam lParam) -> msg::LResult {
            if (wParam == 0 && lParam == 0) {
                received.push_back(id);
            }
            return 0;
        });
};

// A stream map block: modes 5 and 6, then the (value, key) pairs.
Bytes StreamBlock(std::vector<std::pair<uint16_t, uint16_t>> pairs, size_t cut = 0) {
    Bytes block = MakeBlock(0, 32 + 4 * pairs.size() - cut);
    block[20] = 5, block[24] = 6, block[28] = static_cast<uint8_t>(pairs.size());
    for (size_t i = 0; i < pairs.size() && 32 + 4 * i + 4 <= block.size(); ++i) {
        block[32 + 4 * i] = static_cast<uint8_t>(pairs[i].first);
        block[34 + 4 * i] = static_cast<uint8_t>(pairs[i].second);
    }
    return block;
}

}  // namespace

TEST_F(DecodingProxies, NexusRoutingTakesTheStreamMapAndTellsTheClient) {
    CNexusRoutingRookObject nexus(1);
    FakeInstance& server = factory.Last();
    nexus.NRAttach(window);
    server.Push(StreamBlock({{7, 3}, {9, 4}}));
    EXPECT_EQ(Received(), (std::vector<msg::MessageId>{msg::registerMessage("Nexus LinkIn")}));
    EXPECT_EQ(nexus.Image().GetMappedStream(3), 7);
    EXPECT_EQ(nexus.Image().GetCommsMode(1), 6u);

    nexus.MapStream(12, 1);
    const Bytes& sent = server.sent.back();
    EXPECT_EQ(U32At(sent, 0), 216u);
    EXPECT_EQ(sent.size(), 32u + 3 * 4) << "the whole map goes back";
}

TEST_F(DecodingProxies, NexusRoutingIgnoresABlockShorterThanItsPairs) {
    CNexusRoutingRookObject nexus(1);
    FakeInstance& server = factory.Last();
    nexus.NRAttach(window);
    server.Push(StreamBlock({{7, 3}}));
    Received();
    received.clear();

    server.Push(StreamBlock({{8, 3}, {9, 4}}, 4));
    server.Push(MakeBlock(0, 20));
    Bytes misstated = StreamBlock({{8, 3}});
    misstated[8] = 200;
    server.Push(misstated);
    EXPECT_TRUE(Received().empty());
    EXPECT_EQ(nexus.Image().GetMappedStream(3), 7) << "the map is kept";
}

TEST_F(DecodingProxies, StudioConfigTellsTheClientOfEverySoundBlockOnly) {
    CStudioConfigRook studio(1);
    FakeInstance& server = factory.Last();
    studio.SCAttach(window);
    server.Push(MakeBlock(0, 16));
    server.Push(MakeBlock(0, 24, 30));
    EXPECT_EQ(Received(),
              (std::vector<msg::MessageId>{msg::registerMessage("Studio Config Ready")}));
}

TEST_F(DecodingProxies, OfflineRoutingEditsTheLocalTableAndTellsTheClientInsteadOfSending) {
    COfflineIORoutingRookObject routing(1);
    FakeInstance& server = factory.Last();
    routing.OfflineIOAttach("Stored", window);
    const size_t sent = server.sent.size();
    routing.Image().SetOnLineMode(0);
    routing.SetIORoute(1, 2, 3, 1, 0, 4, 0);
    EXPECT_EQ(server.sent.size(), sent);
    EXPECT_EQ(Received(),
              (std::vector<msg::MessageId>{msg::registerMessage("Routing Information Ready")}));

    routing.Image().SetOnLineMode(1);
    routing.SetIORoute(1, 2, 3, 1, 0, 4, 0);
    ASSERT_EQ(server.sent.size(), sent + 1);
    EXPECT_EQ(U32At(server.sent.back(), 0), 69u);
    EXPECT_EQ(U32At(server.sent.back(), 4), static_cast<uint32_t>(window));
}

TEST_F(DecodingProxies, RoutingTakesAWholeImageAndIgnoresAShortOne) {
    CIORoutingRookObject routing(1);
    FakeInstance& server = factory.Last();
    routing.IOAttach(window);
    auto image = [](size_t size, uint8_t paths) {
        Bytes block = MakeBlock(0, size);
        block[20] = paths;
        return block;
    };
    server.Push(image(41035, 3));
    Bytes misstated = image(41036, 3);
    misstated[8] = 0;
    server.Push(misstated);
    EXPECT_TRUE(Received().empty());
    EXPECT_EQ(routing.Image().GetNumberOfPaths(), 0);

    server.Push(image(41036, 3));
    EXPECT_EQ(Received(),
              (std::vector<msg::MessageId>{msg::registerMessage("Routing Information Ready")}));
    EXPECT_EQ(routing.Image().GetNumberOfPaths(), 3);
}

TEST_F(DecodingProxies, DefaultValuesTakeAPushedTableWholeAndIgnoreABlockOfAnotherSize) {
    CDefaultValuesRookObject defaults(1);
    FakeInstance& server = factory.Last();
    defaults.DVAttach();
    rookclient::model::DefaultValuesTable pushed(3);
    pushed.SetValue(0, 0, 0, 1, 0x1234);
    pushed.SetValue(2, 12, 30, 8, -3);  // the last processing element
    pushed.SetValue(2, 12, 78, 3, -2);  // the last route element
    pushed.SetValue(1, 5, 31, 0, 77);   // the first route module
    const auto block = rookclient::model::default_values::Save(pushed, "Film", 6);
    const Bytes whole(block.Bytes().begin(), block.Bytes().end());

    auto resized = [&](size_t size) {
        Bytes other = whole;
        other.resize(size);
        other[8] = static_cast<uint8_t>(size), other[9] = static_cast<uint8_t>(size >> 8);
        other[10] = static_cast<uint8_t>(size >> 16);
        return other;
    };
    Bytes misstated = whole;
    misstated[8] ^= 1;
    for (const Bytes& refused :
         {resized(whole.size() - 1), resized(whole.size() + 2), resized(36754), misstated}) {
        server.Push(refused);
        EXPECT_EQ(defaults.Image().GetValue(0, 0, 0, 1),
                  rookclient::model::DefaultValuesTable(3).GetValue(0, 0, 0, 1));
        EXPECT_EQ(defaults.Image().GetValue(2, 12, 78, 3), 1) << "a refused block changes nothing";
    }

    server.Push(whole);
    EXPECT_EQ(defaults.Image().Processing(), pushed.Processing());
    EXPECT_EQ(defaults.Image().Routes(), pushed.Routes());
    EXPECT_EQ(defaults.Image().GetValue(2, 12, 30, 8), -3);
    EXPECT_EQ(defaults.Image().GetValue(1, 5, 31, 0), 77);
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "OscFakes.h"

namespace mic::osc::test {
namespace {

const Peer kPeer{"127.0.0.1", 9000};
const Peer kOther{"127.0.0.1", 9001};

OscValue I(int v) {
    return OscValue::Int(v);
}
OscValue F(float v) {
    return OscValue::Float(v);
}
OscValue S(std::string v) {
    return OscValue::String(std::move(v));
}
OscValue Bool(bool v) {
    OscValue o;
    o.type = v ? 'T' : 'F';
    o.integer = v ? 1 : 0;
    return o;
}

struct Fixture : ::testing::Test {
    FakeModel model;
    RecordingSender sender;
    int64_t now = 1000;
    std::unique_ptr<OscHandler> handler = Make({});

    std::unique_ptr<OscHandler> Make(HandlerOptions options) {
        options.version = "mic 9.9";
        options.nowMs = [this] { return now; };
        return std::make_unique<OscHandler>(model, sender, std::move(options));
    }
    // Sends one message from `peer` and returns the replies it got.
    std::vector<OscMessage> Ask(std::string path, std::vector<OscValue> args = {},
                                const Peer& peer = kPeer) {
        sender.sent.clear();
        handler->HandleMessage(peer, {std::move(path), std::move(args)});
        return sender.To(peer);
    }
};

OscMessage Msg(std::string path, std::vector<OscValue> args) {
    return {std::move(path), std::move(args)};
}
OscMessage Err(std::string path, std::string_view reason) {
    return {"/mic/error", {S(std::move(path)), S(std::string(reason))}};
}

TEST_F(Fixture, GetsAnswerWithTheValueInTheUnitsOfTheAddressSpace) {
    model.onLine[1] = true;
    auto& ch = model.values[ChannelIndex(1, 4)];
    ch[static_cast<int>(ChannelField::Gain)] = 8;
    ch[static_cast<int>(ChannelField::Phantom)] = 1;
    ch[static_cast<int>(ChannelField::ConsoleChannel)] = 17;
    model.names[ChannelIndex(1, 4)] = "Ch\xC4r";  // Latin-1 from the window

    using V = std::vector<OscMessage>;
    EXPECT_EQ(Ask("/mic/version"), V{Msg("/mic/version", {S("mic 9.9")})});
    EXPECT_EQ(Ask("/mic/rack/2/online"), V{Msg("/mic/rack/2/online", {I(1)})});
    EXPECT_EQ(Ask("/mic/rack/3/online"), V{Msg("/mic/rack/3/online", {I(0)})});
    EXPECT_EQ(Ask("/mic/rack/2/version"), V{Msg("/mic/rack/2/version", {S("PX5R 1.01")})});
    EXPECT_EQ(Ask("/mic/rack/2/channel/5/gain"), V{Msg("/mic/rack/2/channel/5/gain", {I(45)})});
    EXPECT_EQ(Ask("/mic/rack/2/channel/5/phantom"),
              V{Msg("/mic/rack/2/channel/5/phantom", {I(1)})});
    EXPECT_EQ(Ask("/mic/rack/2/channel/5/name"),
              V{Msg("/mic/rack/2/channel/5/name", {S("Ch\xC3\x84r")})});
    EXPECT_EQ(Ask("/mic/rack/2/channel/5/console"),
              V{Msg("/mic/rack/2/channel/5/console", {I(17)})});
    EXPECT_EQ(
        Ask("/mic/rack/2/channel/5"),
        V{Msg("/mic/rack/2/channel/5", {I(45), I(1), I(0), I(0), I(0), S("Ch\xC3\x84r"), I(17)})});
    // Leading zeros are read; answers come on the address without them, as pushes do.
    EXPECT_EQ(Ask("/mic/rack/02/channel/05/gain"), V{Msg("/mic/rack/2/channel/5/gain", {I(45)})});
    EXPECT_EQ(Ask("/mic/rack/02/online"), V{Msg("/mic/rack/2/online", {I(1)})});

    const V rack = Ask("/mic/rack/2");
    ASSERT_EQ(rack.size(), 13u);
    EXPECT_EQ(rack[0], Msg("/mic/rack/2", {I(1), S("PX5R 1.01")}));
    EXPECT_EQ(rack[5].path, "/mic/rack/2/channel/5");
    EXPECT_EQ(rack[12].path, "/mic/rack/2/channel/12");
    EXPECT_TRUE(model.sets.empty());
}

TEST_F(Fixture, SetsGoThroughTheModelAsTheRemotePeerAndAnswerTheNewValue) {
    model.onLine[0] = true;
    EXPECT_EQ(Ask("/mic/rack/1/channel/3/gain", {I(45)}),
              std::vector{Msg("/mic/rack/1/channel/3/gain", {I(45)})});
    ASSERT_EQ(model.sets.size(), 1u);
    EXPECT_EQ(model.sets[0].rack, 0);
    EXPECT_EQ(model.sets[0].channel, 2);
    EXPECT_EQ(model.sets[0].value, 8);
    EXPECT_EQ(model.sets[0].origin.source, ChangeSource::Remote);
    EXPECT_EQ(model.sets[0].origin.detail, "127.0.0.1:9000");

    // Faders send floats: the nearest 5 dB step, the ends included.
    const std::vector<std::pair<float, int>> gains{{47.4f, 8},  {47.6f, 9}, {20.0f, 3},
                                                   {70.0f, 13}, {22.4f, 3}, {67.6f, 13}};
    for (auto [db, step] : gains) {
        Ask("/mic/rack/1/channel/3/gain", {F(db)});
        EXPECT_EQ(model.sets.back().value, step) << db;
    }
    // Switches from integers, floats of buttons and booleans.
    model.sets.clear();
    Ask("/mic/rack/1/channel/1/phantom", {I(1)});
    Ask("/mic/rack/1/channel/1/phase", {F(1.0f)});
    Ask("/mic/rack/1/channel/1/pad", {Bool(true)});
    Ask("/mic/rack/1/channel/1/direct", {F(0.0f)});
    ASSERT_EQ(model.sets.size(), 4u);
    EXPECT_EQ(model.sets[0].field, ChannelField::Phantom);
    EXPECT_EQ(model.sets[1].field, ChannelField::Phase);
    EXPECT_EQ(model.sets[2].field, ChannelField::Pad);
    EXPECT_EQ(model.sets[3].field, ChannelField::DirectOut);
    EXPECT_EQ(model.sets[0].value + model.sets[1].value + model.sets[2].value, 3);
    EXPECT_EQ(model.sets[3].value, 0);

    // Names arrive as UTF-8 and are kept in the window's Latin-1.
    EXPECT_EQ(Ask("/mic/rack/1/channel/1/name", {S("S\xC3\xA4nger")}),
              std::vector{Msg("/mic/rack/1/channel/1/name", {S("S\xC3\xA4nger")})});
    EXPECT_EQ(model.names[0], "S\xE4nger");
    Ask("/mic/rack/1/channel/1/name", {S("")});
    EXPECT_EQ(model.sets.back().text, "");
}

TEST_F(Fixture, BadValuesAreAnsweredWithAnErrorAndNeverReachTheModel) {
    model.onLine[0] = true;
    const std::string gain = "/mic/rack/1/channel/1/gain";
    const std::string pad = "/mic/rack/1/channel/1/pad";
    const std::string name = "/mic/rack/1/channel/1/name";
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        std::string path;
        std::vector<OscValue> args;
        std::string_view reason;
    } cases[] = {
        {gain, {I(75)}, refusal::kOutOfRange},
        {gain, {I(15)}, refusal::kOutOfRange},
        {gain, {F(19.9f)}, refusal::kOutOfRange},
        {gain, {F(70.5f)}, refusal::kOutOfRange},
        {gain, {F(std::nanf(""))}, refusal::kOutOfRange},
        {gain, {F(inf)}, refusal::kOutOfRange},
        {gain, {I(-2147483647)}, refusal::kOutOfRange},
        {gain, {S("45")}, error::kWrongType},
        {gain, {Bool(true)}, error::kWrongType},
        {gain, {I(45), I(50)}, error::kOneArgument},
        {pad, {I(2)}, refusal::kOutOfRange},
        {pad, {F(0.5f)}, refusal::kOutOfRange},
        {pad, {S("on")}, error::kWrongType},
        {name, {I(1)}, error::kWrongType},
        {name, {S("thirteen char")}, error::kBadName},
        {name, {S(std::string(4000, 'x'))}, error::kBadName},
        {name, {S("tab\there")}, error::kBadName},
        {name, {S("\xE2\x82\xAC uro")}, error::kBadName},  // outside Latin-1
        {name, {S("bad \xC3")}, error::kBadName},          // cut UTF-8
        {"/mic/rack/1/channel/1/console", {I(3)}, error::kReadOnly},
        {"/mic/rack/1/online", {I(0)}, error::kReadOnly},
        {"/mic/rack/1", {I(0)}, error::kReadOnly},
        {"/mic/version", {S("x")}, error::kReadOnly},
        {"/mic/rack/17/channel/1/gain", {I(45)}, error::kUnknownAddress},
        {"/mic/rack/0/channel/1/gain", {I(45)}, error::kUnknownAddress},
        {"/mic/rack/1/channel/13/gain", {I(45)}, error::kUnknownAddress},
        {"/mic/rack/1/channel/1/volume", {I(45)}, error::kUnknownAddress},
        {"/mic/rack/1/channel/1/gain/x", {I(45)}, error::kUnknownAddress},
        {"/mic/rack/+1/channel/1/gain", {I(45)}, error::kUnknownAddress},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ask(c.path, c.args), std::vector{Err(c.path, c.reason)}) << c.path;
    }
    EXPECT_TRUE(model.sets.empty());
    EXPECT_TRUE(model.refusals.empty());

    // An address of any length comes back cut short.
    const std::string longPath = "/mic/" + std::string(3000, 'a');
    const auto replies = Ask(longPath);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].args[0].text, longPath.substr(0, 64));
}

TEST_F(Fixture, RefusedSetsAnswerTheReasonAndTheValueThatStands) {
    model.onLine[0] = true;
    model.values[0][static_cast<int>(ChannelField::Phantom)] = 0;
    model.refuseWith = std::string(refusal::kConsoleOwned);
    const std::string path = "/mic/rack/1/channel/1/phantom";
    EXPECT_EQ(Ask(path, {I(1)}),
              (std::vector{Err(path, refusal::kConsoleOwned), Msg(path, {I(0)})}));

    // An off-line rack refuses before the model is asked, and the refusal is reported so that
    // it is seen like the controller's own.
    model.refuseWith.clear();
    model.sets.clear();
    const std::string offLine = "/mic/rack/2/channel/4/gain";
    EXPECT_EQ(Ask(offLine, {I(60)}),
              (std::vector{Err(offLine, refusal::kRackOffLine), Msg(offLine, {I(20)})}));
    EXPECT_TRUE(model.sets.empty());
    ASSERT_EQ(model.refusals.size(), 1u);
    EXPECT_EQ(model.refusals[0].rack, 1);
    EXPECT_EQ(model.refusals[0].channel, 3);
    EXPECT_EQ(model.refusals[0].value, 11);
    EXPECT_EQ(model.refusals[0].reason, refusal::kRackOffLine);
    EXPECT_EQ(model.refusals[0].origin.detail, "127.0.0.1:9000");
}

TEST_F(Fixture, PeersOffTheAllowListGetNothingAndChangeNothing) {
    HandlerOptions options;
    options.restrictPeers = true;
    std::string bad;
    ASSERT_TRUE(options.allow.Parse("10.0.0.0/8, 192.168.1.20", bad));
    handler = Make(std::move(options));
    model.onLine[0] = true;

    const Peer stranger{"192.168.1.21", 9000};
    EXPECT_TRUE(Ask("/mic/rack/1/channel/1/gain", {I(45)}, stranger).empty());
    EXPECT_TRUE(Ask("/mic/subscribe", {}, stranger).empty());
    sender.sent.clear();
    const uint8_t garbage[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    handler->HandlePacket(stranger, garbage, sizeof garbage);
    EXPECT_TRUE(sender.sent.empty());
    // Nor does a loopback peer: a named address answers the list only.
    EXPECT_TRUE(Ask("/mic/version", {}, kPeer).empty());
    EXPECT_TRUE(model.sets.empty());
    EXPECT_EQ(handler->Subscribers(), 0u);

    EXPECT_EQ(Ask("/mic/version", {}, {"10.1.2.3", 5000}).size(), 1u);
    EXPECT_EQ(Ask("/mic/rack/1/channel/1/gain", {I(45)}, {"192.168.1.20", 5000}).size(), 1u);
    EXPECT_EQ(model.sets.size(), 1u);
    EXPECT_EQ(handler->Stats().ignored, 4u);
}

TEST_F(Fixture, MalformedPacketsGetAnErrorAndRepliesSentBackAreIgnored) {
    model.onLine[0] = true;
    const std::vector<std::vector<uint8_t>> packets{
        {'/', 'm', 'i', 'c'},                      // no terminator, no type tags
        {'/', 'm', 'i', 'c', 0, 0, 0, 0, 'x', 0},  // not a multiple of four
        {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0},    // bundle without a time tag
        std::vector<uint8_t>(kMaxPacketSize + 4, 'a'),
    };
    for (const auto& p : packets) {
        sender.sent.clear();
        handler->HandlePacket(kPeer, p.data(), p.size());
        ASSERT_EQ(sender.sent.size(), 1u);
        EXPECT_EQ(sender.sent[0].message.path, "/mic/error");
    }
    EXPECT_EQ(handler->Stats().malformed, packets.size());

    for (const char* reply : {"/mic/error", "/mic/subscribed", "/mic/unsubscribed"}) {
        EXPECT_TRUE(Ask(reply, {S("x"), S("y")}).empty());
    }
    EXPECT_TRUE(model.sets.empty());

    // A well-formed packet through the same door is handled.
    const std::vector<uint8_t> good = EncodeMessage(Msg("/mic/rack/1/channel/2/pad", {I(1)}));
    sender.sent.clear();
    handler->HandlePacket(kPeer, good.data(), good.size());
    ASSERT_EQ(model.sets.size(), 1u);
    EXPECT_EQ(model.sets[0].channel, 1);
}

TEST_F(Fixture, SubscribersGetEveryAppliedChangeUntilTheyLeaveOrTheirLeaseEnds) {
    EXPECT_EQ(Ask("/mic/subscribe"), std::vector{Msg("/mic/subscribed", {I(600)})});
    EXPECT_EQ(Ask("/mic/subscribe", {I(30)}, kOther), std::vector{Msg("/mic/subscribed", {I(30)})});
    EXPECT_EQ(handler->Subscribers(), 2u);

    sender.sent.clear();
    ChannelChange c;
    c.origin.source = ChangeSource::FrontPanel;
    c.rack = 2;
    c.channel = 11;
    c.field = ChannelField::Gain;
    c.oldValue = 3;
    c.newValue = 13;
    handler->ChannelChanged(c);
    c.field = ChannelField::Name;
    c.newText = "Bass \xE9";
    handler->ChannelChanged(c);
    ChannelChange refused = c;
    refused.refused = true;
    refused.reason = refusal::kConsoleOwned;
    handler->ChannelChanged(refused);  // changed nothing: not pushed
    handler->RackLineChanged(15, false);
    const std::vector<OscMessage> expected{
        Msg("/mic/rack/3/channel/12/gain", {I(70)}),
        Msg("/mic/rack/3/channel/12/name", {S("Bass \xC3\xA9")}),
        Msg("/mic/rack/16/online", {I(0)}),
    };
    EXPECT_EQ(sender.To(kPeer), expected);
    EXPECT_EQ(sender.To(kOther), expected);

    // The short lease runs out; renewing keeps the other one.
    now += 29'000;
    Ask("/mic/subscribe", {I(600)});
    now += 2'000;
    EXPECT_EQ(handler->Subscribers(), 1u);
    sender.sent.clear();
    handler->RackLineChanged(0, true);
    EXPECT_EQ(sender.To(kPeer).size(), 1u);
    EXPECT_TRUE(sender.To(kOther).empty());

    EXPECT_EQ(Ask("/mic/unsubscribe"), std::vector{Msg("/mic/unsubscribed", {})});
    sender.sent.clear();
    handler->RackLineChanged(0, false);
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(Fixture, ASurfaceThatListensOnAnotherPortGetsItsPushesThere) {
    EXPECT_EQ(Ask("/mic/subscribe", {I(60), I(8000)}),
              std::vector{Msg("/mic/subscribed", {I(60)})});
    sender.sent.clear();
    handler->RackLineChanged(3, true);
    const Peer listening{"127.0.0.1", 8000};
    EXPECT_EQ(sender.To(listening), std::vector{Msg("/mic/rack/4/online", {I(1)})});
    EXPECT_TRUE(sender.To(kPeer).empty());
    // Unsubscribing from the sending port names the listening one.
    Ask("/mic/unsubscribe");
    EXPECT_EQ(handler->Subscribers(), 1u);
    Ask("/mic/unsubscribe", {I(8000)});
    EXPECT_EQ(handler->Subscribers(), 0u);
}

TEST_F(Fixture, SubscriptionsAreBoundedAndLeasesChecked) {
    for (const auto& lease : {std::vector{I(0)}, std::vector{I(86401)}, std::vector{S("60")},
                              std::vector{F(std::nanf(""))}, std::vector{F(2.5f)},
                              std::vector{I(5), I(0)}, std::vector{I(5), I(65536)},
                              std::vector{I(5), S("9000")}, std::vector{I(5), I(6), I(7)}}) {
        ASSERT_EQ(Ask("/mic/subscribe", lease).size(), 1u);
        EXPECT_EQ(sender.sent[0].message.path, "/mic/error");
    }
    EXPECT_EQ(handler->Subscribers(), 0u);
    for (uint16_t port = 1; port <= kMaxSubscribers; ++port)
        ASSERT_EQ(Ask("/mic/subscribe", {}, {"127.0.0.1", port})[0].path, "/mic/subscribed");
    // Renewing an existing one is always possible; a new one is refused while all are taken.
    EXPECT_EQ(Ask("/mic/subscribe", {}, {"127.0.0.1", 1})[0].path, "/mic/subscribed");
    EXPECT_EQ(Ask("/mic/subscribe", {}, {"127.0.0.1", 999}),
              std::vector{Err("/mic/subscribe", error::kTooManySubscribers)});
    now += 601'000;
    EXPECT_EQ(Ask("/mic/subscribe", {}, {"127.0.0.1", 999})[0].path, "/mic/subscribed");
    EXPECT_EQ(handler->Subscribers(), 1u);
}

}  // namespace
}  // namespace mic::osc::test

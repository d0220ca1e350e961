#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mic/osc/AllowList.h"
#include "mic/osc/NameText.h"
#include "mic/osc/OscAddress.h"
#include "mic/osc/OscMessage.h"

namespace mic::osc {
namespace {

TEST(OscAddressSpace, EveryAddressParsesToItsTargetAndBack) {
    const std::vector<std::pair<std::string, Target>> table{
        {"/mic/version", {Node::Version}},
        {"/mic/subscribe", {Node::Subscribe}},
        {"/mic/unsubscribe", {Node::Unsubscribe}},
        {"/mic/rack/1", {Node::Rack, 0}},
        {"/mic/rack/16/online", {Node::RackOnLine, 15}},
        {"/mic/rack/7/version", {Node::RackVersion, 6}},
        {"/mic/rack/16/channel/12", {Node::Channel, 15, 11}},
        {"/mic/rack/3/channel/1/gain", {Node::Field, 2, 0, ChannelField::Gain}},
        {"/mic/rack/3/channel/2/phantom", {Node::Field, 2, 1, ChannelField::Phantom}},
        {"/mic/rack/3/channel/3/phase", {Node::Field, 2, 2, ChannelField::Phase}},
        {"/mic/rack/3/channel/4/pad", {Node::Field, 2, 3, ChannelField::Pad}},
        {"/mic/rack/3/channel/5/direct", {Node::Field, 2, 4, ChannelField::DirectOut}},
        {"/mic/rack/3/channel/6/name", {Node::Field, 2, 5, ChannelField::Name}},
        {"/mic/rack/3/channel/7/console", {Node::Field, 2, 6, ChannelField::ConsoleChannel}},
    };
    for (const auto& [path, target] : table) {
        EXPECT_EQ(ParseAddress(path), target) << path;
        EXPECT_EQ(AddressOf(target), path);
    }
    for (const char* bad : {"",
                            "mic/version",
                            "/mic",
                            "/mic/",
                            "/mic/version/",
                            "/Mic/version",
                            "/mic/rack",
                            "/mic/rack/0",
                            "/mic/rack/17",
                            "/mic/rack/100",
                            "/mic/rack/-1",
                            "/mic/rack/1/",
                            "/mic/rack/1/channel",
                            "/mic/rack/1/channel/0",
                            "/mic/rack/1/channel/13",
                            "/mic/rack/1/channel/1/",
                            "/mic/rack/1/channel/1/Gain",
                            "/mic/rack/1/channel/1/gain/",
                            "/mic/rack/1/chan/1/gain",
                            "/mic/rack//channel/1/gain",
                            "/mic/rack/1/online/x",
                            "/mic/rack/1 /online"}) {
        EXPECT_FALSE(ParseAddress(bad)) << bad;
    }
}

std::vector<uint8_t> Bundle(const std::vector<std::vector<uint8_t>>& elements) {
    std::vector<uint8_t> b{'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (const auto& e : elements) {
        const auto n = static_cast<uint32_t>(e.size());
        b.insert(b.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

TEST(OscWireForm, MessagesAndBundlesRoundTripAndDamageIsRefusedWhole) {
    const OscMessage a{"/mic/rack/1/channel/2/name",
                       {OscValue::String("Vox"), OscValue::Int(-7), OscValue::Float(47.5f)}};
    const OscMessage b{"/mic/version", {}};
    const std::vector<uint8_t> wa = EncodeMessage(a), wb = EncodeMessage(b);
    ASSERT_FALSE(wa.empty());
    std::vector<OscMessage> out;
    std::string error;
    ASSERT_TRUE(DecodePacket(wa.data(), wa.size(), out, error)) << error;
    EXPECT_EQ(out, std::vector{a});

    const std::vector<uint8_t> nested = Bundle({wa, Bundle({wb, wa})});
    ASSERT_TRUE(DecodePacket(nested.data(), nested.size(), out, error)) << error;
    EXPECT_EQ(out, (std::vector{a, b, a}));

    // Every cut of the bundle fails cleanly (sanitizers watch the reads), unless it ends
    // between two elements: then it is a shorter bundle of the first messages.
    const std::vector<OscMessage> whole{a, b, a};
    for (size_t n = 0; n < nested.size(); ++n) {
        if (DecodePacket(nested.data(), n, out, error)) {
            ASSERT_LT(out.size(), whole.size()) << n;
            EXPECT_TRUE(std::equal(out.begin(), out.end(), whole.begin())) << n;
        } else {
            EXPECT_TRUE(out.empty());
        }
    }
    // An element longer than what is left, or of length zero.
    std::vector<uint8_t> lying = Bundle({wb});
    lying[19] = static_cast<uint8_t>(lying[19] + 4);
    EXPECT_FALSE(DecodePacket(lying.data(), lying.size(), out, error));
    std::vector<uint8_t> empty = Bundle({});
    empty.insert(empty.end(), {0, 0, 0, 0});
    EXPECT_FALSE(DecodePacket(empty.data(), empty.size(), out, error));
    // Too deep.
    std::vector<uint8_t> deep = wb;
    for (int i = 0; i <= kMaxBundleDepth; ++i)
        deep = Bundle({deep});
    EXPECT_FALSE(DecodePacket(deep.data(), deep.size(), out, error));
    EXPECT_EQ(error, "bundles nested too deeply");
    // Too many messages.
    std::vector<std::vector<uint8_t>> many(kMaxMessagesPerPacket + 1, wb);
    const std::vector<uint8_t> crowd = Bundle(many);
    EXPECT_FALSE(DecodePacket(crowd.data(), crowd.size(), out, error));
    // A type tag string claiming more arguments than there are bytes.
    std::vector<uint8_t> claim = EncodeMessage({"/x", {OscValue::Int(1)}});
    claim[6] = 'i';  // the type tags ",i" at offset 4 become ",ii"
    EXPECT_FALSE(DecodePacket(claim.data(), claim.size(), out, error));
}

TEST(OscNames, Latin1AndUtf8ConvertBothWaysWithinTwelveCharacters) {
    EXPECT_EQ(Latin1ToUtf8("A\xE9\xFF"), "A\xC3\xA9\xC3\xBF");
    EXPECT_EQ(NameFromUtf8("A\xC3\xA9\xC3\xBF", 12), "A\xE9\xFF");
    EXPECT_EQ(NameFromUtf8(Latin1ToUtf8("\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4"), 12),
              "\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4\xE4");  // 12 characters, 24 bytes
    EXPECT_EQ(NameFromUtf8("", 12), "");
    for (const char* bad : {"123456789abcd", "a\x7F", "a\n", "\xC2\x85", "\xC3", "\xC3(",
                            "\xE2\x82\xAC", "\xF0\x9F\x8E\xA4", "\x80"}) {
        EXPECT_FALSE(NameFromUtf8(bad, 12)) << bad;
    }
}

TEST(OscAllowList, AddressesAndPrefixesOfBothFamilies) {
    AllowList list;
    std::string bad;
    ASSERT_TRUE(list.Parse("192.168.10.0/23; 10.1.2.3 fd00::/8,::1", bad));
    EXPECT_TRUE(list.Allows("192.168.10.1"));
    EXPECT_TRUE(list.Allows("192.168.11.254"));
    EXPECT_FALSE(list.Allows("192.168.12.1"));
    EXPECT_TRUE(list.Allows("10.1.2.3"));
    EXPECT_TRUE(list.Allows("::ffff:10.1.2.3"));
    EXPECT_FALSE(list.Allows("10.1.2.4"));
    EXPECT_TRUE(list.Allows("fd12::5"));
    EXPECT_TRUE(list.Allows("::1"));
    EXPECT_FALSE(list.Allows("127.0.0.1"));
    EXPECT_FALSE(list.Allows("fe80::1"));
    EXPECT_FALSE(list.Allows("not an address"));

    for (const char* entry :
         {"10.0.0.0/33", "10.0.0.0/", "10.0.0.0/x", "10.0.0", "host.example", "::1/129"}) {
        EXPECT_FALSE(list.Parse(std::string("127.0.0.1,") + entry, bad)) << entry;
        EXPECT_EQ(bad, entry);
        EXPECT_TRUE(list.Empty());
    }
    ASSERT_TRUE(list.Parse("0.0.0.0/0", bad));
    EXPECT_TRUE(list.Allows("203.0.113.9"));
    EXPECT_FALSE(list.Allows("2001:db8::1"));

    EXPECT_TRUE(IsLoopback(""));
    EXPECT_TRUE(IsLoopback("127.0.0.1"));
    EXPECT_TRUE(IsLoopback("127.1.2.3"));
    EXPECT_TRUE(IsLoopback("::1"));
    EXPECT_FALSE(IsLoopback("0.0.0.0"));
    EXPECT_FALSE(IsLoopback("::"));
    EXPECT_FALSE(IsLoopback("192.168.1.2"));
}

}  // namespace
}  // namespace mic::osc

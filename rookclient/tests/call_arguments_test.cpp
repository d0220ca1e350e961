// Reading an operation's arguments from command-line words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rookclient/CallArguments.h"

using rookclient::CallArguments;

TEST(CallArguments, NumbersAreHeldToTheirTypesRange) {
    CallArguments args({"-2147483648", "0xffffffff", "-32768", "65535", "0xFF", "4294967295"});
    EXPECT_EQ(args.Int("a"), INT32_MIN);
    EXPECT_EQ(args.UInt("b"), 0xFFFFFFFFu);
    EXPECT_EQ(args.Short("c"), -32768);
    EXPECT_EQ(args.UShort("d"), 65535);
    EXPECT_EQ(args.Byte("e"), 255);
    EXPECT_EQ(args.Window("f"), 0xFFFFFFFFu);
    EXPECT_TRUE(args.Ok()) << args.Error();

    struct Case {
        std::string word;
        bool asUnsigned;
        std::string why;
    };
    for (const Case& c : std::vector<Case>{{"2147483648", false, "outside"},
                                           {"-1", true, "-1 is outside 0 to 4294967295"},
                                           {"12abc", false, "not a number"},
                                           {"", false, "not a number"},
                                           {"0x", false, "not a number"},
                                           {"--5", false, "not a number"},
                                           {"99999999999999999999", false, "not a number"}}) {
        CallArguments bad({"7", c.word});
        EXPECT_EQ(bad.Int("first"), 7);
        c.asUnsigned ? static_cast<int64_t>(bad.UInt("second")) : bad.Int("second");
        EXPECT_FALSE(bad.Ok()) << c.word;
        EXPECT_NE(bad.Error().find("argument 2 (second)"), std::string::npos) << bad.Error();
        EXPECT_NE(bad.Error().find(c.why), std::string::npos) << bad.Error();
    }
}

TEST(CallArguments, TheFirstErrorStandsAndLaterReadsGiveNeutralValues) {
    CallArguments args({"x", "5", "text"});
    EXPECT_EQ(args.Int("a"), 0);
    EXPECT_EQ(args.Int("b"), 0) << "nothing is read after an error";
    EXPECT_EQ(args.Text("c"), "");
    EXPECT_NE(args.Error().find("argument 1 (a)"), std::string::npos) << args.Error();
}

TEST(CallArguments, CountsAreCheckedAgainstTheOperation) {
    CallArguments none({});
    EXPECT_FALSE(none.Expect(1, 1));
    EXPECT_EQ(none.Error(), "wants 1 argument, 0 given");
    CallArguments many({"1", "2", "3"});
    EXPECT_FALSE(many.Expect(1, 2));
    EXPECT_EQ(many.Error(), "wants 1 to 2 arguments, 3 given");
    CallArguments fits({"1"});
    EXPECT_TRUE(fits.Expect(1, 2));
    fits.Int("a");
    EXPECT_FALSE(fits.More()) << "the defaulted second argument is not given";
}

TEST(CallArguments, BytesAndListsKeepTheirOrderAndLimits) {
    CallArguments args({"01:ab.FF", "", "1,-2,3", "a,,c", "4,5,6"});
    EXPECT_EQ(args.Hex("h", 3), (std::vector<uint8_t>{0x01, 0xAB, 0xFF}));
    EXPECT_TRUE(args.Ints("none").empty());
    EXPECT_EQ(args.Ints("list"), (std::vector<int32_t>{1, -2, 3}));
    const auto texts = args.Texts<3>("texts");
    EXPECT_EQ(texts[0], "a");
    EXPECT_EQ(texts[1], "");
    EXPECT_EQ(texts[2], "c");
    EXPECT_EQ((args.Ints<3>("fixed")), (std::array<int32_t, 3>{4, 5, 6}));
    EXPECT_TRUE(args.Ok()) << args.Error();

    CallArguments tooLong({"010203"});
    EXPECT_TRUE(tooLong.Hex("h", 2).empty());
    EXPECT_NE(tooLong.Error().find("3 bytes, the field holds 2"), std::string::npos);
    CallArguments wrongCount({"1,2"});
    wrongCount.Ints<3>("fixed");
    EXPECT_NE(wrongCount.Error().find("argument 1 (fixed): wants 3 comma-separated items, 2"),
              std::string::npos)
        << wrongCount.Error();
}

TEST(CallArguments, RecordsTakeTheirFieldsAndOptionalTails) {
    CallArguments args({"400:7:3:2:0x1234:0x0100:1,5:1:2:3:-2", "1:0:2:3:4:Mic A", "9:8",
                        "1:2:3:4:5:6,7:8:9:10:11:12"});
    const CAutomationEventArray events = args.Events("events");
    ASSERT_EQ(events.GetSize(), 2);
    EXPECT_EQ(events[0].timeStamp, 400);
    EXPECT_EQ(events[0].path, 7);
    EXPECT_EQ(events[0].module, 3);
    EXPECT_EQ(events[0].control, 2);
    EXPECT_EQ(events[0].value, 0x1234);
    EXPECT_EQ(events[0].oldValue, 0x0100);
    EXPECT_EQ(events[0].flags, 1);
    EXPECT_EQ(events[1].value, 0xFFFE);
    EXPECT_EQ(events[1].oldValue, 0);
    const auto port = args.Port("port");
    EXPECT_EQ(port.port, 4);
    EXPECT_EQ(port.Text(), "Mic A");
    EXPECT_EQ(args.Routes("routes"), (std::vector<std::pair<int32_t, int32_t>>{{9, 8}}));
    const auto relays = args.Relays("relays");
    ASSERT_EQ(relays.size(), 2u);
    EXPECT_EQ(relays[1].port.rack, 9);
    EXPECT_EQ(relays[1].relay, 12);
    EXPECT_TRUE(args.Ok()) << args.Error();

    CallArguments badEvent({"1:2:3:256:5"});
    badEvent.Events("events");
    EXPECT_NE(badEvent.Error().find("256 is outside 0 to 255"), std::string::npos);
    CallArguments twoPorts({"1:0:2:3:4,1:0:2:3:5"});
    twoPorts.Port("port");
    EXPECT_NE(twoPorts.Error().find("one port"), std::string::npos);
    CallArguments longChange({"1:" + std::string(261, 'x') + ":b"});
    EXPECT_TRUE(longChange.TreeChanges("changes").empty());
    EXPECT_FALSE(longChange.Ok());
}

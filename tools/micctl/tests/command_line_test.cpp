#include <gtest/gtest.h>

#include "CommandLine.h"

namespace micctl {
namespace {

TEST(MicctlAddresses, ShortFormsExpandAndAnythingElseIsRefused) {
    EXPECT_EQ(ExpandAddress("1/3/gain"), "/mic/rack/1/channel/3/gain");
    EXPECT_EQ(ExpandAddress("16/12/name"), "/mic/rack/16/channel/12/name");
    EXPECT_EQ(ExpandAddress("2/online"), "/mic/rack/2/online");
    EXPECT_EQ(ExpandAddress("2/version"), "/mic/rack/2/version");
    EXPECT_EQ(ExpandAddress("2/7"), "/mic/rack/2/channel/7");
    EXPECT_EQ(ExpandAddress("4"), "/mic/rack/4");
    EXPECT_EQ(ExpandAddress("/mic/version"), "/mic/version");
    for (const char* bad : {"", "17/1/gain", "1/13/gain", "1/3/volume", "0", "1/3/gain/x",
                            "/mic/rack/1/channel/3/Gain", "gain", "1//gain"}) {
        EXPECT_FALSE(ExpandAddress(bad)) << bad;
    }
}

TEST(MicctlValues, EachFieldTakesItsOwnKindOfValue) {
    mic::osc::OscValue v;
    std::string error;
    ASSERT_TRUE(SetValue("/mic/rack/1/channel/1/gain", "45", v, error));
    EXPECT_EQ(v, mic::osc::OscValue::Int(45));
    ASSERT_TRUE(SetValue("/mic/rack/1/channel/1/gain", "70dB", v, error));
    EXPECT_EQ(v, mic::osc::OscValue::Int(70));
    ASSERT_TRUE(SetValue("/mic/rack/1/channel/1/phantom", "on", v, error));
    EXPECT_EQ(v, mic::osc::OscValue::Int(1));
    ASSERT_TRUE(SetValue("/mic/rack/1/channel/1/direct", "false", v, error));
    EXPECT_EQ(v, mic::osc::OscValue::Int(0));
    ASSERT_TRUE(SetValue("/mic/rack/1/channel/1/name", "Kick In", v, error));
    EXPECT_EQ(v, mic::osc::OscValue::String("Kick In"));

    for (const auto& [address, text] :
         std::vector<std::pair<std::string, std::string>>{{"/mic/rack/1/channel/1/gain", "75"},
                                                          {"/mic/rack/1/channel/1/gain", "dB"},
                                                          {"/mic/rack/1/channel/1/gain", "4 5"},
                                                          {"/mic/rack/1/channel/1/gain", "45.5"},
                                                          {"/mic/rack/1/channel/1/pad", "yes"},
                                                          {"/mic/rack/1/channel/1/console", "3"},
                                                          {"/mic/rack/1/online", "1"},
                                                          {"/mic/version", "x"}}) {
        EXPECT_FALSE(SetValue(address, text, v, error)) << address << " " << text;
        EXPECT_FALSE(error.empty());
    }
}

TEST(MicctlOptions, ConnectionOptionsAreTakenOutAndCheckedWhereverTheyStand) {
    Connection c;
    Args rest;
    std::string error;
    std::vector<std::pair<std::string, long>> values;
    ASSERT_TRUE(ParseOptions(
        {"1/1/gain", "--port", "9000", "45", "--host", "studio", "--count", "3", "--timeout", "50"},
        c, rest, error, {"--count"}, &values));
    EXPECT_EQ(rest, (Args{"1/1/gain", "45"}));
    EXPECT_EQ(c.port, 9000);
    EXPECT_EQ(c.host, "studio");
    EXPECT_EQ(c.timeoutMs, 50);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].second, 3);
    for (const Args& bad :
         {Args{"--port"}, Args{"--port", "0"}, Args{"--port", "65536"}, Args{"--port", "80x"},
          Args{"--timeout", "-5"}, Args{"--colour"}, Args{"--count", "2"}}) {
        EXPECT_FALSE(ParseOptions(bad, c, rest, error)) << bad[0];
    }
}

TEST(MicctlJson, StringsAreEscapedSoTheDumpStaysValid) {
    EXPECT_EQ(JsonString("Vox \"lead\""), "\"Vox \\\"lead\\\"\"");
    EXPECT_EQ(JsonString("a\\b"), "\"a\\\\b\"");
    EXPECT_EQ(JsonString(std::string("a\x01\n", 3)), "\"a\\u0001\\n\"");
    EXPECT_EQ(JsonString("S\xC3\xA4nger"), "\"S\xC3\xA4nger\"");
}

}  // namespace
}  // namespace micctl

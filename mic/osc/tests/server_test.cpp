// The UDP endpoint with real sockets on the loopback: what it refuses to start with, and a
// round trip from the client through the handler and back, on IPv4 and IPv6.
#include <gtest/gtest.h>
#include <unistd.h>

#include "OscFakes.h"
#include "mic/osc/OscClient.h"
#include "mic/osc/OscServer.h"

namespace mic::osc::test {
namespace {

TEST(OscEndpoint, RefusesNamesBadListsAndATakenPort) {
    FakeModel model;
    OscServer server(model);
    std::string error;
    OscSettings s;
    s.port = 0;
    s.address = "localhost";
    EXPECT_FALSE(server.Start(s, "v", error));
    EXPECT_NE(error.find("not a numeric IP address"), std::string::npos) << error;
    s.address = "0.0.0.0";
    s.allow = "192.168.1.1, studio-pc";
    EXPECT_FALSE(server.Start(s, "v", error));
    EXPECT_NE(error.find("studio-pc"), std::string::npos) << error;

    s.address.clear();
    s.allow.clear();
    ASSERT_TRUE(server.Start(s, "v", error)) << error;
    OscServer second(model);
    s.port = server.Port();
    EXPECT_FALSE(second.Start(s, "v", error));
    EXPECT_NE(error.find(std::to_string(s.port)), std::string::npos) << error;
}

void RoundTrip(const std::string& address) {
    FakeModel model;
    model.onLine[0] = true;
    OscServer server(model);
    std::string error;
    OscSettings s;
    s.address = address;
    s.port = 0;
    ASSERT_TRUE(server.Start(s, "mic 1.2", error)) << error;
    OscClient client;
    ASSERT_TRUE(client.Open(address, server.Port(), error)) << error;

    ASSERT_TRUE(client.Send({"/mic/rack/1/channel/2/pad", {OscValue::Int(1)}}));
    ASSERT_TRUE(client.Send({"/mic/version", {}}));
    // The datagrams wait until the host's loop reads them.
    for (int i = 0; i < 200 && model.sets.empty(); ++i) {
        server.ReadPending();
        if (model.sets.empty())
            usleep(5000);
    }
    server.ReadPending();
    ASSERT_EQ(model.sets.size(), 1u);
    EXPECT_EQ(model.sets[0].origin.detail.rfind(address == "::1" ? "[::1]:" : "127.0.0.1:", 0), 0u)
        << model.sets[0].origin.detail;
    const auto pad = client.Receive(5000);
    ASSERT_TRUE(pad);
    EXPECT_EQ(*pad, (OscMessage{"/mic/rack/1/channel/2/pad", {OscValue::Int(1)}}));
    const auto version = client.Receive(5000);
    ASSERT_TRUE(version);
    EXPECT_EQ(*version, (OscMessage{"/mic/version", {OscValue::String("mic 1.2")}}));
}

TEST(OscEndpoint, AnswersAClientOnIPv4) {
    RoundTrip("127.0.0.1");
}

TEST(OscEndpoint, AnswersAClientOnIPv6) {
    UdpSocket probe;
    std::string error;
    if (!probe.Bind("::1", 0, error))
        GTEST_SKIP() << "no IPv6 loopback here: " << error;
    RoundTrip("::1");
}

}  // namespace
}  // namespace mic::osc::test

#include <gtest/gtest.h>
#include <platform/registry.h>

#include "FakeRookServer.h"
#include "RecordingProxy.h"
#include "RookProcess.h"
#include "rookclient/RookServer.h"

using namespace rooktest;
namespace reg = platform::registry;

namespace {

constexpr const char* kKey = "SOFTWARE\\KESTANE\\ROOKSERVER";

reg::Key ServerKey() {
    reg::Key key;
    reg::Key::root(reg::Hive::LocalMachine).create(kKey, key);
    return key;
}

std::optional<uint32_t> StoredLimit() {
    reg::Key key;
    reg::Value value;
    if (reg::Key::root(reg::Hive::LocalMachine).open(kKey, key) != reg::Status::Ok ||
        key.query("Client Max Retries", value) != reg::Status::Ok || value.data.size() != 4) {
        return std::nullopt;
    }
    return rookclient::LoadLE32(value.data.data(), 0);
}

}  // namespace

TEST(ClientMaxRetries, StoredValuesAreClampedBetweenSixHundredAndOneHundredThousand) {
    const std::pair<uint32_t, int> cases[] = {{1000, 1000},     {50, 600},        {250000, 100000},
                                              {600, 600},       {601, 601},       {99999, 99999},
                                              {100000, 100000}, {0xFFFFFFFF, 600}};
    for (const auto& [stored, limit] : cases) {
        World world;
        reg::setDword(ServerKey(), "Client Max Retries", stored);
        EXPECT_EQ(rookclient::detail::ReadClientMaxRetries(), limit) << stored;
    }
}

TEST(ClientMaxRetries, AFreshKeyIsLeftWithoutTheValueAndAnExistingOneGetsTheDefault) {
    World world;
    EXPECT_EQ(rookclient::detail::ReadClientMaxRetries(), 600);
    reg::Key key;
    ASSERT_EQ(reg::Key::root(reg::Hive::LocalMachine).open(kKey, key), reg::Status::Ok);
    EXPECT_FALSE(StoredLimit().has_value());

    EXPECT_EQ(rookclient::detail::ReadClientMaxRetries(), 600);
    EXPECT_EQ(StoredLimit(), 200u) << "the second read finds the key and writes the default";
}

TEST(ClientMaxRetries, AValueOfAnotherTypeIsKeptAndTheDefaultApplies) {
    World world;
    reg::setString(ServerKey(), "Client Max Retries", "5000");
    EXPECT_EQ(rookclient::detail::ReadClientMaxRetries(), 600);
    reg::Value value;
    ServerKey().query("Client Max Retries", value);
    EXPECT_EQ(value.type, reg::REG_SZ);
}

TEST(ClientMaxRetries, TheLimitIsReadOnceByTheFirstProxyAndGovernsTheRetries) {
    World world;
    FakeFactory factory;
    Registration registration(factory);
    reg::setDword(ServerKey(), "Client Max Retries", 700);
    RecordingProxy first;
    reg::setDword(ServerKey(), "Client Max Retries", 5000);
    RecordingProxy second;
    EXPECT_EQ(rookclient::detail::Process().clientMaxRetries, 700);

    factory.Last().adviseAnswers.assign(701, rookclient::SERVER_E_NOT_READY);
    second.StartAdvise(0);
    EXPECT_EQ(world.sleeps.size(), 700u);
    EXPECT_EQ(world.quits, std::vector<int>{0});
}

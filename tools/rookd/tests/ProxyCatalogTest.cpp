// Every proxy of the client library against the stand-in server on a private bus: its attach
// binds the instance to the proxy's object, and each of its operations is recorded there with
// its command code and block size.
#include <gtest/gtest.h>
#include <rookclient/CallArguments.h>
#include <rookclient/GenericRookObject.h>
#include <rookclient/ProxyCatalog.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "BusEnvironment.h"
#include "LoopThread.h"
#include "Registration.h"
#include "RookServer.h"
#include "ServerOnPrivateBus.h"

using namespace rookd;
using namespace platform::com;
using platform::com::testing::LoopThread;
using platform::com::testing::UniqueBusName;

namespace {

class ProxiesAgainstRookd : public rookd::testing::ServerOnPrivateBus {
  protected:
    std::vector<RecordedCommand> Commands(const std::string& object) {
        std::vector<RecordedCommand> commands;
        OnServer([&](RookServer& server) { commands = server.Commands(object); });
        return commands;
    }
};

}  // namespace

TEST_F(ProxiesAgainstRookd, EveryProxyBindsItsObjectAndEveryOperationIsRecordedThere) {
    for (const rookclient::ProxyEntry& entry : rookclient::ProxyCatalog()) {
        SCOPED_TRACE(entry.className);
        ASSERT_NE(entry.serverName, nullptr);
        const std::string object = entry.serverName;
        auto proxy = entry.create(1);
        ASSERT_TRUE(proxy->IsConnected());
        for (const rookclient::OperationEntry& op : entry.operations) {
            SCOPED_TRACE(op.name);
            const std::vector<RecordedCommand> before = Commands(object);
            op.invoke(*proxy);
            const std::vector<RecordedCommand> after = Commands(object);
            ASSERT_FALSE(after.empty()) << "the block did not reach the object";
            ASSERT_TRUE(before.empty() || after.back().sequence > before.back().sequence)
                << "the block did not reach the object";
            EXPECT_EQ(after.back().command, op.command);
            EXPECT_EQ(after.back().block.size(), op.blockSize);
            if (&op == &entry.attach() && op.pattern == rookclient::Pattern::Attach) {
                EXPECT_EQ(proxy->IsReady(), op.readNow)
                    << "whether the current image was asked for at once";
            }
        }
    }
}

namespace {

// A word of each argument kind that the kind accepts.
std::string SampleWord(const std::string& kind) {
    static const std::map<std::string, std::string> kWords = {
        {"int", "-3"},
        {"uint", "3"},
        {"short", "-3"},
        {"ushort", "3"},
        {"byte", "3"},
        {"bool", "true"},
        {"window", "7"},
        {"text", "entry"},
        {"hex", "01ff"},
        {"ints", "1,2"},
        {"texts", "a,b"},
        {"filter", "1"},
        {"events", "400:7:3:2:4660"},
        {"port", "1:0:2:3:4:Mic"},
        {"relays", "1:0:2:3:4:5"},
        {"controls", "1:2:3"},
        {"tree-changes", "1:a:b"},
        {"routes", "1:2"},
    };
    if (const auto it = kWords.find(kind); it != kWords.end()) {
        return it->second;
    }
    // "N-ints", "N-texts"
    const size_t dash = kind.find('-');
    const int count = std::stoi(kind.substr(0, dash));
    std::string word = kind.substr(dash + 1) == "ints" ? "1" : "a";
    for (int i = 1; i < count; ++i) {
        word += kind.substr(dash + 1) == "ints" ? ",1" : ",a";
    }
    return word;
}

// One word per argument of an argument list ("int rate, uint interval=10").
std::vector<std::string> SampleWords(const std::string& arguments) {
    std::vector<std::string> words;
    std::istringstream items(arguments);
    std::string item;
    while (std::getline(items, item, ',')) {
        std::istringstream parts(item);
        std::string kind, name;
        parts >> kind >> name;
        if (!kind.empty()) {
            words.push_back(SampleWord(kind));
        }
    }
    return words;
}

}  // namespace

TEST_F(ProxiesAgainstRookd, EveryOperationTakesItsArgumentsFromWordsAndReachesTheObject) {
    const std::set<std::string_view> kSentOnlyForKnownMachines = {
        "AssignMachineToGroup", "DeAssignMachineFromGroup", "SetMaster",
        "SetMachineParams",     "SetTrackReadyModes",       "SetRecordMode",
        "SetMachineAlias"};
    for (const rookclient::ProxyEntry& entry : rookclient::ProxyCatalog()) {
        SCOPED_TRACE(entry.className);
        const std::string object = entry.serverName;
        auto proxy = entry.create(1);
        entry.attach().invoke(*proxy);
        for (const rookclient::OperationEntry& op : entry.operations) {
            SCOPED_TRACE(op.name);
            const std::vector<std::string> words = SampleWords(op.arguments);
            rookclient::CallArguments check(words);
            ASSERT_TRUE(op.call(nullptr, check)) << op.arguments << ": " << check.Error();
            const size_t before = Commands(object).size();
            rookclient::CallArguments args(words);
            ASSERT_TRUE(op.call(proxy.get(), args)) << args.Error();
            const std::vector<RecordedCommand> after = Commands(object);
            if (after.size() == before) {
                // The machine edits send only for a machine the image holds (there is none
                // here) and a master only for groups 0 to 7.
                EXPECT_TRUE(kSentOnlyForKnownMachines.count(op.name)) << "nothing was sent";
                continue;
            }
            EXPECT_EQ(after.back().command, op.command);
            EXPECT_EQ(after.back().block.size(), op.blockSize);
            // One word too many is refused by every operation.
            std::vector<std::string> more = words;
            more.push_back("1");
            rookclient::CallArguments extra(more);
            EXPECT_FALSE(op.call(nullptr, extra));
        }
    }
}

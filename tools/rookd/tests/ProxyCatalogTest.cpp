// Every proxy of the client library against the stand-in server on a private bus: its attach
// binds the instance to the proxy's object, and each of its operations is recorded there with
// its command code and block size.
#include <gtest/gtest.h>
#include <rookclient/GenericRookObject.h>
#include <rookclient/ProxyCatalog.h>

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

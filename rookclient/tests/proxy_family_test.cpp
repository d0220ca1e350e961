// Walks every proxy of the catalog against an object server in the test process: the attach
// and every other operation must reach the server with their command code, block size and send
// pattern.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "FakeRookServer.h"
#include "rookclient/GenericRookObject.h"
#include "rookclient/ProxyCatalog.h"

using namespace rooktest;
using rookclient::Pattern;

namespace {

class ProxyFamily : public ::testing::Test {
  protected:
    World world;
    FakeFactory factory;
    Registration registration{factory};
};

std::vector<std::string> Calls(const FakeInstance& server, size_t from) {
    return {server.calls.begin() + static_cast<long>(from), server.calls.end()};
}

// What the server sees of one send pattern.
std::vector<std::string> Expected(Pattern pattern, int readNow, bool advisedBefore) {
    switch (pattern) {
        case Pattern::Command:
            return {"SetData"};
        case Pattern::Request:
        case Pattern::Attach:
            break;
    }
    std::vector<std::string> calls;
    if (advisedBefore) {
        calls.push_back("DUnadvise");
    }
    calls.push_back("SetData");
    calls.push_back("DAdvise");
    if (pattern == Pattern::Request || readNow) {
        calls.push_back("GetData");
    }
    return calls;
}

}  // namespace

TEST_F(ProxyFamily, EveryProxyAttachesAndEveryOperationReachesTheServerWithItsCodeAndSize) {
    const auto catalog = rookclient::ProxyCatalog();
    ASSERT_EQ(catalog.size(), 89u) << "every object the server publishes";
    std::set<std::string> classes;
    for (const rookclient::ProxyEntry& entry : catalog) {
        SCOPED_TRACE(entry.className);
        EXPECT_TRUE(classes.insert(entry.className).second) << "listed twice";
        auto proxy = entry.create(1);
        ASSERT_TRUE(proxy);
        FakeInstance& server = factory.Last();
        EXPECT_EQ(proxy->GetServerObjectName(),
                  entry.serverName ? entry.serverName : entry.className);

        bool advised = false;
        for (const rookclient::OperationEntry& op : entry.operations) {
            SCOPED_TRACE(op.name);
            const size_t sentBefore = server.sent.size();
            const size_t callsBefore = server.calls.size();
            op.invoke(*proxy);
            ASSERT_GT(server.sent.size(), sentBefore) << "nothing reached the server";
            const Bytes& block = server.sent.back();
            EXPECT_EQ(U32At(block, 0), op.command);
            EXPECT_EQ(block.size(), op.blockSize);
            EXPECT_EQ(U32At(block, 8), block.size()) << "stated size";
            EXPECT_EQ(U32At(block, 12), 0u) << "reserved word";
            if (server.sent.size() == sentBefore + 1) {
                EXPECT_EQ(Calls(server, callsBefore), Expected(op.pattern, op.readNow, advised));
            }
            if (op.pattern != Pattern::Command) {
                advised = true;
            }
            if (&op == &entry.attach() && op.pattern == Pattern::Attach) {
                EXPECT_EQ(proxy->IsReady(), op.readNow) << "whether the image was read at once";
            }
        }

        const size_t sentBefore = server.sent.size();
        proxy->CancelRookCommand();
        ASSERT_EQ(server.sent.size(), sentBefore + 1);
        EXPECT_EQ(server.sent.back(), MakeBlock(180, 16));
    }
}

TEST_F(ProxyFamily, TheCatalogFindsClassesAndAttachCodes) {
    const rookclient::ProxyEntry* deskSize = rookclient::FindProxy("CDeskSizeRookObject");
    ASSERT_NE(deskSize, nullptr);
    EXPECT_STREQ(deskSize->serverName, "DeskSizeRookObject");
    EXPECT_EQ(deskSize->attach().command, 187u);
    EXPECT_EQ(deskSize->attach().readNow, 0);
    EXPECT_EQ(rookclient::FindProxyByAttach(83), rookclient::FindProxy("CIOConfigRookObject"));
    EXPECT_EQ(rookclient::FindProxy("CNoSuchRookObject"), nullptr);
    EXPECT_EQ(rookclient::FindProxyByAttach(9999), nullptr);
}

TEST_F(ProxyFamily, EveryListSharesTheCopyAndReadOnlyCodes) {
    int lists = 0;
    for (const rookclient::ProxyEntry& entry : rookclient::ProxyCatalog()) {
        for (const rookclient::OperationEntry& op : entry.operations) {
            if (std::string(op.name) == "Copy" && op.blockSize == 30336) {
                ++lists;
                EXPECT_EQ(op.command, 183u) << entry.className;
            }
            if (std::string(op.name) == "SetReadOnly" && op.blockSize == 30336) {
                EXPECT_EQ(op.command, 127u) << entry.className;
            }
        }
    }
    EXPECT_EQ(lists, 12) << "every list object but the console setup list, which has its own";
}

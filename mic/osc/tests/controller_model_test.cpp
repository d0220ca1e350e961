// The handler on the real controller (with a fake line): the operator rules answer remote
// sets, and remote refusals reach the controller's observers like any other.
#include <gtest/gtest.h>

#include "MicHarness.h"
#include "OscFakes.h"
#include "mic/osc/ControllerModel.h"

namespace mic::osc::test {
namespace {

struct Recorder : ChangeObserver {
    void ChannelChanged(const ChannelChange& c) override { changes.push_back(c); }
    std::vector<ChannelChange> changes;
};

struct OnController : ::testing::Test {
    mic::test::Harness h{mic::test::Harness::NoFiles(), /*integration=*/true};
    ControllerModel model{*h.mic};
    RecordingSender sender;
    OscHandler handler{model, sender, {}};
    Recorder journal;
    const Peer peer{"127.0.0.1", 5555};

    void SetUp() override {
        h.mic->AddObserver(&journal);
        h.mic->AddObserver(&handler);
        h.mic->Initialise();
        h.BringOnLine(0);
        // The rack's data block reports its twelve channels.
        h.DrainRing(mic::test::DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    }
    std::vector<OscMessage> Ask(const std::string& path, std::vector<OscValue> args) {
        sender.sent.clear();
        journal.changes.clear();
        handler.HandleMessage(peer, {path, std::move(args)});
        return sender.To(peer);
    }
};

TEST_F(OnController, ARemoteSetQueuesItsFrameAndIsReportedAsThePeers) {
    ASSERT_TRUE(h.State().rackOnLine[0]);
    handler.HandleMessage(peer, {"/mic/subscribe", {}});
    const size_t sentBefore = h.SentCount();
    const auto replies = Ask("/mic/rack/1/channel/4/gain", {OscValue::Int(55)});
    // The peer's answer, then the push to the same peer as a subscriber.
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], (OscMessage{"/mic/rack/1/channel/4/gain", {OscValue::Int(55)}}));
    EXPECT_EQ(replies[1], replies[0]);
    EXPECT_EQ(h.State().setting[3] & kGainMask, 10u);
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_EQ(journal.changes[0].origin.source, ChangeSource::Remote);
    EXPECT_EQ(journal.changes[0].origin.detail, "127.0.0.1:5555");
    h.DrainRing();
    EXPECT_GT(h.SentCount(), sentBefore);
    // A set to the value that stands changes nothing and reports nothing.
    EXPECT_EQ(Ask("/mic/rack/1/channel/4/gain", {OscValue::Int(55)}).size(), 1u);
    EXPECT_TRUE(journal.changes.empty());
}

TEST_F(OnController, ConsoleOwnedAndOffLineChannelsRefuseWithTheReasonTheJournalSees) {
    ASSERT_FALSE(h.mic->AssignConsoleChannel(2, 9).refused);
    h.DrainRing();
    const std::string pad = "/mic/rack/1/channel/3/pad";
    const auto replies = Ask(pad, {OscValue::Int(1)});
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].args[1].text, refusal::kConsoleOwned);
    EXPECT_EQ(replies[1], (OscMessage{pad, {OscValue::Int(0)}}));
    EXPECT_EQ(h.State().setting[2] & kPadBit, 0u);
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_TRUE(journal.changes[0].refused);
    EXPECT_EQ(journal.changes[0].reason, refusal::kConsoleOwned);
    EXPECT_EQ(journal.changes[0].origin.source, ChangeSource::Remote);

    // Phase is the operator's even on an assigned channel.
    EXPECT_EQ(Ask("/mic/rack/1/channel/3/phase", {OscValue::Int(1)}).size(), 1u);
    EXPECT_NE(h.State().setting[2] & kPhaseBit, 0u);

    const std::string name = "/mic/rack/5/channel/1/name";
    const auto offLine = Ask(name, {OscValue::String("Kick")});
    ASSERT_EQ(offLine.size(), 2u);
    EXPECT_EQ(offLine[0].args[1].text, refusal::kRackOffLine);
    EXPECT_EQ(h.State().Name(ChannelIndex(4, 0)), "");
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_TRUE(journal.changes[0].refused);
    EXPECT_EQ(journal.changes[0].rack, 4);
    EXPECT_EQ(journal.changes[0].field, ChannelField::Name);
    EXPECT_EQ(journal.changes[0].reason, refusal::kRackOffLine);
}

}  // namespace
}  // namespace mic::osc::test

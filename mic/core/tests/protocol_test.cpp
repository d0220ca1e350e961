#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Polling, WalksTheWholeAddressRangeWhileNoRackIsOnLine) {
    Harness h;
    h.mic->Initialise();
    EXPECT_EQ(h.Sent(), (Bytes{0x81, 0x01}));
    EXPECT_EQ(h.timers.Period(kTimerTransaction), kTimeoutPollMs);
    std::vector<int> racks;
    for (int i = 0; i < 17; ++i) {
        h.Timeout();
        racks.push_back(RackOfAddress(h.Sent()[0]));
    }
    EXPECT_EQ(racks, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}));
}

TEST(Polling, PollsOnLineRacksInTurnWithOneDiscoveryPollPerRound) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(3);
    h.BringOnLine(7);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    std::vector<int> racks;
    for (int i = 0; i < 9; ++i) {
        racks.push_back(RackOfAddress(h.Sent()[0]));
        h.Line(kAck);
    }
    // Two on-line racks, then one rack of the discovery scan, and so on.
    // Racks 3 and 7 once each, then the next rack of the discovery scan, and so on.
    ASSERT_EQ(racks[0], 3);  // the poll in flight came from the on-line turn
    for (int round = 0; round < 3; ++round) {
        std::set<int> pair{racks[3 * round], racks[3 * round + 1]};
        EXPECT_EQ(pair, (std::set<int>{3, 7})) << round;
    }
    EXPECT_EQ(racks[5], (racks[2] + 1) % 16);
    EXPECT_EQ(racks[8], (racks[5] + 1) % 16);
}

TEST(OnLineRule, FourAnswersBringARackOnLineAndFourFailuresTakeItOff) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    Harness h(s);
    h.mic->Initialise();
    for (int i = 0; i < 3; ++i) {
        h.Engine().SendPoll(5);
        h.Line(kAck);
    }
    EXPECT_FALSE(h.State().rackOnLine[5]);
    // Three answers then a failure: counter 3 -> 2, still off line.
    h.Engine().SendPoll(5);
    h.Timeout();
    EXPECT_EQ(h.Engine().LinkCounter(5), 2);
    EXPECT_FALSE(h.State().rackOnLine[5]);

    h.Engine().SendPoll(5);
    h.Line(kAck);
    h.Engine().SendPoll(5);
    h.Line(kAck);
    ASSERT_TRUE(h.State().rackOnLine[5]);
    EXPECT_EQ(h.Engine().OnLineCount(), 1);
    EXPECT_EQ(h.mic->DisplayedRack(), 5);
    EXPECT_EQ(h.view.rackPicture[5], kPicRackOnLineDisplayed);
    // Snapshot missing: the default state is still sent, then the rack's data requested.
    EXPECT_EQ(h.Engine().Ring().Pending(), 24u);  // 25 queued, the first already sent
    EXPECT_EQ(h.view.status, StatusPicture::Busy);

    // A NACK is a failure too; three more unanswered polls take the rack off line.
    h.Engine().SendPoll(5);
    h.Line(kNack);
    for (int i = 0; i < 3; ++i) {
        h.Engine().SendPoll(5);
        h.Timeout();
    }
    EXPECT_FALSE(h.State().rackOnLine[5]);
    EXPECT_EQ(h.Engine().OnLineCount(), 0);
    EXPECT_EQ(h.view.status, StatusPicture::NoRacks);
    EXPECT_EQ(h.view.rackPicture[5], kPicRackOffLineDisplayed);
    EXPECT_EQ(ReadFile(h.dir.File("RestoreSnapshot.mic")).size(), kPresetFileSize);
}

TEST(OnLineRule, ARackThatComesBackKeepsTheChangesOfThisSession) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    Harness h(s);
    PreampState snapshot;
    snapshot.setting[ChannelIndex(1, 0)] = 0x49;
    ASSERT_TRUE(SavePresetFile(h.dir.File("RestoreSnapshot.mic"), snapshot));
    h.mic->Initialise();
    h.BringOnLine(0);
    h.BringOnLine(1);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->SelectRack(1);
    h.DrainRing(DataBlock({0x49, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->ClickPhase(0);
    h.DrainRing();
    ASSERT_EQ(h.State().setting[ChannelIndex(1, 0)], 0x69u);
    for (int i = 0; i < 4; ++i) {
        h.Engine().SendPoll(1);
        h.Timeout();
    }
    ASSERT_FALSE(h.State().rackOnLine[1]);
    ASSERT_TRUE(h.State().rackOnLine[0]);  // so no new snapshot was written
    h.BringOnLine(1);
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 0)], 0x69u);
    EXPECT_EQ(h.Sent(), SetChannelBytes(1, 0, 0x69, 0x7F));
}

TEST(Transactions, AnUnansweredSetChannelIsSentThreeTimesThenDropped) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(2);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_TRUE(h.mic->ClickPhantom(11).channels);
    h.Line(kAck);  // the poll in flight
    ASSERT_EQ(h.Sent(), (Bytes{0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D}));
    EXPECT_EQ(h.timers.Period(kTimerTransaction), kTimeoutCommandMs);
    const int counter = h.Engine().LinkCounter(2);
    h.Timeout();
    EXPECT_EQ(h.Sent(), (Bytes{0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D}));
    h.Line(kNack);  // a NACK is no answer either
    EXPECT_EQ(h.Sent(), (Bytes{0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D}));
    const size_t sends = h.SentCount();
    h.Timeout();
    EXPECT_EQ(h.Sent()[1], kCmdPoll);  // dropped after the third send
    EXPECT_EQ(h.SentCount(), sends + 1);
    EXPECT_EQ(h.Engine().LinkCounter(2), counter - 3);
    EXPECT_EQ(h.Engine().RetryCounter(), 0u);
}

TEST(Transactions, AnAckAfterOneRetryEndsTheRetriesOfThatFrame) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->ClickPad(0);
    h.mic->ClickPhase(1);
    h.Line(kAck);
    h.Timeout();
    h.Line(kAck);
    EXPECT_EQ(h.Engine().RetryCounter(), 0u);
    EXPECT_EQ(h.Sent(), SetChannelBytes(0, 1, 0x23, 0x7F));
}

TEST(Transactions, DataBlocksAreCheckedAndAppliedToTheirRack) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(4);  // displayed
    ASSERT_EQ(h.mic->DisplayedRack(), 4);
    h.DrainRing();  // data request unanswered: three sends
    EXPECT_EQ(h.Sent()[1], kCmdPoll);

    // ACK with data from the displayed rack queues a data request in the displayed mode.
    h.Engine().SendPoll(4);
    h.Line(kAckWithData);
    ASSERT_EQ(h.Sent(), (Bytes{0x85, 0x14}));
    EXPECT_EQ(h.mic->Reply().replyMode.load(), kReplyDataBlockAlt);
    Bytes bad = DataBlock({0x45, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 2, {}, 0x001);
    bad[36] ^= 1;
    h.Line(bad);
    EXPECT_EQ(h.Sent(), (Bytes{0x85, 0x14}));  // checksum failed: asked again
    EXPECT_EQ(h.State().setting[ChannelIndex(4, 0)], 3u);
    h.Line(DataBlock({0x45, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x2D}, 2, {}, 0x801));
    EXPECT_EQ(h.State().setting[ChannelIndex(4, 0)], 0x45u);
    EXPECT_EQ(h.State().setting[ChannelIndex(4, 11)], 0x2Du);
    EXPECT_EQ(h.State().directSwitch[ChannelIndex(4, 0)], 1u);
    EXPECT_EQ(h.State().directSwitch[ChannelIndex(4, 11)], 1u);
    EXPECT_EQ(h.State().status[ChannelIndex(4, 5)], 2u);
    EXPECT_EQ(h.view.redrawnChannels.size(), 12u);
}

TEST(Transactions, ADataBlockDoesNotUndoAChangeStillWaitingInTheRing) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    h.BringOnLine(1);
    const Bytes plain = DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3});
    h.DrainRing(plain);
    h.mic->SelectRack(1);  // queues a data request
    h.mic->ClickPhantom(4);
    h.mic->ClickDirect(5);
    h.Timeout();
    ASSERT_EQ(h.Sent(), (Bytes{0x82, 0x14}));
    h.Line(plain);  // taken before the changes reached the rack
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 4)], 0x43u);
    EXPECT_EQ(h.State().directSwitch[ChannelIndex(1, 5)], 1u);
    EXPECT_EQ(h.Sent(), SetChannelBytes(1, 4, 0x43, 0x7F));
    h.Line(kAck);
    h.Line(kAck);
    // Once nothing is pending, the rack's word counts again.
    h.Engine().SendPoll(1);
    h.Line(kAckWithData);
    h.Line(plain);
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 4)], 3u);
}

TEST(Transactions, AckWithDataFromARackNotDisplayedOnlyCountsAsAnAnswer) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(1);
    h.BringOnLine(6);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_EQ(h.mic->DisplayedRack(), 1);
    h.Engine().SendPoll(6);
    h.Line(kAckWithData);
    EXPECT_TRUE(h.Engine().RingEmpty());
    EXPECT_EQ(h.Sent()[1], kCmdPoll);
}

TEST(Transactions, AssignmentsFromARackAreDroppedWithoutTheConsole) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 1, {5, 6}));
    EXPECT_EQ(h.State().assignment[0], 0u);
    EXPECT_TRUE(h.mic->ClickPhantom(0).channels);  // still the operator's to switch
}

TEST(VersionScan, AsksEachRackUpToThreeTimesThenHaltsAndOpensSetup) {
    Harness h;
    h.mic->Initialise();
    h.Line(kAck);
    ASSERT_TRUE(h.mic->SetupClicked());
    EXPECT_EQ(h.view.setupPicture, kPicSetupBusy);
    ASSERT_EQ(h.Sent(), (Bytes{0x81, 0x10}));
    EXPECT_EQ(h.timers.Period(kTimerTransaction), kTimeoutVersionMs);
    Bytes text = {'P', 'X', '5', 'R', ' ', 'v', '2', '.', '1', '0'};
    uint32_t sum = 0;
    for (uint8_t b : text)
        sum += b;
    Bytes good = text;
    good.push_back(sum & 0x7F);
    good.push_back(0x00);  // completes the text
    Bytes bad = good;
    bad[10] ^= 0x11;
    // Control characters before the check byte are skipped by the reader.
    h.Line(Bytes{0x01, 0x02});
    h.Line(good);
    h.Line(0x00);
    EXPECT_EQ(h.Engine().Version(0), "PX5R v2.10");
    ASSERT_EQ(h.Sent(), (Bytes{0x82, 0x10}));
    h.Line(bad);
    h.Line(0x00);
    EXPECT_EQ(h.Sent(), (Bytes{0x82, 0x10}));
    h.Timeout();
    EXPECT_EQ(h.Sent(), (Bytes{0x82, 0x10}));
    h.Line(bad);
    h.Line(0x00);
    EXPECT_EQ(h.Engine().Version(1), kVersionUnknown);
    ASSERT_EQ(h.Sent(), (Bytes{0x83, 0x10}));
    for (int rack = 2; rack < 16; ++rack) {
        for (int t = 0; t < 3; ++t)
            h.Timeout();
    }
    ASSERT_TRUE(h.view.setup.has_value());
    EXPECT_EQ(h.view.setup->versions[0], "PX5R v2.10");
    EXPECT_EQ(h.view.setup->versions[15], kVersionUnknown);
    EXPECT_TRUE(h.Engine().Halted());

    // While halted nothing is queued, and each timer firing asks the next rack for its
    // version without waiting for an answer.
    const size_t before = h.SentCount();
    EXPECT_FALSE(h.Engine().QueueDataRequest(0));
    h.Timeout();
    EXPECT_EQ(h.Sent(), (Bytes{0x81, 0x10}));
    EXPECT_EQ(h.mic->Reply().awaiting.load(), kIdle);
    EXPECT_EQ(h.timers.Period(kTimerTransaction), kTimeoutHaltedVersionMs);
    h.Timeout();
    EXPECT_EQ(h.Sent(), (Bytes{0x82, 0x10}));
    EXPECT_EQ(h.SentCount(), before + 2);

    h.mic->SetupWindowClosed();
    EXPECT_FALSE(h.Engine().Halted());
    EXPECT_EQ(h.view.setupPicture, kPicSetupNormal);
    h.Timeout();
    EXPECT_EQ(h.Sent()[1], kCmdPoll);
}

TEST(VersionScan, IsRefusedWhileFramesAreQueued) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    EXPECT_FALSE(h.mic->SetupClicked());
}

TEST(DebugLog, WritesTheProtocolTexts) {
    Harness h;
    h.mic->Initialise();
    h.mic->SetupAction(1, 3);
    h.BringOnLine(2);  // polls: Tx=83 1
    h.Line(kAck);      // set channel ACK
    h.Timeout();       // NoResponse
    h.Engine().SendPoll(2);
    h.Line(kNack);
    h.mic->SetupAction(0, 3);
    const std::string log = ReadFile(h.dir.File("MicDebug.txt"));
    EXPECT_NE(log.find("\nTx=83 1 "), std::string::npos) << log;
    EXPECT_NE(log.find("\nTx=83 11 0 3 7f 2 \nRx=ACK"), std::string::npos) << log;
    EXPECT_NE(log.find("\nRx=NoResponse"), std::string::npos) << log;
    EXPECT_NE(log.find("\nRx=NACK!"), std::string::npos) << log;
}

TEST(DebugLog, ReportsAFileThatCannotBeOpened) {
    MicConfig config;
    Harness h;
    std::filesystem::create_directory(h.dir.File("MicDebug.txt"));  // a directory: no file
    h.mic->SetupAction(1, 3);
    EXPECT_EQ(h.view.messages, (std::vector<std::string>{"Debug File Error!!"}));
    EXPECT_FALSE(h.Engine().DebugLogOn());
}

}  // namespace
}  // namespace mic::test

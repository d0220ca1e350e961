#include <gtest/gtest.h>

#include <vector>

#include "MicHarness.h"
#include "mic/core/DataBlockCompare.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

constexpr std::array<uint8_t, 12> kDefaults{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};

struct Recorder : ChangeObserver {
    void ChannelChanged(const ChannelChange& c) override { changes.push_back(c); }
    std::vector<ChannelChange> changes;
};

struct Checked : Harness {
    explicit Checked(RackMend mend) : Harness(Settings(mend)) { mic->AddObserver(&rec); }
    static MicSettings Settings(RackMend mend) {
        MicSettings s = NoFiles();
        s.verifyRacks = true;
        s.rackMend = mend;
        return s;
    }
    // Polls the rack unanswered until it goes off line.
    void TakeOffLine(int rack) {
        for (int i = 0; i < 8 && State().rackOnLine[rack]; ++i) {
            Engine().SendPoll(rack);
            Timeout();
        }
    }
    // Frames sent from `from` on with this command.
    size_t Count(size_t from, uint8_t command) const {
        size_t n = 0;
        for (size_t i = from; i < port.sent.size(); ++i)
            n += port.sent[i][1] == command;
        return n;
    }
    Recorder rec;
};

// Rack 0 on line, read back in agreement, then off the line while its front panel changes
// channel 3 to 45 dB with phantom and switches channel 5's direct out on.
void ChangeBehindTheControllersBack(Checked& h, Bytes& changed) {
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kDefaults));
    ASSERT_EQ(h.mic->RackSyncState(0), RackSync::InSync);
    h.TakeOffLine(0);
    ASSERT_FALSE(h.State().rackOnLine[0]);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Unknown);
    std::array<uint8_t, 12> panel = kDefaults;
    panel[3] = 0x40 | 8;
    changed = DataBlock(panel, 1, {}, 1u << 5);
    h.rec.changes.clear();
}

TEST(RackCheck, ARackBackOnTheLineIsReadFirstAndWithAdoptTheControllerTakesItsValues) {
    Checked h(RackMend::Adopt);
    Bytes changed;
    ChangeBehindTheControllersBack(h, changed);
    const size_t from = h.SentCount();
    h.BringOnLine(0);
    // Nothing is written to the rack before it has been read.
    EXPECT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    EXPECT_EQ(h.Count(from, kCmdSetChannel) + h.Count(from, kCmdSetDirect), 0u);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Verifying);
    h.Line(changed);
    EXPECT_EQ(h.mic->RackDifferencesFound(0), 3);  // gain, phantom, direct out
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::InSync);
    EXPECT_EQ(h.State().setting[3], 0x48u);
    EXPECT_EQ(h.State().directSwitch[5], 1u);
    ASSERT_EQ(h.rec.changes.size(), 3u);
    for (const ChannelChange& c : h.rec.changes) {
        EXPECT_EQ(c.origin.source, ChangeSource::FrontPanel);
        EXPECT_FALSE(c.refused);
    }
    h.DrainRing(changed);
    EXPECT_EQ(h.Count(from, kCmdSetChannel) + h.Count(from, kCmdSetDirect), 0u);
    const std::vector<std::pair<int, RackSync>> marks = {{0, RackSync::Verifying},
                                                         {0, RackSync::InSync},
                                                         {0, RackSync::Unknown},
                                                         {0, RackSync::Verifying},
                                                         {0, RackSync::InSync}};
    EXPECT_EQ(h.view.syncMarks, marks);
}

TEST(RackCheck, WithResendTheDifferencesAreRefusedSentAgainOnceAndReadBackAtIdle) {
    Checked h(RackMend::Resend);
    Bytes changed;
    ChangeBehindTheControllersBack(h, changed);
    h.BringOnLine(0);
    ASSERT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    const size_t from = h.SentCount();
    h.Line(changed);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Differs);
    // The controller keeps its values and reports each of the rack's as refused.
    EXPECT_EQ(h.State().setting[3], 3u);
    EXPECT_EQ(h.State().directSwitch[5], 0u);
    ASSERT_EQ(h.rec.changes.size(), 3u);
    for (const ChannelChange& c : h.rec.changes) {
        EXPECT_TRUE(c.refused);
        EXPECT_EQ(c.reason, refusal::kRackDiffered);
        EXPECT_EQ(c.origin.source, ChangeSource::FrontPanel);
        EXPECT_EQ(c.channel, c.field == ChannelField::DirectOut ? 5 : 3);
    }
    EXPECT_EQ(h.rec.changes[0].field, ChannelField::Gain);
    EXPECT_EQ(h.rec.changes[0].oldValue, 3);
    EXPECT_EQ(h.rec.changes[0].newValue, 8);
    EXPECT_TRUE(h.mic->Busy());

    // The whole rack goes out again; the read-back waits until the line is idle.
    h.DrainRing();
    EXPECT_EQ(h.Count(from, kCmdSetChannel), 12u);
    EXPECT_EQ(h.Count(from, kCmdSetDirect), 12u);
    EXPECT_EQ(h.Count(from, kCmdDataRequest), 0u);
    EXPECT_EQ(h.port.sent[from], SetChannelBytes(0, 0, 3, 0x7F));
    EXPECT_EQ(h.port.sent[from + 6], SetChannelBytes(0, 3, 3, 0x7F));
    h.Line(kAck);  // the idle poll
    ASSERT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    h.Line(DataBlock(kDefaults));
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::InSync);
    EXPECT_EQ(h.rec.changes.size(), 3u);
}

TEST(RackCheck, ARackThatStillDiffersAfterTheResendKeepsTheMarkAndIsNotWrittenAgain) {
    Checked h(RackMend::Resend);
    Bytes changed;
    ChangeBehindTheControllersBack(h, changed);
    h.BringOnLine(0);
    h.Line(changed);
    h.DrainRing();
    h.Line(kAck);
    ASSERT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    const size_t from = h.SentCount();
    h.Line(changed);  // the rack did not take the frames
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Differs);
    EXPECT_EQ(h.State().setting[3], 3u);
    h.DrainRing(changed);
    for (int i = 0; i < 5; ++i) {
        h.Line(kAck);
        h.DrainRing(changed);
    }
    EXPECT_EQ(h.Count(from, kCmdSetChannel) + h.Count(from, kCmdSetDirect), 0u);
    EXPECT_EQ(h.Count(from, kCmdDataRequest), 0u);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Differs);
}

TEST(RackCheck, APresetLoadIsReadBackAfterItsFramesAndAChangeMadeMeanwhileIsNotADifference) {
    Checked h(RackMend::Resend);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kDefaults));
    PreampState preset;
    std::array<uint8_t, 12> wanted = kDefaults;
    for (int c = 0; c < kChannelsPerRack; ++c) {
        preset.setting[c] = 3 + c % 11;
        wanted[c] = static_cast<uint8_t>(preset.setting[c]);
    }
    const std::string path = h.dir.File("p.mic");
    ASSERT_TRUE(SavePresetFile(path, preset));
    const size_t from = h.SentCount();
    h.mic->LoadPreset(path);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Verifying);
    h.DrainRing();
    EXPECT_EQ(h.Count(from, kCmdSetChannel), 12u);
    EXPECT_EQ(h.Count(from, kCmdDataRequest), 0u);
    h.Line(kAck);
    ASSERT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    // The operator switches phantom on while the block is on its way: the block cannot hold
    // it yet, and that is no difference.
    ASSERT_FALSE(h.mic->ClickPhantom(2).refused);
    h.Line(DataBlock(wanted));
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::InSync);
    EXPECT_EQ(h.mic->RackDifferencesFound(0), 0);
    EXPECT_NE(h.State().setting[2] & kPhantomBit, 0u);
}

TEST(RackCheck, AReadThatNeverBringsABlockGivesUpAfterThreeAttempts) {
    Checked h(RackMend::Adopt);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing();  // the data request goes unanswered, three sends
    for (int attempt = 0; attempt < 4; ++attempt) {
        h.Line(kAck);
        h.DrainRing();
    }
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Unknown);
    const size_t from = h.SentCount();
    h.Line(kAck);
    h.DrainRing();
    EXPECT_EQ(h.Count(from, kCmdDataRequest), 0u);
}

TEST(RackCheck, ThePeriodicReadBackRunsOnlyWhenAskedForAndFindsAChangeOfAnUndisplayedRack) {
    {
        Checked quiet(RackMend::Adopt);
        quiet.mic->Initialise();
        EXPECT_FALSE(quiet.timers.Running(kTimerRackCheck));
    }
    MicSettings s = Checked::Settings(RackMend::Adopt);
    s.verifyEverySeconds = 30;
    Harness h(s);
    h.mic->Initialise();
    EXPECT_EQ(h.timers.Period(kTimerRackCheck), 30000u);
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kDefaults));
    h.BringOnLine(1);
    h.DrainRing(DataBlock(kDefaults));
    ASSERT_EQ(h.mic->DisplayedRack(), 0);
    ASSERT_EQ(h.mic->RackSyncState(1), RackSync::InSync);

    h.mic->OnTimer(kTimerRackCheck);
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::Verifying);
    EXPECT_EQ(h.mic->RackSyncState(1), RackSync::Verifying);
    h.Line(kAck);
    ASSERT_EQ(h.Sent(), (Bytes{0x81, kCmdDataRequest}));
    h.Line(DataBlock(kDefaults));
    ASSERT_EQ(h.Sent(), (Bytes{0x82, kCmdDataRequest}));
    std::array<uint8_t, 12> panel = kDefaults;
    panel[9] = 0x20 | 5;
    h.Line(DataBlock(panel));
    EXPECT_EQ(h.mic->RackSyncState(0), RackSync::InSync);
    EXPECT_EQ(h.mic->RackSyncState(1), RackSync::InSync);
    EXPECT_EQ(h.mic->RackDifferencesFound(1), 2);
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 9)], 0x25u);
}

TEST(RackCheck, TheComparisonSkipsUnavailableChannelsPendingFramesAndAssignmentsWithoutConsole) {
    PreampState state;
    TransmitRing ring;
    const int rack = 2;
    state.setting[ChannelIndex(rack, 0)] = 0x45;
    state.assignment[ChannelIndex(rack, 1)] = 8;  // console channel 7 on the wire
    std::array<uint8_t, 12> settings = kDefaults;
    settings[0] = 0x45;
    std::array<uint8_t, 12> assign{};
    assign[1] = 7;
    EXPECT_TRUE(
        CompareDataBlock(state, rack, DataBlock(settings, 1, assign).data(), true, ring).empty());

    settings[0] = 0x25;  // phase instead of phantom on channel 0
    assign[1] = 9;
    Bytes block = DataBlock(settings, 1, assign, 1u << 11);
    auto found = CompareDataBlock(state, rack, block.data(), true, ring);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].field, ChannelField::Phantom);
    EXPECT_EQ(found[1].field, ChannelField::Phase);
    EXPECT_EQ(found[2].field, ChannelField::ConsoleChannel);
    EXPECT_EQ(found[2].controller, 8);
    EXPECT_EQ(found[2].rack, 10);
    EXPECT_EQ(found[3].channel, 11);
    EXPECT_EQ(found[3].field, ChannelField::DirectOut);
    EXPECT_EQ(CompareDataBlock(state, rack, block.data(), false, ring).size(), 3u);

    // Channel 0 not available: its phantom and phase are left out. Frames still waiting for
    // channel 1's assignment and channel 11's direct out hide those, but only on their rack.
    block[24] = 0;
    EXPECT_EQ(CompareDataBlock(state, rack, block.data(), true, ring).size(), 2u);
    ring.Append(MakeSetChannel(rack + 1, 1, 3, 8));
    ring.Append(MakeSetDirect(rack + 1, 11, 0));
    EXPECT_EQ(CompareDataBlock(state, rack, block.data(), true, ring).size(), 2u);
    ring.Append(MakeSetChannel(rack, 1, 3, 8));
    ring.Append(MakeSetDirect(rack, 11, 0));
    EXPECT_TRUE(CompareDataBlock(state, rack, block.data(), true, ring).empty());
}

}  // namespace
}  // namespace mic::test

#include <gtest/gtest.h>

#include "MicHarness.h"

namespace mic::test {
namespace {

uint32_t Gain(const Harness& h, int channel) {
    return h.State().setting[ChannelIndex(h.mic->DisplayedRack(), channel)] & kGainMask;
}

void Type(Harness& h, int channel, std::initializer_list<int> digits) {
    for (int d : digits) {
        h.mic->KeyPressed(KeyKind::Digit, d);
        h.mic->GainTextEdited(channel);
    }
}

TEST(GainTyping, TwoDigitsGiveTheNearestStepAtOrBelowAndLeavingAppliesTheTens) {
    struct Case {
        std::initializer_list<int> digits;
        int dB;
    };
    const Case cases[] = {{{4, 7}, 45}, {{6, 8}, 65}, {{7, 5}, 70}, {{2, 9}, 25},
                          {{5, 0}, 50}, {{3, 3}, 30}, {{7, 0}, 70}, {{6, 5}, 65}};
    for (const Case& c : cases) {
        Harness h;
        Type(h, 4, c.digits);
        EXPECT_EQ(GainDb(Gain(h, 4)), c.dB) << *c.digits.begin();
    }
    Harness h;
    Type(h, 2, {3});
    EXPECT_EQ(Gain(h, 2), 3u);  // the tens alone change nothing yet
    h.mic->GainBoxLeft(2);
    EXPECT_EQ(GainDb(Gain(h, 2)), 30);
}

TEST(GainTyping, OtherKeysAndDigitsOutsideTheGainRangeSnapBack) {
    Harness h;
    h.mic->KeyPressed(KeyKind::Digit, 9);
    EXPECT_TRUE(h.mic->GainTextEdited(0).refused);
    h.mic->KeyPressed(KeyKind::Digit, 4);
    h.mic->GainTextEdited(0);
    h.mic->KeyPressed(KeyKind::Other);  // clears what was typed
    h.mic->GainBoxLeft(0);
    EXPECT_EQ(Gain(h, 0), 3u);
    h.mic->KeyPressed(KeyKind::Digit, 6);
    h.mic->GainTextEdited(0);
    h.mic->KeyPressed(KeyKind::Tab);  // Tab keeps it
    h.mic->GainBoxLeft(0);
    EXPECT_EQ(GainDb(Gain(h, 0)), 60);
}

TEST(GainDrag, MovesOneStepPerMovementOfSixPixelsOrMore) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(MicController::ColumnAt(20), 0);
    EXPECT_EQ(MicController::ColumnAt(60), 1);
    EXPECT_EQ(MicController::ColumnAt(600), 11);
    EXPECT_EQ(MicController::ColumnAt(700), -1);
    h.mic->MousePress(20, 90);
    h.mic->MouseMove(20, 90, true);   // records the position
    h.mic->MouseMove(20, 102, true);  // 12 px down in one movement
    EXPECT_EQ(Gain(h, 0), 7u);
    h.mic->MouseMove(20, 105, true);  // 3 px: nothing
    EXPECT_EQ(Gain(h, 0), 7u);
    h.mic->MouseMove(20, 96, true);  // 6 px up
    h.mic->MouseMove(20, 90, true);
    EXPECT_EQ(Gain(h, 0), 9u);
    EXPECT_EQ(h.view.info, 9);
    EXPECT_EQ(h.timers.Period(kTimerInfo), 3000u);
    h.mic->MouseMove(20, 80, false);  // released: the drag ends
    h.mic->MouseMove(20, 60, true);
    EXPECT_EQ(Gain(h, 0), 9u);
    h.mic->OnTimer(kTimerInfo);
    EXPECT_EQ(h.view.info, -1);
    // A press outside the band or on an unavailable channel starts nothing.
    h.mic->MousePress(20, 130);
    h.mic->MouseMove(20, 130, true);
    h.mic->MouseMove(20, 100, true);
    EXPECT_EQ(Gain(h, 0), 9u);
}

TEST(Switches, GuardsRefuseChangesTheRackOrTheConsoleOwn) {
    Harness h(Harness::NoFiles(), true);
    h.mic->Initialise();
    // No rack on line: any channel is editable and nothing is queued.
    EXPECT_FALSE(h.mic->ClickPhantom(3).refused);
    EXPECT_EQ(h.State().setting[3], 0x43u);
    EXPECT_TRUE(h.Engine().RingEmpty());

    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 0));  // statuses 0
    EXPECT_TRUE(h.mic->ClickPhase(3).refused);
    EXPECT_TRUE(h.mic->ClickDirect(3).refused);
    EXPECT_TRUE(h.mic->SelectGain(3, 4).refused);

    h.Engine().SendPoll(0);
    h.Line(kAckWithData);
    h.Line(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 1, {0, 0, 0, 10}));
    ASSERT_EQ(h.State().assignment[3], 11u);
    EXPECT_TRUE(h.mic->ClickPhantom(3).refused);
    EXPECT_TRUE(h.mic->ClickPad(3).refused);
    EXPECT_TRUE(h.mic->SelectGain(3, 2).refused);
    EXPECT_FALSE(h.mic->ClickPhase(3).refused);
    EXPECT_FALSE(h.mic->ClickDirect(3).refused);
    h.Line(kAck);  // poll in flight
    EXPECT_EQ(h.Sent(), SetChannelBytes(0, 3, 0x23, 10));

    // A reply being collected refuses the buttons.
    h.mic->Reply().awaiting = kReceivingReply;
    EXPECT_TRUE(h.mic->ClickPhase(4).refused);
    EXPECT_TRUE(h.mic->SelectRack(2).refused);
}

TEST(Racks, SelectingARackRedrawsItAndAsksItForItsState) {
    Harness h;
    h.mic->Initialise();
    h.BringOnLine(0);
    h.BringOnLine(9);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    const int redraws = h.view.rackRedraws;
    Redraw r = h.mic->SelectRack(9);
    EXPECT_TRUE(r.wholeRack);
    EXPECT_EQ(h.view.rackRedraws, redraws + 1);
    EXPECT_EQ(h.view.rackPicture[9], kPicRackOnLineDisplayed);
    EXPECT_EQ(h.view.rackPicture[0], kPicRackOnLine);
    EXPECT_EQ(h.view.rackPicture[1], kPicRackOffLine);
    EXPECT_EQ(h.Engine().Ring().Pending(), 1u);
    h.Timeout();  // next step: the data request of rack 9 goes first
    EXPECT_EQ(h.Sent(), (Bytes{0x8A, 0x14}));
}

TEST(Names, BoxesOpenOnAPressAndCloseWhenLeftEmpty) {
    Harness h;
    h.mic->MousePress(6 + 51 * 3 + 10, 60);
    EXPECT_TRUE(h.view.nameBoxShown[3]);
    EXPECT_EQ(h.view.focused, 3);
    h.mic->NameEdited(3, "Kick drum inside");
    EXPECT_EQ(h.State().Name(3), "Kick drum in");
    h.mic->NameBoxTab(3, "Kick drum in");
    EXPECT_TRUE(h.State().nameShown[3]);
    EXPECT_TRUE(h.State().nameShown[4]);
    EXPECT_EQ(h.view.focused, 4);
    h.mic->NameBoxLeft(4, "");
    EXPECT_FALSE(h.State().nameShown[4]);
    EXPECT_FALSE(h.view.nameBoxShown[4]);
}

TEST(Assignment, SequentialFillsFollowingChannelsUpTo99) {
    Harness h(Harness::NoFiles(), true);
    h.mic->Initialise();
    h.mic->SetSequential(true);
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(h.State().assignment[c], c + 1u);
    EXPECT_TRUE(h.mic->SequentialLock());
    EXPECT_EQ(h.mic->Lists().List(11).size(), 1u);
    h.mic->OnTimer(kTimerSeqLock);
    EXPECT_FALSE(h.mic->SequentialLock());

    // Only box 0 may change while sequential assignment is on; it re-runs the sequence.
    EXPECT_TRUE(h.mic->AssignConsoleChannel(3, 40).refused);
    h.mic->AssignConsoleChannel(0, 95);
    std::vector<uint32_t> got(h.State().assignment.begin(), h.State().assignment.begin() + 12);
    EXPECT_EQ(got, (std::vector<uint32_t>{95, 96, 97, 98, 99, 99, 99, 99, 99, 99, 99, 99}));
    EXPECT_TRUE(h.mic->Lists().List(0).empty());
    EXPECT_EQ(h.mic->Lists().List(98).size(), 8u);

    // Channel 0 unassigned while others are: the others are cleared.
    h.mic->SetSequential(false);
    h.mic->AssignConsoleChannel(0, 0);
    h.mic->SetSequential(true);
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(h.State().assignment[c], 0u) << c;
    for (int k = 0; k < kConsoleChannels; ++k)
        EXPECT_TRUE(h.mic->Lists().List(k).empty());
}

TEST(Assignment, IsRefusedWithoutTheConsoleAndTypedNumbersHaveTwoDigitsAtMost) {
    EXPECT_EQ(MicController::ParseConsoleChannelText("99"), 99);
    EXPECT_EQ(MicController::ParseConsoleChannelText("100"), -1);
    EXPECT_EQ(MicController::ParseConsoleChannelText("4a"), -1);
    Harness standalone;
    EXPECT_TRUE(standalone.mic->AssignConsoleChannel(0, 5).refused);
}

TEST(Reset, OneRackOrAllRacksGoBackToDefaultsAndAreResent) {
    Harness h(Harness::NoFiles(), true);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->SetSequential(true);
    h.mic->ClickPhase(2);
    h.mic->ClickDirect(5);
    h.mic->NameEdited(1, "Vox");
    h.mic->SelectRack(1);
    h.mic->SetSequential(true);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->SelectRack(0);
    h.DrainRing(DataBlock({0x23, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 1,
                          {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0x20));

    h.mic->SetupAction(0, 2);  // displayed rack only
    EXPECT_EQ(h.State().setting[2], 3u);
    EXPECT_EQ(h.State().directSwitch[5], 0u);
    EXPECT_EQ(h.State().assignment[1], 0u);
    EXPECT_FALSE(h.State().sequential[0]);
    EXPECT_EQ(h.State().Name(1), "Vox");
    EXPECT_EQ(h.State().assignment[ChannelIndex(1, 0)], 1u);
    EXPECT_EQ(h.mic->Lists().List(0).size(), 1u);  // rack 1's channel 0 stays
    EXPECT_EQ(h.Engine().Ring().Pending(), 24u);

    h.mic->SetupAction(-1, 2);
    EXPECT_EQ(h.State().assignment[ChannelIndex(1, 0)], 0u);
    EXPECT_FALSE(h.State().sequential[1]);
    for (int k = 0; k < kConsoleChannels; ++k)
        EXPECT_TRUE(h.mic->Lists().List(k).empty());
    // Rack 1 is off line: only rack 0's state is queued, the merge keeps it at 24 frames
    // plus the second set of direct-switch frames.
    EXPECT_EQ(h.Engine().Ring().Pending(), 36u);
}

TEST(ConsoleData, ConsoleBytesDriveAssignedChannelsAndThePopupOncePerLine) {
    Harness h(Harness::NoFiles(), true);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.mic->AssignConsoleChannel(0, 5);
    h.mic->AssignConsoleChannel(1, 5);
    h.mic->AssignConsoleChannel(2, 6);
    h.DrainRing();
    h.view.popups.clear();
    // Nothing differs: nothing changes; a poll in flight keeps its time-out.
    h.Line(kAck);
    h.mic->ApplyConsoleData(0, 0);
    EXPECT_TRUE(h.view.popups.empty());
    EXPECT_TRUE(h.Engine().RingEmpty());
    EXPECT_EQ(h.timers.Period(kTimerTransaction), kTimeoutPollMs);

    uint8_t* line4 = h.console.image.data() + 16;
    line4[0] = 0;   // phantom on
    line4[1] = 1;   // pad on
    line4[2] = 20;  // gain clamped to 13
    h.mic->ApplyConsoleData(0, 0);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(h.State().setting[c], 0x5Du) << c;
    EXPECT_EQ(h.State().setting[2], 3u);
    // Three changes of the first channel drive the popup; the second channel does not.
    ASSERT_EQ(h.view.popups.size(), 3u);
    EXPECT_EQ(h.view.popups[0], (std::array<int, 4>{0, 0, 3, 0}));
    EXPECT_EQ(h.Engine().Ring().Pending(), 2u);  // merged per channel

    // Selection, then release, with the popup-on-selection option.
    h.view.popups.clear();
    h.console.image[4 * 5 + 3] = 1;
    h.mic->ApplyConsoleData(0, 0);
    EXPECT_EQ(h.mic->SelectedChannel(), 2);
    h.console.image[4 * 5 + 3] = 0;
    h.mic->ApplyConsoleData(255, 255);  // no popup for these parameters
    EXPECT_EQ(h.mic->SelectedChannel(), -1);
    EXPECT_EQ(h.view.popups.size(), 1u);
    EXPECT_EQ(h.view.popups[0], (std::array<int, 4>{0, 2, 3, 1}));

    h.mic->SetPopupOnSel(false);
    EXPECT_EQ(h.profile.ints["PopupOnSel"], 0);
    EXPECT_EQ(h.view.popupCleared, 1);
}

TEST(Ports, StartUpProbesPortsOnlyWhenNoneWasStored) {
    MicSettings s = Harness::NoFiles();
    s.portWasStored = false;
    s.communicationPort = 0;
    {
        Harness h(s);
        h.portControl.openable = {3};
        h.mic->Initialise();
        EXPECT_EQ(h.portControl.tried, (std::vector<uint32_t>{1, 1, 2, 3}));
        EXPECT_EQ(h.mic->Settings().communicationPort, 3u);
    }
    {
        Harness h(s);
        h.portControl.openable = {};
        h.mic->Initialise();
        EXPECT_EQ(h.mic->Settings().communicationPort, 5u);
        EXPECT_EQ(h.view.portErrors, 1);
    }
    s.portWasStored = true;
    s.communicationPort = 5;
    Harness h(s);
    h.portControl.openable = {2};
    h.mic->Initialise();
    EXPECT_EQ(h.portControl.tried, (std::vector<uint32_t>{1}));
    EXPECT_EQ(h.mic->Settings().communicationPort, 1u);
    h.mic->SetupAction(1, 4);
    EXPECT_EQ(h.mic->Settings().communicationPort, 2u);
    h.mic->SetupAction(4, 4);
    EXPECT_EQ(h.mic->Settings().communicationPort, 5u);
    h.mic->SetupAction(1, 6);
    h.mic->Close();
    EXPECT_EQ(h.profile.order, (std::vector<std::string>{"Auto Load", "Auto Restore", "FileName",
                                                         "Communication Port"}));
    EXPECT_EQ(h.profile.ints["Communication Port"], 5);
    EXPECT_EQ(h.profile.ints["Auto Load"], 1);
}

}  // namespace
}  // namespace mic::test

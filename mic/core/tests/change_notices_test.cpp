#include <gtest/gtest.h>

#include <vector>

#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

struct Recorder : ChangeObserver {
    void ChannelChanged(const ChannelChange& c) override { changes.push_back(c); }
    void RackLineChanged(int rack, bool onLine) override { lines.emplace_back(rack, onLine); }
    std::vector<ChannelChange> changes;
    std::vector<std::pair<int, bool>> lines;
};

struct Observed : Harness {
    explicit Observed(bool integration = false) : Harness(NoFiles(), integration) {
        mic->AddObserver(&rec);
    }
    Recorder rec;
};

ChangeOrigin Peer(const char* who) {
    ChangeOrigin o;
    o.source = ChangeSource::Remote;
    o.detail = who;
    return o;
}

TEST(ChangeNotices, OperatorChangesAndRefusalsAreReportedWithTheirSourceAndReason) {
    Observed h(true);
    h.mic->Initialise();
    h.mic->ClickPhantom(3);
    h.mic->SelectGain(3, 4);
    ASSERT_EQ(h.rec.changes.size(), 2u);
    EXPECT_EQ(h.rec.changes[0].field, ChannelField::Phantom);
    EXPECT_EQ(h.rec.changes[0].origin.source, ChangeSource::Operator);
    EXPECT_EQ(h.rec.changes[0].newValue, 1);
    EXPECT_EQ(h.rec.changes[1].field, ChannelField::Gain);
    EXPECT_EQ(h.rec.changes[1].oldValue, 3);
    EXPECT_EQ(h.rec.changes[1].newValue, 7);

    h.rec.changes.clear();
    // Assigning hands the channel to the console line, whose data then take over phantom and
    // gain: all of it is the operator's doing.
    h.mic->AssignConsoleChannel(3, 11);
    ASSERT_EQ(h.rec.changes.size(), 3u);
    for (const ChannelChange& c : h.rec.changes)
        EXPECT_EQ(c.origin.source, ChangeSource::Operator);
    EXPECT_EQ(h.rec.changes[1].field, ChannelField::Phantom);
    EXPECT_EQ(h.rec.changes[2].field, ChannelField::ConsoleChannel);
    h.rec.changes.clear();
    const Redraw r = h.mic->ClickPad(3);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.reason, refusal::kConsoleOwned);
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_TRUE(h.rec.changes[0].refused);
    EXPECT_EQ(h.rec.changes[0].field, ChannelField::Pad);
    EXPECT_EQ(h.rec.changes[0].newValue, 1);
    EXPECT_EQ(h.rec.changes[0].reason, refusal::kConsoleOwned);
}

TEST(ChangeNotices, APresetLoadIsReportedOnceAsThePresetsIncludingWhatTheConsoleReapplies) {
    Observed h(true);
    h.mic->Initialise();
    PreampState wanted;
    wanted.setting[ChannelIndex(2, 5)] = 0x40 | 9;
    wanted.SetName(ChannelIndex(2, 5), "Kick");
    const std::string path = h.dir.File("p.mic");
    ASSERT_TRUE(SavePresetFile(path, wanted));
    h.mic->LoadPreset(path);
    int phantom = 0, gain = 0, name = 0;
    for (const ChannelChange& c : h.rec.changes) {
        EXPECT_EQ(c.origin.source, ChangeSource::PresetFile);
        EXPECT_EQ(c.origin.detail, path);
        EXPECT_EQ(c.rack, 2);
        EXPECT_EQ(c.channel, 5);
        phantom += c.field == ChannelField::Phantom;
        gain += c.field == ChannelField::Gain && c.newValue == 9;
        if (c.field == ChannelField::Name) {
            ++name;
            EXPECT_EQ(c.newText, "Kick");
        }
    }
    EXPECT_EQ(phantom + gain + name, 3);
    EXPECT_EQ(h.rec.changes.size(), 3u);
}

TEST(ChangeNotices, TheRacksOwnBlockAndTheConsoleLineAreTheirOwnSources) {
    Observed h(true);
    h.mic->Initialise();
    h.BringOnLine(0);
    EXPECT_EQ(h.rec.lines, (std::vector<std::pair<int, bool>>{{0, true}}));
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    h.rec.changes.clear();
    // The front panel moved channel 1's gain: the next block reports it.
    h.Engine().SendPoll(0);
    h.Line(kAckWithData);
    h.Line(DataBlock({3, 8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_EQ(h.rec.changes[0].origin.source, ChangeSource::FrontPanel);
    EXPECT_EQ(h.rec.changes[0].channel, 1);
    EXPECT_EQ(h.rec.changes[0].newValue, 8);

    h.Line(kAck);
    h.mic->AssignConsoleChannel(4, 7);
    h.DrainRing();
    h.rec.changes.clear();
    h.console.image[4 * 6 + 1] = 1;  // line 7: pad on
    h.mic->ApplyConsoleData(0, 0);
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_EQ(h.rec.changes[0].origin.source, ChangeSource::ConsoleLine);
    EXPECT_EQ(h.rec.changes[0].origin.consoleLine, 7);
    EXPECT_EQ(h.rec.changes[0].field, ChannelField::Pad);
}

TEST(ChangeNotices, RemoteSetsReachAnyRackThroughTheOperatorRules) {
    Observed h(true);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.BringOnLine(1);
    h.DrainRing(DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_EQ(h.mic->DisplayedRack(), 0);
    h.rec.changes.clear();
    const size_t sentBefore = h.SentCount();

    // Rack 1 is not displayed; the set still lands and is queued for it.
    EXPECT_FALSE(h.mic->SetChannelField(1, 2, ChannelField::Phantom, 1, Peer("a")).refused);
    EXPECT_TRUE(h.State().setting[ChannelIndex(1, 2)] & kPhantomBit);
    EXPECT_FALSE(h.Engine().RingEmpty());
    // Setting what is there already changes and reports nothing.
    EXPECT_FALSE(h.mic->SetChannelField(1, 2, ChannelField::Phantom, 1, Peer("a")).refused);
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_EQ(h.rec.changes[0].origin.detail, "a");
    EXPECT_EQ(h.rec.changes[0].rack, 1);

    // Out-of-range values refuse without a change; bad places report nobody's channel.
    EXPECT_EQ(h.mic->SetChannelField(1, 2, ChannelField::Gain, 14, Peer("a")).reason,
              refusal::kOutOfRange);
    EXPECT_EQ(h.mic->SetChannelField(1, 2, ChannelField::Pad, 2, Peer("a")).reason,
              refusal::kOutOfRange);
    EXPECT_TRUE(h.mic->SetChannelField(16, 0, ChannelField::Pad, 1, Peer("a")).refused);
    EXPECT_TRUE(h.mic->SetChannelField(0, 12, ChannelField::Pad, 1, Peer("a")).refused);
    EXPECT_EQ(h.rec.changes.size(), 3u);

    // Console-owned fields refuse even when the value asked for is already there.
    h.mic->SetChannelField(1, 3, ChannelField::ConsoleChannel, 9, Peer("a"));
    const Redraw owned = h.mic->SetChannelField(1, 3, ChannelField::Gain, 3, Peer("a"));
    EXPECT_EQ(owned.reason, refusal::kConsoleOwned);
    EXPECT_FALSE(h.mic->SetChannelField(1, 3, ChannelField::Phase, 1, Peer("a")).refused);
    EXPECT_GE(h.SentCount(), sentBefore);

    h.rec.changes.clear();
    h.mic->SetChannelName(1, 0, "Snare, top", Peer("b"));
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_EQ(h.rec.changes[0].newText, "Snare, top");
}

TEST(ChangeNotices, ATypedNameIsReportedOnceWhenItsBoxIsLeft) {
    Observed h;
    h.mic->Initialise();
    h.mic->NameEdited(0, "V");
    h.mic->NameEdited(0, "Vo");
    h.mic->NameEdited(0, "Vox");
    EXPECT_TRUE(h.rec.changes.empty());
    h.mic->NameBoxLeft(0, "Vox");
    ASSERT_EQ(h.rec.changes.size(), 1u);
    EXPECT_EQ(h.rec.changes[0].oldText, "");
    EXPECT_EQ(h.rec.changes[0].newText, "Vox");
    h.mic->NameBoxLeft(0, "Vox");  // left again without typing: nothing new
    EXPECT_EQ(h.rec.changes.size(), 1u);
}

}  // namespace
}  // namespace mic::test

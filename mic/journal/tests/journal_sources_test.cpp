// Every path by which a channel changes leaves its row, with its source and detail, in the
// journal written by the controller's observer.
#include <gtest/gtest.h>

#include "JournalFixture.h"
#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::journal::test {
namespace {

using mic::test::Harness;

struct Journaled : Harness, JournalFixture {
    explicit Journaled(MicSettings settings = NoFiles(), bool integration = true)
        : Harness(settings, integration) {
        mic->AddObserver(journal.get());
    }
    ~Journaled() { mic->RemoveObserver(journal.get()); }
    // Racks 0 and 1 on line with neutral channels, the journal emptied of what that did.
    void RacksReady() {
        mic->Initialise();
        BringOnLine(0);
        BringOnLine(1);
        DrainRing(mic::test::DataBlock({3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
        const int64_t before = Rows().size();
        mark = before;
    }
    std::vector<JournalRow> NewRows() {
        auto rows = Rows();
        rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(mark));
        return rows;
    }
    size_t mark = 0;
};

TEST(JournalSources, AClickIsJournaledAsTheOperatorsWithOldAndNewValue) {
    Journaled h;
    h.mic->Initialise();
    h.now = kTestEpochUs + 5000000;
    h.mic->SelectGain(2, 4);
    const auto rows = h.NewRows();
    ASSERT_EQ(rows.size(), 1u);
    const JournalRow& r = rows[0];
    EXPECT_GT(r.id, 0);
    EXPECT_EQ(r.timeUs, kTestEpochUs + 5000000);
    EXPECT_EQ(r.change.origin.source, ChangeSource::Operator);
    EXPECT_EQ(r.change.rack, 0);
    EXPECT_EQ(r.change.channel, 2);
    EXPECT_EQ(r.change.field, ChannelField::Gain);
    EXPECT_EQ(OldValueText(r), "20 dB");
    EXPECT_EQ(NewValueText(r), "40 dB");
    EXPECT_FALSE(r.change.refused);
}

TEST(JournalSources, ARefusalIsJournaledWithItsReasonAndTheValueAskedFor) {
    Journaled h;
    h.mic->Initialise();
    h.mic->AssignConsoleChannel(3, 11);
    h.mark = h.Rows().size();
    h.mic->ClickPad(3);
    const auto rows = h.NewRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].change.refused);
    EXPECT_EQ(rows[0].change.reason, refusal::kConsoleOwned);
    EXPECT_EQ(NewValueText(rows[0]), "on");
    EXPECT_EQ(rows[0].change.field, ChannelField::Pad);
}

TEST(JournalSources, APresetLoadIsJournaledWithTheFileItCameFrom) {
    Journaled h;
    h.RacksReady();
    PreampState wanted;
    wanted.setting[ChannelIndex(1, 5)] = 0x40 | 9;
    wanted.SetName(ChannelIndex(1, 5), "Kick, \"in\"");
    const std::string path = h.Harness::dir.File("show.mic");
    ASSERT_TRUE(SavePresetFile(path, wanted));
    h.mic->LoadPreset(path);
    const auto rows = h.NewRows();
    ASSERT_FALSE(rows.empty());
    bool sawName = false;
    for (const JournalRow& r : rows) {
        EXPECT_EQ(r.change.origin.source, ChangeSource::PresetFile);
        EXPECT_EQ(r.change.origin.detail, path);
        EXPECT_EQ(SourceText(r), "preset file " + path);
        if (r.change.field == ChannelField::Name) {
            sawName = true;
            EXPECT_EQ(r.change.rack, 1);
            EXPECT_EQ(r.change.channel, 5);
            EXPECT_EQ(r.change.newText, "Kick, \"in\"");
        }
    }
    EXPECT_TRUE(sawName);
}

TEST(JournalSources, TheRestoreAtStartIsJournaledAsTheAutomaticRestore) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    Journaled h(s, false);
    PreampState saved;
    saved.setting[ChannelIndex(0, 4)] = 0x49;
    ASSERT_TRUE(SavePresetFile(h.mic->SnapshotPath(), saved));
    h.mic->Initialise();
    const auto rows = h.Rows();
    ASSERT_FALSE(rows.empty());
    bool sawGain = false;
    for (const JournalRow& r : rows) {
        EXPECT_EQ(r.change.origin.source, ChangeSource::AutoRestore);
        EXPECT_EQ(SourceText(r), "automatic restore");
        sawGain |= r.change.rack == 0 && r.change.channel == 4 &&
                   r.change.field == ChannelField::Gain && r.change.newValue == 9;
    }
    EXPECT_TRUE(sawGain);
}

TEST(JournalSources, TheRacksFrontPanelAndTheConsoleLineAreJournaledAsTheirOwn) {
    Journaled h;
    h.RacksReady();
    h.Engine().SendPoll(0);
    h.Line(mic::kAckWithData);
    h.Line(mic::test::DataBlock({3, 8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    auto rows = h.NewRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].change.origin.source, ChangeSource::FrontPanel);
    EXPECT_EQ(SourceText(rows[0]), "rack front panel");
    EXPECT_EQ(rows[0].change.channel, 1);
    EXPECT_EQ(NewValueText(rows[0]), "45 dB");

    h.Line(mic::kAck);
    h.mic->AssignConsoleChannel(4, 7);
    h.DrainRing();
    h.mark = h.Rows().size();
    h.console.image[4 * 6 + 1] = 1;  // line 7: pad on
    h.mic->ApplyConsoleData(0, 0);
    rows = h.NewRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].change.origin.source, ChangeSource::ConsoleLine);
    EXPECT_EQ(rows[0].change.origin.consoleLine, 7);
    EXPECT_EQ(SourceText(rows[0]), "console line 7");
    EXPECT_EQ(rows[0].change.field, ChannelField::Pad);
}

TEST(JournalSources, ARemoteSetIsJournaledWithItsPeerAndARemoteRefusalToo) {
    Journaled h;
    h.RacksReady();
    ChangeOrigin peer;
    peer.source = ChangeSource::Remote;
    peer.detail = "127.0.0.1:9000";
    h.mic->SetChannelField(1, 2, ChannelField::Phantom, 1, peer);
    h.mic->SetChannelField(1, 2, ChannelField::Gain, 14, peer);
    const auto rows = h.NewRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(SourceText(rows[0]), "remote 127.0.0.1:9000");
    EXPECT_EQ(rows[0].change.rack, 1);
    EXPECT_FALSE(rows[0].change.refused);
    EXPECT_TRUE(rows[1].change.refused);
    EXPECT_EQ(rows[1].change.reason, refusal::kOutOfRange);
}

}  // namespace
}  // namespace mic::journal::test

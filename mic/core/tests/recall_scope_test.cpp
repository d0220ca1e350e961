// Preset preview and recall scope: the preview lists what a load then does, a narrower scope
// leaves the other parts alone but sends the frames of the full load, and a scoped automatic
// restore sends back the parts it leaves out as the rack reports them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

const std::array<uint8_t, 12> kPlain{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};

struct Recorder : ChangeObserver {
    void ChannelChanged(const ChannelChange& c) override { changes.push_back(c); }
    std::vector<ChannelChange> changes;
};

using Key = std::tuple<int, int, int, bool, int, int, std::string, std::string>;
std::vector<Key> Keys(const std::vector<ChannelChange>& changes) {
    std::vector<Key> keys;
    for (const ChannelChange& c : changes)
        keys.emplace_back(c.rack, c.channel, static_cast<int>(c.field), c.refused, c.oldValue,
                          c.newValue, c.oldText, c.newText);
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The setting of the last set channel frame per channel since frame `from`.
std::map<int, uint8_t> SettingsSent(const FakePort& port, size_t from = 0) {
    std::map<int, uint8_t> sent;
    for (size_t i = from; i < port.sent.size(); ++i) {
        const Bytes& f = port.sent[i];
        if (f.size() >= 4 && f[1] == kCmdSetChannel)
            sent[ChannelIndex(f[0] - AddressByte(0), f[2])] = f[3];
    }
    return sent;
}

PreampState Session() {
    PreampState s;
    s.setting[ChannelIndex(0, 0)] = kPhantomBit | kPadBit | 5;
    s.setting[ChannelIndex(0, 1)] = kPhaseBit | 7;
    s.directSwitch[ChannelIndex(0, 1)] = 1;
    s.SetName(ChannelIndex(0, 0), "Vox");
    s.nameShown[ChannelIndex(0, 0)] = 1;
    s.assignment[ChannelIndex(3, 2)] = 12;
    s.sequential[3] = 1;
    return s;
}

PreampState Preset() {
    PreampState p;
    p.setting[ChannelIndex(0, 0)] = 11;
    p.setting[ChannelIndex(0, 1)] = kPhantomBit | 7;
    p.setting[ChannelIndex(1, 6)] = kPhantomBit | kPadBit | 12;
    p.setting[ChannelIndex(1, 7)] = kPhantomBit | 4;  // a ribbon in the tests below
    p.SetName(ChannelIndex(1, 6), "Kick, in");
    p.nameShown[ChannelIndex(1, 6)] = 1;
    p.assignment[ChannelIndex(3, 2)] = 40;
    return p;
}

TEST(RecallScope, AScopeTakesOnlyItsPartsForTheRacksLoaded) {
    RecallRules rules;
    rules.consoleIntegration = true;
    const PreampState current = Session();
    const PreampState file = Preset();

    rules.scope = kRecallGain;
    PreampState gains = ComposeRecall(current, file, -1, rules);
    EXPECT_EQ(gains.setting[ChannelIndex(0, 0)], kPhantomBit | kPadBit | 11);
    EXPECT_EQ(gains.setting[ChannelIndex(0, 1)], kPhaseBit | 7);
    EXPECT_EQ(gains.setting[ChannelIndex(1, 6)], 12u);
    EXPECT_EQ(gains.Name(ChannelIndex(0, 0)), "Vox");
    EXPECT_EQ(gains.nameShown, current.nameShown);
    EXPECT_EQ(gains.directSwitch, current.directSwitch);
    EXPECT_EQ(gains.assignment, current.assignment);
    EXPECT_EQ(gains.sequential, current.sequential);

    rules.scope = kRecallNames | kRecallConsole;
    PreampState named = ComposeRecall(current, file, 3, rules);
    EXPECT_EQ(named.assignment[ChannelIndex(3, 2)], 40u);
    EXPECT_EQ(named.sequential[3], 0);
    EXPECT_EQ(named.Name(ChannelIndex(1, 6)), "");  // rack 1 was not loaded
    EXPECT_EQ(named.setting, current.setting);

    // Everything is the plain load: the file's tables for the racks loaded, nothing else.
    rules.scope = kRecallEverything;
    PreampState whole = ComposeRecall(current, file, 1, rules);
    PreampState plain = current;
    LoadPresetBytes(nullptr, 0, plain, 1);
    for (int i = 0; i < kChannels; ++i) {
        const PreampState& want = i / kChannelsPerRack == 1 ? file : current;
        EXPECT_EQ(whole.setting[i], want.setting[i]) << i;
        EXPECT_EQ(whole.name[i], want.name[i]) << i;
        EXPECT_EQ(whole.nameShown[i], want.nameShown[i]) << i;
        EXPECT_EQ(whole.assignment[i], want.assignment[i]) << i;
    }
    // Without the console nothing keeps an assignment, whatever the scope.
    rules.consoleIntegration = false;
    rules.scope = kRecallGain;
    for (uint32_t a : ComposeRecall(current, file, -1, rules).assignment)
        EXPECT_EQ(a, 0u);
}

TEST(RecallScope, ThePreviewListsExactlyWhatTheLoadThenReportsAndSends) {
    for (uint32_t scope : {kRecallEverything, uint32_t{kRecallGain | kRecallPhantom},
                           uint32_t{kRecallNames | kRecallDirect}}) {
        SCOPED_TRACE(scope);
        MicSettings s = Harness::NoFiles();
        s.microphoneTypes[ChannelIndex(1, 7)] = MicType::Ribbon;
        Harness h(s);
        Recorder rec;
        h.mic->AddObserver(&rec);
        h.mic->Initialise();
        h.BringOnLine(0);
        h.BringOnLine(1);
        h.DrainRing(DataBlock(kPlain));
        h.mic->ClickPhantom(0);
        h.mic->ClickPad(0);
        h.mic->SelectGain(0, 2);
        h.mic->ClickPhase(1);
        h.mic->SetChannelName(0, 0, "Vox", {});
        h.DrainRing();
        const std::string path = h.dir.File("preset.mic");
        ASSERT_TRUE(SavePresetFile(path, Preset()));
        const std::map<int, uint8_t> before = SettingsSent(h.port);
        const size_t from = h.port.sent.size();

        bool readable = false;
        const std::vector<ChannelChange> preview = h.mic->PreviewPreset(path, scope, &readable);
        EXPECT_TRUE(readable);
        rec.changes.clear();
        h.mic->LoadPreset(path, scope);
        EXPECT_EQ(Keys(preview), Keys(rec.changes));
        h.DrainRing();

        // At the racks: the channels whose setting byte changed are the channels the preview
        // lists with a gain or switch change.
        std::set<int> previewed;
        for (const ChannelChange& c : preview) {
            if (!c.refused && c.field != ChannelField::Name && c.field != ChannelField::DirectOut)
                previewed.insert(ChannelIndex(c.rack, c.channel));
        }
        std::set<int> changed;
        for (const auto& [i, setting] : SettingsSent(h.port, from)) {
            const auto was = before.find(i);
            if ((was == before.end() ? 3 : was->second) != setting)
                changed.insert(i);
        }
        EXPECT_EQ(previewed, changed);
        // The frames of the full load whatever the scope: every channel of both racks.
        EXPECT_EQ(SettingsSent(h.port, from).size(), 24u);
    }
}

TEST(RecallScope, AScopedRestoreSendsWhatItLeavesOutAsTheRackHoldsIt) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    s.restoreScope = kRecallGain;
    Harness h(s);
    PreampState snapshot;
    snapshot.setting[ChannelIndex(0, 0)] = 9;
    snapshot.setting[ChannelIndex(0, 1)] = kPhantomBit | 10;
    ASSERT_TRUE(SavePresetFile(h.dir.File("RestoreSnapshot.mic"), snapshot));
    h.mic->Initialise();
    h.BringOnLine(0);
    // Nothing but the data request goes to the rack before its block has come back.
    for (size_t i = 0; i < h.port.sent.size(); ++i)
        EXPECT_NE(h.port.sent[i][1], kCmdSetChannel);
    h.DrainRing(DataBlock({kPhantomBit | 3, kPadBit | 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    const std::map<int, uint8_t> sent = SettingsSent(h.port);
    ASSERT_EQ(sent.size(), 12u);
    EXPECT_EQ(sent.at(0), kPhantomBit | 9);
    EXPECT_EQ(sent.at(1), kPadBit | 10);
    EXPECT_EQ(sent.at(2), 3);
    // Only once: later blocks are the rack's own news.
    const size_t after = h.port.sent.size();
    h.Engine().SendPoll(0);
    h.Line(kAckWithData);
    h.Line(DataBlock(kPlain));
    h.DrainRing();
    EXPECT_TRUE(SettingsSent(h.port, after).empty());

    h.mic->SetRestoreScope(0xFFFF);
    EXPECT_EQ(h.mic->Settings().restoreScope, kRecallEverything);
    EXPECT_EQ(h.profile.ints[kRestoreScopeKey], 0x7F);
}

TEST(RecallScope, CountsGroupTheChangesByFieldChannelAndRack) {
    RecallRules rules;
    rules.micTypes[ChannelIndex(1, 7)] = MicType::Line;
    const std::vector<ChannelChange> changes = PreviewRecall(Session(), Preset(), -1, rules);
    const PreviewCounts n = CountPreview(changes);
    EXPECT_EQ(n.perField[static_cast<size_t>(ChannelField::Gain)], 3);  // 0/0, 1/6, 1/7
    // 0/0 goes off, 0/1 and 1/6 on; 1/7 stays off: a refusal.
    EXPECT_EQ(n.perField[static_cast<size_t>(ChannelField::Phantom)], 3);
    EXPECT_EQ(n.perField[static_cast<size_t>(ChannelField::Name)], 2);
    EXPECT_EQ(n.refused, 1);
    // 0/0, 0/1, 1/6, 1/7, and 3/2 whose assignment goes without the console.
    EXPECT_EQ(n.channels, 5);
    EXPECT_EQ(n.racks, 3);
    EXPECT_EQ(n.Applied(), static_cast<int>(changes.size()) - 1);
    EXPECT_TRUE(CountPreview({}).channels == 0);
}

}  // namespace
}  // namespace mic::test

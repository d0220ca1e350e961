// Phantom power never reaches a channel declared as a ribbon microphone or a line source,
// whichever path asks for it, and every refusal is reported with its reason.
#include <gtest/gtest.h>

#include <vector>

#include "MicHarness.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

struct Recorder : ChangeObserver {
    void ChannelChanged(const ChannelChange& c) override { changes.push_back(c); }
    std::vector<ChannelChange> Refusals() const {
        std::vector<ChannelChange> out;
        for (const ChannelChange& c : changes)
            if (c.refused)
                out.push_back(c);
        return out;
    }
    std::vector<ChannelChange> changes;
};

const std::array<uint8_t, 12> kPlain{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};

MicSettings WithRibbonAt(int rack, int channel, MicSettings s = Harness::NoFiles()) {
    s.microphoneTypes[ChannelIndex(rack, channel)] = MicType::Ribbon;
    return s;
}

struct Guarded : Harness {
    explicit Guarded(MicSettings s, bool integration = false) : Harness(s, integration) {
        mic->AddObserver(&rec);
    }
    // Any set channel frame for this channel that carried phantom on.
    bool PhantomSent(int rack, int channel) const {
        for (const Bytes& f : port.sent) {
            if (f.size() >= 4 && f[0] == AddressByte(rack) && f[1] == kCmdSetChannel &&
                f[2] == channel && (f[3] & kPhantomBit))
                return true;
        }
        return false;
    }
    size_t SetChannelFramesFor(int rack, int channel) const {
        size_t n = 0;
        for (const Bytes& f : port.sent)
            n += f.size() >= 3 && f[0] == AddressByte(rack) && f[1] == kCmdSetChannel &&
                 f[2] == channel;
        return n;
    }
    void ExpectOneRefusal(ChangeSource source, int rack, int channel) {
        const std::vector<ChannelChange> refused = rec.Refusals();
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].origin.source, source);
        EXPECT_EQ(refused[0].rack, rack);
        EXPECT_EQ(refused[0].channel, channel);
        EXPECT_EQ(refused[0].field, ChannelField::Phantom);
        EXPECT_EQ(refused[0].newValue, 1);
        EXPECT_EQ(refused[0].reason, refusal::kPhantomUnsafe);
        EXPECT_EQ(view.phantomRefused.back(), std::make_pair(rack, channel));
        rec.changes.clear();
    }
    Recorder rec;
};

TEST(MicrophoneTypes, TheProfileTextRoundTripsAndReadsDamageAsUnknown) {
    MicTypeTable types{};
    EXPECT_EQ(FormatMicTypes(types), "");
    types[0] = MicType::Condenser;
    types[5] = MicType::Ribbon;
    types[kChannels - 1] = MicType::Line;
    const std::string text = FormatMicTypes(types);
    EXPECT_EQ(text.size(), static_cast<size_t>(kChannels));
    EXPECT_EQ(text.substr(0, 6), "CUUUUR");
    EXPECT_EQ(ParseMicTypes(text), types);

    const MicTypeTable damaged = ParseMicTypes(std::string("d?r\0L", 5) + std::string(300, 'R'));
    EXPECT_EQ(damaged[0], MicType::Dynamic);
    EXPECT_EQ(damaged[1], MicType::Unknown);
    EXPECT_EQ(damaged[2], MicType::Ribbon);
    EXPECT_EQ(damaged[3], MicType::Unknown);
    EXPECT_EQ(damaged[4], MicType::Line);
    EXPECT_EQ(damaged[kChannels - 1], MicType::Ribbon);
    EXPECT_TRUE(PhantomAllowed(MicType::Unknown));
    EXPECT_TRUE(PhantomAllowed(MicType::Dynamic));
    EXPECT_FALSE(PhantomAllowed(MicType::Line));
}

TEST(PhantomSafety, ClicksAndRemoteSetsAreRefusedButSwitchingOffIsNot) {
    Guarded h(WithRibbonAt(0, 3));
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kPlain));
    h.rec.changes.clear();

    const Redraw click = h.mic->ClickPhantom(3);
    EXPECT_TRUE(click.refused);
    EXPECT_EQ(click.reason, refusal::kPhantomUnsafe);
    h.ExpectOneRefusal(ChangeSource::Operator, 0, 3);
    ChangeOrigin peer;
    peer.source = ChangeSource::Remote;
    peer.detail = "127.0.0.1:9000";
    EXPECT_EQ(h.mic->SetChannelField(0, 3, ChannelField::Phantom, 1, peer).reason,
              refusal::kPhantomUnsafe);
    h.ExpectOneRefusal(ChangeSource::Remote, 0, 3);
    // The rest of the channel stays the operator's, and so do the other channels.
    EXPECT_FALSE(h.mic->ClickPad(3).refused);
    EXPECT_FALSE(h.mic->ClickPhantom(4).refused);
    h.DrainRing();
    EXPECT_FALSE(h.PhantomSent(0, 3));
    EXPECT_TRUE(h.PhantomSent(0, 4));
    EXPECT_FALSE(h.State().setting[ChannelIndex(0, 3)] & kPhantomBit);

    // A ribbon plugged into a powered channel: declaring it powers the channel down at once,
    // and the profile keeps the table.
    const size_t before = h.SetChannelFramesFor(0, 4);
    EXPECT_FALSE(h.mic->SetMicrophoneType(0, 4, MicType::Line).refused);
    EXPECT_FALSE(h.State().setting[ChannelIndex(0, 4)] & kPhantomBit);
    h.DrainRing();
    EXPECT_EQ(h.SetChannelFramesFor(0, 4), before + 1);
    EXPECT_EQ(h.profile.strings[kMicTypesKey], "UUURL");
    // Back to a condenser: phantom may be switched on again.
    h.mic->SetMicrophoneType(0, 3, MicType::Condenser);
    EXPECT_FALSE(h.mic->ClickPhantom(3).refused);
    EXPECT_EQ(h.mic->MicrophoneType(0, 3), MicType::Condenser);
    EXPECT_TRUE(h.mic->SetMicrophoneType(16, 0, MicType::Ribbon).refused);
}

TEST(PhantomSafety, APresetLoadAppliesTheRestOfTheChannelButNotItsPhantom) {
    Guarded h(WithRibbonAt(0, 2));
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kPlain));
    PreampState preset;
    preset.setting[ChannelIndex(0, 2)] = kPhantomBit | kPadBit | 9;
    preset.setting[ChannelIndex(0, 5)] = kPhantomBit | 4;
    preset.SetName(ChannelIndex(0, 2), "Ribbon");
    const std::string path = h.dir.File("p.mic");
    ASSERT_TRUE(SavePresetFile(path, preset));
    h.rec.changes.clear();

    h.mic->LoadPreset(path);
    EXPECT_EQ(h.State().setting[ChannelIndex(0, 2)], kPadBit | 9);
    EXPECT_EQ(h.State().Name(ChannelIndex(0, 2)), "Ribbon");
    EXPECT_EQ(h.State().setting[ChannelIndex(0, 5)], kPhantomBit | 4);
    h.ExpectOneRefusal(ChangeSource::PresetFile, 0, 2);
    h.DrainRing();
    EXPECT_FALSE(h.PhantomSent(0, 2));
    EXPECT_TRUE(h.PhantomSent(0, 5));
}

TEST(PhantomSafety, TheRestoreHoldsPhantomOffAtStartOnLineAndOnReturn) {
    MicSettings s = WithRibbonAt(1, 0);
    s.autoRestore = true;
    Guarded h(s);
    PreampState snapshot;
    snapshot.setting[ChannelIndex(1, 0)] = kPhantomBit | 8;
    snapshot.setting[ChannelIndex(1, 1)] = kPhantomBit | 8;
    ASSERT_TRUE(SavePresetFile(h.dir.File("RestoreSnapshot.mic"), snapshot));

    h.mic->Initialise();
    h.ExpectOneRefusal(ChangeSource::AutoRestore, 1, 0);
    EXPECT_EQ(h.State().setting[ChannelIndex(1, 0)], 8u);
    h.BringOnLine(1);
    h.ExpectOneRefusal(ChangeSource::AutoRestore, 1, 0);
    h.DrainRing(DataBlock({8, kPhantomBit | 8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    EXPECT_FALSE(h.PhantomSent(1, 0));
    EXPECT_TRUE(h.PhantomSent(1, 1));

    // Someone at the rack switches the ribbon's phantom on; the rack drops out and returns:
    // the state sent back to it has phantom off.
    h.Engine().SendPoll(1);
    h.Line(kAckWithData);
    h.Line(DataBlock({kPhantomBit | 8, kPhantomBit | 8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_TRUE(h.State().setting[ChannelIndex(1, 0)] & kPhantomBit);
    h.Line(kAck);
    for (int i = 0; i < 4; ++i) {
        h.Engine().SendPoll(1);
        h.Timeout();
    }
    ASSERT_FALSE(h.State().rackOnLine[1]);
    h.rec.changes.clear();
    const size_t sent = h.port.sent.size();
    h.BringOnLine(1);
    h.ExpectOneRefusal(ChangeSource::AutoRestore, 1, 0);
    h.DrainRing();
    for (size_t i = sent; i < h.port.sent.size(); ++i) {
        const Bytes& f = h.port.sent[i];
        if (f[0] == AddressByte(1) && f[1] == kCmdSetChannel && f[2] == 0) {
            EXPECT_EQ(f[3], 8);
        }
    }
}

TEST(PhantomSafety, TheConsolesPhantomIsRefusedAndReportedOncePerRequest) {
    Guarded h(WithRibbonAt(0, 4), true);
    h.mic->Initialise();
    h.BringOnLine(0);
    h.DrainRing(DataBlock(kPlain));
    h.mic->AssignConsoleChannel(4, 7);
    h.DrainRing();
    h.rec.changes.clear();

    h.console.image[4 * 6] = 0;  // line 7 asks for phantom
    h.console.image[4 * 6 + 2] = 10;
    h.mic->ApplyConsoleData(0, 0);
    h.ExpectOneRefusal(ChangeSource::ConsoleLine, 0, 4);
    EXPECT_EQ(h.State().setting[ChannelIndex(0, 4)] & ~kGainMask, 0u);
    EXPECT_EQ(h.State().setting[ChannelIndex(0, 4)] & kGainMask, 10u);
    h.mic->ApplyConsoleData(0, 0);
    h.mic->ApplyConsoleData(255, 255);
    EXPECT_TRUE(h.rec.Refusals().empty());
    // Released and asked for again: a new request, a new refusal.
    h.console.image[4 * 6] = 1;
    h.mic->ApplyConsoleData(0, 0);
    h.console.image[4 * 6] = 0;
    h.mic->ApplyConsoleData(0, 0);
    h.ExpectOneRefusal(ChangeSource::ConsoleLine, 0, 4);
    h.DrainRing();
    EXPECT_FALSE(h.PhantomSent(0, 4));

    // Declared a condenser, the channel follows its line's phantom at once.
    h.mic->SetMicrophoneType(0, 4, MicType::Condenser);
    EXPECT_TRUE(h.State().setting[ChannelIndex(0, 4)] & kPhantomBit);
}

}  // namespace
}  // namespace mic::test

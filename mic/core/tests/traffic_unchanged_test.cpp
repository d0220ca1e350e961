// The line traffic of a start-up, a click and a preset load, and the files written, are the
// same whether or not the optional features are wired in but left unused.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "FakeRackLine.h"
#include "mic/core/PresetFile.h"

namespace mic::test {
namespace {

struct SilentObserver : ChangeObserver {
    void ChannelChanged(const ChannelChange&) override {}
    void RackLineChanged(int, bool) override {}
};

// One optional feature in its "enabled but unused" position: what it changes in the settings
// before the controller is made, and what it attaches to the controller afterwards. A feature
// whose default must leave the line as it was adds its line to QuietSwitches().
struct QuietSwitch {
    const char* what;
    std::function<void(MicSettings&)> settings;
    std::function<void(MicController&)> attach;
};

SilentObserver silent;

const std::vector<QuietSwitch>& QuietSwitches() {
    static const std::vector<QuietSwitch> switches = {
        {"a change observer that does nothing",
         {},
         [](MicController& m) { m.AddObserver(&silent); }},
        {"rack read-back settings at their defaults",
         [](MicSettings& s) {
             s.verifyRacks = MicSettings{}.verifyRacks;
             s.rackMend = MicSettings{}.rackMend;
         },
         {}},
        {"microphone types that allow phantom, and the full recall scope",
         [](MicSettings& s) {
             for (size_t i = 0; i < s.microphoneTypes.size(); ++i)
                 s.microphoneTypes[i] = i % 2 ? MicType::Condenser : MicType::Dynamic;
             s.restoreScope = kRecallEverything;
         },
         {}},
    };
    return switches;
}

struct Recording {
    std::vector<Bytes> frames;
    std::string snapshot;  // the automatic snapshot written at the close
    size_t marks = 0;      // rack read-back marks the window was asked to show
};

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

PreampState Values(uint32_t seed) {
    PreampState s;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < kChannelsPerRack; ++c) {
            const int i = ChannelIndex(r, c);
            s.setting[i] = (3 + (seed + 3 * r + c) % 11) | ((seed + c) % 3 == 0 ? kPhantomBit : 0) |
                           (c % 4 == 1 ? kPadBit : 0);
            s.directSwitch[i] = (seed + c) % 2;
        }
    }
    s.SetName(ChannelIndex(0, 1), "Vox");
    s.nameShown[ChannelIndex(0, 1)] = 1;
    return s;
}

// Start-up with the automatic restore and two racks on the line, a click, a preset load, the
// close. `settings` and `attach` switch features on before the run.
Recording Record(const std::function<void(MicSettings&)>& settings,
                 const std::function<void(MicController&)>& attach) {
    MicSettings s = Harness::NoFiles();
    s.autoRestore = true;
    if (settings)
        settings(s);
    Harness h(s);
    if (attach)
        attach(*h.mic);
    EXPECT_TRUE(SavePresetFile(h.mic->SnapshotPath(), Values(1)));
    const std::string preset = h.dir.File("show.mic");
    EXPECT_TRUE(SavePresetFile(preset, Values(5)));

    FakeRackLine line(h);
    line.racks[0].present = true;
    line.racks[1].present = true;
    line.racks[1].setting[4] = 0x49;  // the rack starts out unlike the snapshot
    line.racks[1].pendingData = true;
    h.mic->Initialise();
    line.Run(300);
    h.mic->ClickPhantom(2);
    h.mic->SelectGain(7, 6);
    line.Run(40);
    h.mic->LoadPreset(preset);
    line.Run(300);
    h.mic->Close();

    Recording out;
    out.frames = h.port.sent;
    out.snapshot = FileBytes(h.mic->SnapshotPath());
    out.marks = h.view.syncMarks.size();
    return out;
}

size_t CountCommand(const std::vector<Bytes>& frames, uint8_t command) {
    size_t n = 0;
    for (const Bytes& f : frames)
        n += f.size() > 1 && f[1] == command;
    return n;
}

TEST(DefaultTraffic, StartUpClickAndPresetLoadSendTheSameFramesWithTheQuietFeaturesWiredIn) {
    const Recording plain = Record({}, {});
    // The scenario really exercises the line: restores, the click, the load and reads.
    ASSERT_GE(CountCommand(plain.frames, kCmdSetChannel), 2u * 24u + 2u);  // restore, click, load
    ASSERT_GE(CountCommand(plain.frames, kCmdSetDirect), 2u * 12u);
    ASSERT_GE(CountCommand(plain.frames, kCmdDataRequest), 2u);
    ASSERT_EQ(plain.snapshot.size(), kPresetFileSize);

    for (const QuietSwitch& q : QuietSwitches()) {
        const Recording with = Record(q.settings, q.attach);
        EXPECT_EQ(with.frames, plain.frames) << q.what;
        EXPECT_EQ(with.snapshot, plain.snapshot) << q.what;
        EXPECT_EQ(with.marks, 0u) << q.what;
    }
    const Recording all = Record(
        [](MicSettings& s) {
            for (const QuietSwitch& q : QuietSwitches())
                if (q.settings)
                    q.settings(s);
        },
        [](MicController& m) {
            for (const QuietSwitch& q : QuietSwitches())
                if (q.attach)
                    q.attach(m);
        });
    ASSERT_EQ(all.frames.size(), plain.frames.size());
    for (size_t i = 0; i < plain.frames.size(); ++i)
        ASSERT_EQ(all.frames[i], plain.frames[i]) << "frame " << i;
    EXPECT_EQ(all.snapshot, plain.snapshot);
}

TEST(DefaultTraffic, ReadingRacksBackAddsDataRequestsAndNoOtherFrame) {
    const Recording plain = Record({}, {});
    const Recording checked = Record([](MicSettings& s) { s.verifyRacks = true; }, {});
    auto writes = [](const std::vector<Bytes>& frames) {
        std::vector<Bytes> out;
        for (const Bytes& f : frames)
            if (f[1] == kCmdSetChannel || f[1] == kCmdSetDirect)
                out.push_back(f);
        return out;
    };
    EXPECT_EQ(writes(checked.frames), writes(plain.frames));
    EXPECT_GT(CountCommand(checked.frames, kCmdDataRequest),
              CountCommand(plain.frames, kCmdDataRequest));
    EXPECT_GT(checked.marks, 0u);
    EXPECT_EQ(checked.snapshot, plain.snapshot);
}

}  // namespace
}  // namespace mic::test

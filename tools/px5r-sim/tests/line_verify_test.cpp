// Racks read back by the controller after they come back on the line, against simulated racks
// whose front panel was used while they were off the line.
#include <gtest/gtest.h>

#include <algorithm>

#include "LineRig.h"

using namespace line_test;
using mic::ChannelIndex;

namespace {

struct Notices : mic::ChangeObserver {
    void ChannelChanged(const mic::ChannelChange& c) override { changes.push_back(c); }
    std::vector<mic::ChannelChange> changes;  // read on the main loop
};

constexpr int kRack = 1;
constexpr int kChannel = 3;
const px5r::ChannelState kPanel{.setting = 0x48, .assignment = 0x7F, .directSwitch = 1};

// Two racks on line with the automatic restore (the usual studio setting); rack 1 leaves the
// line, its front panel switches channel 3 to 45 dB with phantom and its direct out on, and it
// comes back. Returns once the read-back has settled.
void ChangeBehindTheControllersBack(LineRig& rig, Notices& notices) {
    ASSERT_TRUE(rig.Start());
    rig.loop.Run([&] { rig.mic->AddObserver(&notices); });
    auto synced = [&](int rack) {
        return rig.OnLine(rack) && rig.mic->Engine().RingEmpty() &&
               rig.mic->RackSyncState(rack) == mic::RackSync::InSync;
    };
    ASSERT_TRUE(rig.Eventually([&] { return synced(0) && synced(1); }));
    ASSERT_TRUE(rig.Same(0) && rig.Same(1)) << rig.Difference(0) << rig.Difference(1);

    rig.sim.SetPresent(kRack, false);
    ASSERT_TRUE(rig.Eventually([&] { return !rig.OnLine(kRack); }));
    EXPECT_EQ(rig.loop.Run([&] { return rig.mic->RackSyncState(kRack); }), mic::RackSync::Unknown);
    rig.sim.FrontPanel(kRack, kChannel, kPanel);
    rig.loop.Run([&] { notices.changes.clear(); });
    rig.sim.SetPresent(kRack, true);
    ASSERT_TRUE(rig.Eventually(
        [&] { return synced(kRack) && notices.changes.size() >= 3 && !rig.mic->Busy(); }));
}

mic::MicSettings Checking(mic::RackMend mend) {
    mic::MicSettings s = LineRig::Settings();
    s.autoRestore = true;
    s.verifyRacks = true;
    s.rackMend = mend;
    return s;
}

std::vector<mic::ChannelField> Fields(const std::vector<mic::ChannelChange>& changes) {
    std::vector<mic::ChannelField> out;
    for (const auto& c : changes) {
        EXPECT_EQ(c.rack, kRack);
        EXPECT_EQ(c.channel, kChannel);
        EXPECT_EQ(c.origin.source, mic::ChangeSource::FrontPanel);
        out.push_back(c.field);
    }
    std::sort(out.begin(), out.end());
    return out;
}

const std::vector<mic::ChannelField> kChangedFields = {
    mic::ChannelField::Gain, mic::ChannelField::Phantom, mic::ChannelField::DirectOut};

TEST(RackReadBack, ARackChangedWhileOffTheLineIsFoundAndTheControllerAdoptsItsValues) {
    LineRig rig({.racks = 2}, Checking(mic::RackMend::Adopt));
    Notices notices;
    ChangeBehindTheControllersBack(rig, notices);
    rig.loop.Run([&] {
        EXPECT_EQ(rig.mic->RackDifferencesFound(kRack), 3);
        EXPECT_EQ(Fields(notices.changes), kChangedFields);
        for (const auto& c : notices.changes)
            EXPECT_FALSE(c.refused);
        const int i = ChannelIndex(kRack, kChannel);
        EXPECT_EQ(rig.mic->State().setting[i] & 0x7F, 0x48u);
        EXPECT_EQ(rig.mic->State().directSwitch[i], 1u);
    });
    // The rack keeps what its front panel set.
    EXPECT_EQ(rig.sim.Rack(kRack).channels[kChannel], kPanel);
    EXPECT_TRUE(rig.Same(kRack)) << rig.Difference(kRack);
}

TEST(RackReadBack, ARackChangedWhileOffTheLineIsFoundMarkedAndGivenTheControllersValuesAgain) {
    LineRig rig({.racks = 2}, Checking(mic::RackMend::Resend));
    Notices notices;
    ChangeBehindTheControllersBack(rig, notices);
    rig.loop.Run([&] {
        EXPECT_EQ(Fields(notices.changes), kChangedFields);
        for (const auto& c : notices.changes) {
            EXPECT_TRUE(c.refused);
            EXPECT_EQ(c.reason, mic::refusal::kRackDiffered);
        }
        const auto& marks = rig.view.syncMarks;
        const auto differs =
            std::find(marks.begin(), marks.end(), std::make_pair(kRack, mic::RackSync::Differs));
        ASSERT_NE(differs, marks.end());
        EXPECT_EQ(marks.back(), std::make_pair(kRack, mic::RackSync::InSync));
        const int i = ChannelIndex(kRack, kChannel);
        EXPECT_EQ(rig.mic->State().setting[i] & 0x7F, 0x03u);
        EXPECT_EQ(rig.mic->State().directSwitch[i], 0u);
    });
    // The rack holds the controller's values again.
    const px5r::ChannelState rack = rig.sim.Rack(kRack).channels[kChannel];
    EXPECT_EQ(rack.setting, 0x03);
    EXPECT_EQ(rack.directSwitch, 0);
    EXPECT_TRUE(rig.Same(kRack)) << rig.Difference(kRack);
}

}  // namespace

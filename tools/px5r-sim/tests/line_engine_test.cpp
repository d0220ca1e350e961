// The controller's core with the real serial port against simulated racks on a pty.
#include <gtest/gtest.h>

#include <random>

#include "LineRig.h"
#include "mic/core/PresetFile.h"

using namespace line_test;
using mic::ChannelIndex;

namespace {

bool AllSame(LineRig& rig, int racks) {
    for (int r = 0; r < racks; ++r) {
        if (!rig.Same(r)) {
            return false;
        }
    }
    return true;
}

// Displays `rack` and waits until the data request that this queues has been answered (or given
// up), as an operator looks at a rack before touching it.
void ShowRack(LineRig& rig, int rack) {
    rig.loop.Run([&] { rig.mic->SelectRack(rack); });
    ASSERT_TRUE(rig.Eventually([&] {
        const auto& engine = rig.mic->Engine();
        return engine.RingEmpty() && engine.ExpectedCommand() != mic::kCmdDataRequest;
    }));
}

std::string AllDifferences(LineRig& rig, int racks) {
    std::string all;
    for (int r = 0; r < racks; ++r)
        all += rig.Difference(r);
    return all;
}

}  // namespace

TEST(ControllerOnSimulatedLine, BringsRacksOnLineAndFollowsTheOperatorAndTheFrontPanel) {
    LineRig rig({.racks = 3});
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1) && rig.OnLine(2); }));
    EXPECT_FALSE(rig.loop.Run([&] { return rig.OnLine(3); }));
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 3); })) << AllDifferences(rig, 3);

    const int shown = rig.loop.Run([&] { return rig.mic->DisplayedRack(); });
    rig.loop.Run([&] {
        rig.mic->ClickPhantom(3);
        rig.mic->SelectGain(5, 7);  // 55 dB
        rig.mic->ClickDirect(0);
        rig.mic->ClickPad(11);
    });
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 3); })) << AllDifferences(rig, 3);
    px5r::RackState seen = rig.sim.Rack(shown);
    EXPECT_EQ(seen.channels[3].setting, 0x43);
    EXPECT_EQ(seen.channels[5].setting, 10);
    EXPECT_EQ(seen.channels[0].directSwitch, 1);
    EXPECT_EQ(seen.channels[11].setting, 0x13);

    // Another rack, displayed and changed.
    const int other = (shown + 1) % 3;
    ShowRack(rig, other);
    rig.loop.Run([&] { rig.mic->ClickPhase(2); });
    ASSERT_TRUE(rig.Eventually([&] { return rig.sim.Rack(other).channels[2].setting == 0x23; }));

    // A change made on the displayed rack's front panel reaches the controller.
    rig.sim.FrontPanel(other, 7,
                       {.setting = 0x4D, .assignment = 0x7F, .directSwitch = 1, .status = 2});
    ASSERT_TRUE(rig.Eventually([&] {
        int i = ChannelIndex(other, 7);
        const auto& st = rig.mic->State();
        return st.setting[i] == 0x4D && st.directSwitch[i] == 1 && st.status[i] == 2;
    }));
    EXPECT_TRUE(rig.Eventually([&] { return AllSame(rig, 3); })) << AllDifferences(rig, 3);
    EXPECT_EQ(rig.Boxes(), 0u);
}

TEST(ControllerOnSimulatedLine, TakesALostRackOffLineAndRediscoversIt) {
    LineRig rig({.racks = 2});
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1); }));
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 2); }));

    rig.sim.SetPresent(1, false);
    ASSERT_TRUE(rig.Eventually([&] { return !rig.OnLine(1); }));
    EXPECT_TRUE(rig.loop.Run([&] { return rig.OnLine(0); })) << "the other rack stays";

    // The rack was power-cycled meanwhile and comes back with factory settings; the
    // controller finds it again and gives it back its channels.
    ShowRack(rig, 0);
    rig.loop.Run([&] { rig.mic->ClickPhantom(1); });
    px5r::RackState fresh = rig.sim.Rack(1);
    for (auto& ch : fresh.channels)
        ch = px5r::ChannelState{.setting = 0x0D};
    fresh.present = true;
    rig.sim.SetRack(1, fresh);
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(1); }));
    EXPECT_TRUE(rig.Eventually([&] { return AllSame(rig, 2); })) << AllDifferences(rig, 2);
}

TEST(ControllerOnSimulatedLine, RestoresTheSnapshotIntoRacksAsTheyComeOnLine) {
    mic::MicSettings settings = LineRig::Settings();
    settings.autoRestore = true;
    LineRig rig({.racks = 2}, settings);
    mic::PreampState saved;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < mic::kChannelsPerRack; ++c) {
            saved.setting[ChannelIndex(r, c)] =
                static_cast<uint32_t>(3 + (r * 5 + c) % 11) | (c % 2 ? mic::kPhantomBit : 0);
            saved.directSwitch[ChannelIndex(r, c)] = c % 3 == 0;
        }
    }
    ASSERT_TRUE(mic::SavePresetFile(rig.SnapshotPath(), saved));
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1); }));
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 2); })) << AllDifferences(rig, 2);
    for (int r = 0; r < 2; ++r) {
        px5r::RackState rs = rig.sim.Rack(r);
        for (int c = 0; c < mic::kChannelsPerRack; ++c) {
            EXPECT_EQ(rs.channels[c].setting, saved.setting[ChannelIndex(r, c)]) << r << "/" << c;
            EXPECT_EQ(rs.channels[c].directSwitch, saved.directSwitch[ChannelIndex(r, c)]);
        }
    }
}

TEST(ControllerOnSimulatedLine, LosesNothingThroughDroppedAnswersNoiseAndBadChecksums) {
    LineRig rig({.racks = 4, .seed = 7});
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually(
        [&] { return rig.OnLine(0) && rig.OnLine(1) && rig.OnLine(2) && rig.OnLine(3); }));
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 4); }));

    rig.sim.SetDropRate(0.05);
    rig.sim.SetNoiseRate(0.05);
    rig.sim.CorruptChecksums(-1, 3);
    std::mt19937 rng(11);
    int refused = 0;
    for (int i = 0; i < 150; ++i) {
        const int rack = static_cast<int>(rng() % 4);
        const int channel = static_cast<int>(rng() % 12);
        const int what = static_cast<int>(rng() % 5);
        const int gain = static_cast<int>(rng() % 11);
        refused += rig.loop.Run([&] {
            mic::Redraw r;
            if (rig.mic->DisplayedRack() != rack) {
                rig.mic->SelectRack(rack);
            }
            switch (what) {
                case 0:
                    r = rig.mic->ClickPhantom(channel);
                    break;
                case 1:
                    r = rig.mic->ClickPhase(channel);
                    break;
                case 2:
                    r = rig.mic->ClickPad(channel);
                    break;
                case 3:
                    r = rig.mic->ClickDirect(channel);
                    break;
                default:
                    r = rig.mic->SelectGain(channel, gain);
                    break;
            }
            return r.refused ? 1 : 0;
        });
        if (i % 10 == 0) {
            rig.sim.InjectNoise(3);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 15));
    }
    rig.sim.SetDropRate(0);
    rig.sim.SetNoiseRate(0);
    // Racks that dropped out under the faults come back; then everything must agree.
    ASSERT_TRUE(rig.Eventually(
        [&] { return rig.OnLine(0) && rig.OnLine(1) && rig.OnLine(2) && rig.OnLine(3); }));
    EXPECT_TRUE(rig.Eventually([&] { return rig.mic->Engine().RingEmpty() && AllSame(rig, 4); }))
        << AllDifferences(rig, 4);
    EXPECT_GT(rig.sim.Stats().answersDropped, 0u);
    EXPECT_LT(refused, 150);
}

// Selecting a rack queues a data request ahead of the operator's next change; the rack's answer
// predates the change and must not undo it in the controller while its frame still waits.
TEST(ControllerOnSimulatedLine, KeepsAChangeMadeRightAfterSelectingARack) {
    LineRig rig({.racks = 2});
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1); }));
    ASSERT_TRUE(rig.Eventually([&] { return AllSame(rig, 2); }));
    for (int i = 0; i < 10; ++i) {
        rig.loop.Run([&] {
            rig.mic->SelectRack(i % 2);
            rig.mic->ClickPhantom(i % 12);
        });
    }
    EXPECT_TRUE(
        rig.Eventually([&] { return rig.mic->Engine().RingEmpty() && AllSame(rig, 2); }, 20s))
        << AllDifferences(rig, 2);
}

TEST(ControllerOnSimulatedLine, ReportsAVanishedLineOnceAndWorksAgainAfterTheOperatorReopensIt) {
    LineRig rig({.racks = 2});
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1); }));

    rig.sim.Stop();  // the adapter is pulled out
    ASSERT_TRUE(rig.Eventually([&] { return !rig.OnLine(0) && !rig.OnLine(1); }));
    ASSERT_TRUE(rig.Eventually([&] { return rig.Boxes() >= 1; }));
    std::this_thread::sleep_for(300ms);  // the engine keeps polling into the void meanwhile
    EXPECT_EQ(rig.Boxes(), 1u);

    ASSERT_TRUE(rig.sim.Start());                       // plugged in again (a new device path)
    rig.loop.Run([&] { rig.mic->SetupAction(0, 4); });  // the operator picks COM1 again
    EXPECT_TRUE(rig.Eventually([&] { return rig.OnLine(0) && rig.OnLine(1); }));
    EXPECT_TRUE(rig.Eventually([&] { return AllSame(rig, 2); })) << AllDifferences(rig, 2);
    EXPECT_EQ(rig.loop.Run([&] { return rig.view.portErrors; }), 0);
}

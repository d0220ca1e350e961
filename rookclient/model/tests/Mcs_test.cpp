#include <gtest/gtest.h>
#include <platform/registry.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "TempRegistry.h"
#include "rookclient/model/McsCommands.h"
#include "rookclient/model/McsImage.h"
#include "rookclient/model/McsPreference.h"

using namespace rookclient::model;
using platform::registry::testing::TempRegistry;

namespace {

MCSMachineInfoStruct Machine(uint8_t id, uint8_t tracks = 24, uint8_t flags = 0x83) {
    MCSMachineInfoStruct m;
    const std::string name = "VTR " + std::to_string(id);
    std::copy(name.begin(), name.end(), m.name.begin());
    m.id = id;
    m.protocol = 1;
    m.port = 2;
    m.state = 3;
    m.process = 4;
    m.tracks = tracks;
    m.trackFlags = flags;
    return m;
}

McsImage WithMachines(std::vector<MCSMachineInfoStruct> machines) {
    McsImage image;
    image.SetMachines(std::move(machines));
    return image;
}

std::vector<uint8_t> Bytes(const CommsBlock& b) {
    return {b.Bytes().begin(), b.Bytes().end()};
}

class WithPreference : public ::testing::Test {
  protected:
    TempRegistry temp;
};

}  // namespace

TEST(McsCommands, SetDeviceOffsetPacksTheTimeAsBcdWithTheSignInTheHours) {
    const CommsBlock b = mcs::SetDeviceOffset(7, 1, 23, 45, 12, true);
    BlockReader r(b.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 162u);
    EXPECT_EQ(r.Size(), 848u);
    EXPECT_EQ(r.U32(20), 42u);
    EXPECT_EQ(r.U8(44), 7);
    EXPECT_EQ(r.U8(768), 0x81);
    EXPECT_EQ(r.U8(769), 0x23);
    EXPECT_EQ(r.U8(770), 0x45);
    EXPECT_EQ(r.U8(771), 0x12);

    const CommsBlock tape = mcs::SetSelectedTapeCode(7, 99, 123, -4, 29);
    BlockReader t(tape.Bytes());
    EXPECT_EQ(t.U32(20), 43u);
    EXPECT_EQ(t.U8(768), 0x79);  // hours held below the sign bit
    EXPECT_EQ(t.U8(769), 0x99);
    EXPECT_EQ(t.U8(770), 0x00);
    EXPECT_EQ(t.U8(771), 0x29);
}

TEST(McsCommands, EachSubCommandHasItsCodeSizeAndFields) {
    struct Case {
        CommsBlock block;
        uint32_t sub;
        size_t size;
    };
    const Case cases[] = {
        {mcs::FForwardMCS(), 2, 716},
        {mcs::RewindMCS(), 3, 716},
        {mcs::PlayMCS(), 5, 716},
        {mcs::StopMCS(), 6, 716},
        {mcs::RecordMCS(), 16, 716},
        {mcs::LocateMCS(1000), 20, 716},
        {mcs::CycleMCS(1, 2), 21, 716},
        {mcs::RollbackMCS(), 22, 716},
        {mcs::OpenLocate(), 27, 716},
        {mcs::ExitCycleOrLocate(), 27, 716},
        {mcs::OpenCycle(), 28, 716},
        {mcs::SetCurrentMachine(3), 36, 716},
        {mcs::ChangeGroupMember(2, 3, true), 39, 716},
        {mcs::ClearGroup(2), 40, 716},
        {mcs::SetCurrentGroup(2), 41, 716},
        {mcs::SetMaster(2, 3), 50, 716},
        {mcs::ReloadGroups(), 51, 716},
        {mcs::SetSynchroRef(4), 53, 716},
        {mcs::SetMCSFeetAndFrames(1, 2, 3, 4, 5, 6), 54, 716},
        {mcs::SetMCSLocalZero(1, 2, 3, 4, 5), 55, 716},
    };
    for (const Case& c : cases) {
        BlockReader r(c.block.Bytes());
        ASSERT_TRUE(r.Valid());
        EXPECT_EQ(r.Command(), 162u);
        EXPECT_EQ(r.U32(20), c.sub);
        EXPECT_EQ(r.Size(), c.size);
    }
    EXPECT_EQ(BlockReader(mcs::LocateMCS(1000).Bytes()).I32(24), 1000);
    const CommsBlock cycle = mcs::CycleMCS(11, 22);
    EXPECT_EQ(BlockReader(cycle.Bytes()).I32(28), 11);
    EXPECT_EQ(BlockReader(cycle.Bytes()).I32(24), 22);
    EXPECT_EQ(BlockReader(mcs::OpenLocate().Bytes()).U32(16), 1u);
    EXPECT_EQ(BlockReader(mcs::ExitCycleOrLocate().Bytes()).U32(16), 0u);
    EXPECT_EQ(BlockReader(mcs::OpenCycle().Bytes()).U32(16), 1u);
    const CommsBlock member = mcs::ChangeGroupMember(2, 3, false);
    BlockReader m(member.Bytes());
    EXPECT_EQ(m.U8(45), 2);
    EXPECT_EQ(m.U8(44), 3);
    EXPECT_EQ(m.U32(36), 0u);
    EXPECT_EQ(BlockReader(mcs::SetSynchroRef(4).Bytes()).U8(140), 4);
    const CommsBlock feet = mcs::SetMCSFeetAndFrames(1, 2, 3, 4, 5, 6);
    const auto f = BlockReader(feet.Bytes()).Bytes(195, 6);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.end()), (std::vector<uint8_t>{3, 4, 5, 6, 1, 2}));
    const CommsBlock zero = mcs::SetMCSLocalZero(1, 2, 3, 4, 5);
    const auto z = BlockReader(zero.Bytes()).Bytes(201, 5);
    EXPECT_EQ(std::vector<uint8_t>(z.begin(), z.end()), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    const CommsBlock attach = mcs::MCSAttach();
    EXPECT_EQ(attach.Command(), 161u);
    EXPECT_EQ(attach.Size(), 16u);
}

TEST(McsCommands, TheDebugSwitchIsAMachineBlockOfItsOwnCodeWithOnlyItsSubCommandSet) {
    for (const bool on : {true, false}) {
        const CommsBlock block = mcs::SetMCSDebug(on);
        BlockReader r(block.Bytes());
        ASSERT_TRUE(r.Valid());
        EXPECT_EQ(r.Command(), 297u);
        EXPECT_EQ(r.Size(), 716u);
        EXPECT_EQ(r.U32(20), on ? 56u : 57u);
        for (size_t at = 12; at < r.Size(); ++at) {
            if (at < 20 || at >= 24) {
                ASSERT_EQ(r.U8(at), 0) << "byte " << at;
            }
        }
    }
}

TEST(McsGroups, AssignFillsTheFirstEmptySlotAndLeavesAFullGroupAlone) {
    McsImage image;
    for (uint8_t id = 1; id <= 8; ++id) {
        const auto b = image.AssignMachineToGroup(id, 8);  // group 8 is accepted
        ASSERT_TRUE(b.has_value());
        BlockReader r(b->Bytes());
        EXPECT_EQ(r.U32(20), 39u);
        EXPECT_EQ(r.U8(45), 8);
        EXPECT_EQ(r.U8(44), id);
        EXPECT_EQ(r.U32(36), 1u);
    }
    McsImage::GroupSlots slots{};
    image.GetGroupMembers(8, slots);
    EXPECT_EQ(slots, (McsImage::GroupSlots{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(image.AssignMachineToGroup(9, 8).has_value());  // a ninth machine
    image.GetGroupMembers(8, slots);
    EXPECT_EQ(slots[7], 8);
    EXPECT_FALSE(image.AssignMachineToGroup(1, 9).has_value());
    EXPECT_FALSE(image.AssignMachineToGroup(1, -1).has_value());

    // A member behind an empty slot is not listed a second time.
    std::array<McsImage::GroupSlots, McsImage::kGroups> table;
    for (auto& g : table) {
        g.fill(255);
    }
    table[0] = {1, 255, 5, 255, 255, 255, 255, 255};
    image.SetGroupTable(table);
    EXPECT_FALSE(image.AssignMachineToGroup(5, 0).has_value());
    image.GetGroupMembers(0, slots);
    EXPECT_EQ(slots[1], 255);
}

TEST(McsGroups, DeAssignClosesTheGapAndAlwaysTellsTheServer) {
    McsImage image;
    for (uint8_t id : {1, 2, 3}) {
        image.AssignMachineToGroup(id, 0);
    }
    const auto b = image.DeAssignMachineFromGroup(2, 0);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(BlockReader(b->Bytes()).U32(36), 0u);
    McsImage::GroupSlots slots{};
    image.GetGroupMembers(0, slots);
    EXPECT_EQ(slots, (McsImage::GroupSlots{1, 3, 255, 255, 255, 255, 255, 255}));
    EXPECT_TRUE(image.DeAssignMachineFromGroup(9, 0).has_value());  // not a member
    image.GetGroupMembers(0, slots);
    EXPECT_EQ(slots[1], 3);
    EXPECT_FALSE(image.DeAssignMachineFromGroup(1, 9).has_value());
    image.GetGroupMembers(9, slots);
    EXPECT_EQ(slots, (McsImage::GroupSlots{255, 255, 255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(image.GetGroupRefMaster(0), 1);
    EXPECT_EQ(image.GetGroupRefMaster(9), 0);
}

TEST(McsGroups, SetMasterSwapsWithAMemberAndDropsTheOldMasterForAnOutsider) {
    McsImage image;
    for (uint8_t id : {1, 2, 3}) {
        image.AssignMachineToGroup(id, 4);
        image.AssignMachineToGroup(id, 8);
    }
    const auto b = image.SetMaster(4, 3);
    ASSERT_TRUE(b.has_value());
    BlockReader r(b->Bytes());
    EXPECT_EQ(r.U32(20), 50u);
    EXPECT_EQ(r.U8(45), 4);
    EXPECT_EQ(r.U8(44), 3);
    McsImage::GroupSlots slots{};
    image.GetGroupMembers(4, slots);
    EXPECT_EQ(slots[0], 3);
    EXPECT_EQ(slots[1], 2);
    EXPECT_EQ(slots[2], 1);

    ASSERT_TRUE(image.SetMaster(4, 7).has_value());  // not in the group
    image.GetGroupMembers(4, slots);
    EXPECT_EQ(slots, (McsImage::GroupSlots{7, 2, 1, 255, 255, 255, 255, 255}));

    EXPECT_FALSE(image.SetMaster(8, 3).has_value());  // group 8 has no master command
    EXPECT_EQ(image.GetGroupRefMaster(8), 1);
}

TEST(McsTracks, SpecialTracksComeLastAndOrdinaryTracksUseTheBitmap) {
    MCSMachineInfoStruct m = Machine(1, 24, 0x83);  // special tracks 0 and 1, ordinary bitmap
    m.trackReady[0] = 0x02;                         // special track 1
    m.trackReady[1] = 0x20;                         // ordinary track 5
    m.trackRecording[3] = 0x01;                     // ordinary track 16
    m.trackReady[0] |= 0x30;                        // timecode and video armed
    const McsImage image = WithMachines({m});
    EXPECT_FALSE(image.IsTrackReady(1, 22));
    EXPECT_TRUE(image.IsTrackReady(1, 23));
    EXPECT_TRUE(image.IsTrackReady(1, 5));
    EXPECT_FALSE(image.IsTrackReady(1, 4));
    EXPECT_TRUE(image.IsTrackRecording(1, 16));
    EXPECT_FALSE(image.IsTrackReady(1, 16));
    EXPECT_FALSE(image.IsTrackReady(1, 56));  // past the bitmap
    EXPECT_FALSE(image.IsTrackReady(1, -1));
    EXPECT_FALSE(image.IsTrackReady(2, 5));  // no such machine

    // Without the ordinary bitmap only the special tracks can be ready.
    MCSMachineInfoStruct plain = m;
    plain.trackFlags = 0x05;  // special tracks 0 and 2: tracks 22 and 23
    plain.trackReady[0] = 0x04;
    const McsImage other = WithMachines({plain});
    EXPECT_FALSE(other.IsTrackReady(1, 5));
    EXPECT_FALSE(other.IsTrackReady(1, 22));
    EXPECT_TRUE(other.IsTrackReady(1, 23));
    EXPECT_FALSE(other.IsTrackReady(1, 24));
}

TEST_F(WithPreference, TimecodeAndVideoTracksAreReadyOnlyWhenTheUserAllowsIt) {
    MCSMachineInfoStruct m = Machine(1);
    m.trackReady[0] = 0x30;
    const McsImage image = WithMachines({m});
    EXPECT_FALSE(CanRecordToTCAndVideoTracks());
    EXPECT_FALSE(image.IsTrackReady(1, 254));
    EXPECT_FALSE(image.IsTrackReady(1, 255));
    ASSERT_TRUE(EnableRecordToTCAndVideoTracks(true));
    EXPECT_TRUE(CanRecordToTCAndVideoTracks());
    EXPECT_TRUE(image.IsTrackReady(1, 254));
    EXPECT_TRUE(image.IsTrackReady(1, 255));
    ASSERT_TRUE(EnableRecordToTCAndVideoTracks(false));
    EXPECT_FALSE(image.IsTrackReady(1, 254));

    // A value of another type is not the preference.
    namespace reg = platform::registry;
    reg::Key key;
    ASSERT_EQ(reg::Key::root(reg::Hive::CurrentUser)
                  .create("Software\\KESTANE\\Kestane Vantor\\MCS", key),
              reg::Status::Ok);
    ASSERT_EQ(reg::setString(key, "Allow record to Video and timecode Tracks", "1"),
              reg::Status::Ok);
    EXPECT_FALSE(CanRecordToTCAndVideoTracks());
}

TEST_F(WithPreference, ArmingTracksSetsTheBitmapAndSendsIt) {
    McsImage image = WithMachines({Machine(1, 24, 0x83)});
    bool tracks[24] = {};
    tracks[5] = tracks[22] = true;
    const auto b = image.SetTracksReady(1, true, false, tracks);
    ASSERT_TRUE(b.has_value());
    BlockReader r(b->Bytes());
    EXPECT_EQ(r.U32(20), 45u);
    EXPECT_EQ(r.Size(), 848u);
    EXPECT_EQ(r.U8(778), 0x11);  // timecode and special track 0 (track 22)
    EXPECT_EQ(r.U8(779), 0x20);  // track 5
    EXPECT_TRUE(image.IsTrackReady(1, 22));
    EXPECT_FALSE(image.IsTrackReady(1, 23));

    // A short list arms nothing past its end.
    const bool few[2] = {true, true};
    ASSERT_TRUE(image.SetTracksReady(1, false, false, few).has_value());
    EXPECT_TRUE(image.IsTrackReady(1, 1));
    EXPECT_FALSE(image.IsTrackReady(1, 5));
    EXPECT_FALSE(image.IsTrackReady(1, 22));

    ASSERT_TRUE(EnableRecordToTCAndVideoTracks(true));
    MCSMachineInfoStruct big = Machine(2, 200, 0xA3);  // video track, ordinary bitmap
    big.trackReady[0] = 0x40;
    image.SetMachines({big});
    const auto all = image.SetAllTracksReady(2);
    ASSERT_TRUE(all.has_value());
    BlockReader a(all->Bytes());
    EXPECT_EQ(a.U8(778), 0x60);  // video only: the machine has no timecode track
    for (size_t i = 779; i < 786; ++i) {
        EXPECT_EQ(a.U8(i), 0xFF) << i;  // 200 tracks fill the bitmap, and no further
    }
    EXPECT_EQ(a.U8(786), 0);

    const auto safe = image.SetAllTracksSafe(2);
    ASSERT_TRUE(safe.has_value());
    BlockReader s(safe->Bytes());
    EXPECT_EQ(s.U8(778), 0x40);
    EXPECT_EQ(s.U8(779), 0);
    EXPECT_EQ(s.U8(785), 0);

    image.SetMachines({Machine(3, 3, 0x00)});
    ASSERT_TRUE(image.SetAllTracksReady(3).has_value());
    MCSMachineInfoStruct small;
    image.GetMachineInfo(3, small);
    EXPECT_EQ(small.trackReady[0], 0x07);  // a small machine's tracks sit in byte 0
    EXPECT_FALSE(image.SetAllTracksReady(9).has_value());
}

TEST(McsMachines, EditsOfAnUnknownMachineSendNothing) {
    McsImage image = WithMachines({Machine(1), Machine(4)});
    EXPECT_FALSE(image.SetMachineParams(2).has_value());
    EXPECT_FALSE(image.SetTrackReadyModes(2).has_value());
    EXPECT_FALSE(image.SetRecordMode(2, 4).has_value());
    EXPECT_FALSE(image.SetMachineAlias(2, "x").has_value());
    EXPECT_FALSE(image.SetServoParam(2, 0, 1).has_value());
    EXPECT_FALSE(image.SetServoParam(1, 16, 1).has_value());
    EXPECT_FALSE(image.SetGeneralParam(1, 32, 1).has_value());
    EXPECT_FALSE(image.SetGeneralParam(1, -1, 1).has_value());

    const auto servo = image.SetServoParam(4, 15, 0xAB);
    ASSERT_TRUE(servo.has_value());
    BlockReader s(servo->Bytes());
    EXPECT_EQ(s.U32(20), 44u);
    EXPECT_EQ(s.U8(44), 4);
    EXPECT_EQ(s.U8(827 + 15), 0xAB);
    const auto general = image.SetGeneralParam(4, 31, 0xCD);
    ASSERT_TRUE(general.has_value());
    BlockReader g(general->Bytes());
    EXPECT_EQ(g.U8(795 + 31), 0xCD);
    EXPECT_EQ(g.U8(827 + 15), 0xAB);  // the earlier servo change travels too

    const auto mode = image.SetRecordMode(4, 7);
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ(BlockReader(mode->Bytes()).U8(794), 7);
    EXPECT_EQ(image.GetRecordMode(4), 7);
    const std::vector<CommsBlock> all = image.PutAllMachinesInRehearse(0);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(BlockReader(all[1].Bytes()).U8(44), 4);
    EXPECT_EQ(BlockReader(all[1].Bytes()).U8(794), 1);
    image.PutAllMachinesInRehearse(1);
    EXPECT_EQ(image.GetRecordMode(1), 4);

    const auto alias = image.SetMachineAlias(1, std::string(40, 'a'));
    ASSERT_TRUE(alias.has_value());
    BlockReader a(alias->Bytes());
    EXPECT_EQ(a.U32(20), 47u);
    EXPECT_EQ(a.Text(737, 31), std::string(20, 'a'));
    EXPECT_EQ(image.GetMachineAlias(1), std::string(20, 'a'));
}

TEST(McsImage, DecodesThePushedImageAndGivesNeutralAnswersForUnknownMachines) {
    McsImage sent = WithMachines({Machine(3), Machine(9)});
    MCSMachineInfoStruct noTerminator = Machine(12);
    noTerminator.name.fill('N');  // a name of the full width
    noTerminator.protocol = 40;   // past the protocol table
    sent.SetMachines({Machine(3), Machine(9), noTerminator});
    sent.SetCurrentGroupState(2, 5, 6, 7);
    sent.SetGroupLock(1, 0);
    sent.AssignMachineToGroup(9, 2);
    const std::vector<uint8_t> pushed = Bytes(sent.Encode());

    McsImage image;
    ASSERT_TRUE(image.Decode(pushed));
    EXPECT_EQ(image.GetNumMachines(), 3);
    EXPECT_EQ(image.GetCurrentGroup(), 2);
    EXPECT_EQ(image.GetCurrentGroupState(), 5);
    EXPECT_EQ(image.GetCurrentGroupProcess(), 6);
    EXPECT_EQ(image.GetCurrentGroupCycleMode(), 7);
    EXPECT_EQ(image.GetGroupLockedReference(), "VITC");
    EXPECT_TRUE(image.GetGroupLockedStatus());
    EXPECT_EQ(image.GetGroupRefMaster(2), 9);
    EXPECT_EQ(image.GetMachineIndexFromID(9), 1);
    EXPECT_EQ(image.GetMachineIDFromIndex(0), 3);
    EXPECT_EQ(image.GetMachineName(9), "VTR 9");
    EXPECT_EQ(image.GetMachineName(12), std::string(21, 'N'));
    EXPECT_EQ(image.GetMachineProtocol(9), " Sony 9 Pin Master");
    EXPECT_EQ(image.GetMachineProtocol(12), "");
    EXPECT_EQ(image.GetMachinePort(3), 2);
    EXPECT_EQ(image.GetMachineState(3), 3);
    EXPECT_EQ(image.GetMachineProcess(3), 4);

    EXPECT_EQ(image.GetMachineIndexFromID(4), 255);
    EXPECT_EQ(image.GetMachineIDFromIndex(3), 255);
    EXPECT_EQ(image.GetMachineIDFromIndex(-1), 255);
    EXPECT_EQ(image.GetMachineName(4), "");
    EXPECT_EQ(image.GetMachineProtocol(4), "");
    EXPECT_EQ(image.GetMachinePort(4), 255);
    EXPECT_EQ(image.GetMachineProcess(4), 255);
    EXPECT_EQ(image.GetRecordMode(4), 0);
    MCSMachineInfoStruct info = Machine(1);
    EXPECT_FALSE(image.GetMachineInfo(4, info));
    EXPECT_EQ(info.id, 0);
    EXPECT_EQ(info.tracks, 0);

    sent.SetGroupLock(9, 1);
    ASSERT_TRUE(image.Decode(Bytes(sent.Encode())));
    EXPECT_EQ(image.GetGroupLockedReference(), "Unknown");
    EXPECT_FALSE(image.GetGroupLockedStatus());

    // Short, misstated, or with more machines than arrived: ignored.
    std::vector<uint8_t> bytes = pushed;
    bytes[96] = 4;
    EXPECT_FALSE(image.Decode(bytes));
    EXPECT_FALSE(image.Decode(std::span(pushed).first(99)));
    bytes = pushed;
    bytes[8] = 1;
    EXPECT_FALSE(image.Decode(bytes));
    EXPECT_EQ(image.GetGroupLockedReference(), "Unknown");
    EXPECT_EQ(image.GetNumMachines(), 3);
}

TEST(McsMachineInfo, NamesProtocolsAndParameterRanges) {
    static_assert(offsetof(MCSMachineInfoStruct, protocol) == 42);
    static_assert(offsetof(MCSMachineInfoStruct, tracks) == 60);
    static_assert(offsetof(MCSMachineInfoStruct, trackReady) == 62);
    static_assert(offsetof(MCSMachineInfoStruct, trackRecording) == 70);
    static_assert(offsetof(MCSMachineInfoStruct, recordMode) == 78);
    static_assert(offsetof(MCSMachineInfoStruct, generalParams) == 79);
    static_assert(offsetof(MCSMachineInfoStruct, servoParams) == 111);
    EXPECT_EQ(McsProtocolName(15), "Adams Smith");
    EXPECT_EQ(McsProtocolName(16), "");
    EXPECT_EQ(GetServoParamRange(5), (ParamRange{0, 2}));
    EXPECT_EQ(GetServoParamRange(4), (ParamRange{0, 255}));
    EXPECT_EQ(GetGeneralParamRange(4), (ParamRange{0, 1}));
    EXPECT_EQ(GetGeneralParamRange(6), (ParamRange{0, 1}));
    EXPECT_EQ(GetGeneralParamRange(7), (ParamRange{0, 255}));
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rookclient/model/IOConfigCommands.h"
#include "rookclient/model/IOConfigImage.h"

using namespace rookclient::model;

namespace {

constexpr int kInput = 1;
constexpr int kOutput = 0;

StructIOSearch Port(int32_t word2, int32_t index, std::string_view label = "MIC 1 12") {
    StructIOSearch port;
    port.rack = word2;
    port.card = 5;
    port.port = index;
    port.SetLabel(label);
    return port;
}

IOConfigImage At(int32_t rate, int inputUnits, int32_t frameRateCode = 0) {
    IOConfigImage image;
    IOConfigSystem system;
    system.sampleRate = rate;
    system.frameRateCode = frameRateCode;
    image.SetSystem(system);
    image.SetInputDelayUnits(inputUnits);
    return image;
}

std::vector<uint8_t> Bytes(const CommsBlock& b) {
    return {b.Bytes().begin(), b.Bytes().end()};
}

}  // namespace

TEST(IOConfigDelays, ConvertBetweenSamplesAndTheUsersUnits) {
    EXPECT_EQ(At(48000, kDelayMilliseconds).ConvertDelayFromSamples(4800, kInput), 100);
    EXPECT_EQ(At(96000, kDelaySamples).ConvertDelayFromSamples(4800, kInput), 9600);
    EXPECT_EQ(At(48000, kDelayMilliseconds).ConvertDelayFromUnits(100, kInput), 4800);
    EXPECT_EQ(At(48000, kDelayDistance).ConvertDelayFromUnits(1, kInput), 145);
    EXPECT_EQ(At(96000, kDelaySamples).ConvertDelayFromUnits(9600, kInput), 4800);
    // One second in tenths of a frame: 24, 29.97 (truncated) and 25 frames per second.
    EXPECT_EQ(At(48000, kDelayTenthsOfFrame, 2).ConvertDelayFromSamples(48000, kInput), 240);
    EXPECT_EQ(At(48000, kDelayTenthsOfFrame, 3).ConvertDelayFromSamples(48000, kInput), 299);
    EXPECT_EQ(At(48000, kDelayTenthsOfFrame, 9).ConvertDelayFromSamples(48000, kInput), 250);
    EXPECT_EQ(At(48000, kDelayTenthsOfFrame, 2).ConvertDelayFromUnits(240, kInput), 48000);
    // The output side has units of its own.
    EXPECT_EQ(At(48000, kDelayMilliseconds).ConvertDelayFromSamples(4800, kOutput), 4800);
    // No image yet: the rate is taken as 48 kHz instead of dividing by zero.
    EXPECT_EQ(At(0, kDelayMilliseconds).ConvertDelayFromSamples(4800, kInput), 100);
    EXPECT_EQ(At(0, kDelayMilliseconds).ConvertDelayFromUnits(100, kInput), 4800);
    // Far out of range: clamped, not undefined.
    EXPECT_EQ(At(48000, kDelayMilliseconds).ConvertDelayFromUnits(INT32_MAX, kInput), INT32_MAX);
}

TEST(IOConfigDelays, ReadAndSetInTheSidesUnits) {
    IOConfigImage image = At(48000, kDelayMilliseconds);
    const StructIOSearch port = Port(0, 2);
    int delay = -1;
    EXPECT_FALSE(image.GetDelay(port, delay, kInput));
    EXPECT_EQ(delay, -1);  // untouched
    image.SetDelay(port, 100, kInput);
    PortRecord record;
    ASSERT_TRUE(image.GetAll(port, record, kInput));
    EXPECT_EQ(record.delay, 4800);
    EXPECT_TRUE(image.GetDelay(port, delay, kInput));
    EXPECT_EQ(delay, 100);
    image.SetOutputDelayUnits(kDelaySamples);
    image.SetDelay(port, -5, kOutput);
    EXPECT_TRUE(image.GetDelay(port, delay, kOutput));
    EXPECT_EQ(delay, 0);  // a negative delay reads as none
}

TEST(IOConfigDelays, BudgetsCountTheOtherPortsOfTheCardStereoTwice) {
    IOConfigImage image = At(48000, kDelaySamples);
    IOConfigSystem system = image.System();
    system.quadMadis = 2;
    image.SetSystem(system);
    const StructIOSearch asked = Port(1, 0);
    image.SetDelay(asked, 500, kInput);         // the port itself: not counted for it
    image.SetDelay(Port(2, 2), 1000, kInput);   // same card (word 2 / 4 = 0)
    image.SetStereo(Port(2, 2), 1, kInput);     // stereo: counted twice
    image.SetDelay(Port(3, 5), -5, kInput);     // negative: counts nothing
    image.SetDelay(Port(4, 0), 7000, kInput);   // card 1
    image.SetDelay(Port(0, 9), 9000, kOutput);  // other side
    // The partner Port(2, 3) that SetStereo marked has no delay of its own.
    EXPECT_EQ(image.GetMaxDelay(asked, kInput), 130564 - 2000);
    EXPECT_EQ(image.GetMaxDelay(0, kInput), 130564 - 2000 - 500);
    EXPECT_EQ(image.GetMaxDelay(1, kInput), 130564 - 7000);
    EXPECT_EQ(image.GetMaxDelay(kInput), (130564 - 2500) + (130564 - 7000));
    EXPECT_EQ(image.GetMaxDelay(kOutput), 130564 - 9000 + 130564);

    system.extendedDelay = {1, 0, 0};
    system.delayShift = 1;
    image.SetSystem(system);
    EXPECT_EQ(image.GetMaxDelay(2, kOutput), 130564 / 2);
    image.Clear();
    EXPECT_EQ(image.GetMaxDelay(0, kInput), 261890);
    image.SetInputDelayUnits(kDelayMilliseconds);
    EXPECT_EQ(image.GetMaxDelay(0, kInput), 5456);  // 261890 samples at 48 kHz
    // A card past the quad MADI cards has no extended memory and never indexes past them.
    EXPECT_EQ(image.GetMaxDelay(Port(40, 0), kOutput), 130564 / 2);
}

TEST(IOConfigUserNames, AnUnconfiguredPortShowsItsDefaultLabel) {
    const IOConfigImage image;
    const StructIOSearch port = Port(0, 2, "AES 1 17");
    std::string name, name2, text, full;
    EXPECT_FALSE(image.GetSplitUserName(port, name, name2, text, 1, kInput));
    EXPECT_EQ(name, "AES 1");
    EXPECT_EQ(name2, "");
    EXPECT_EQ(text, "17");
    image.GetFullUserName(port, full, 0, kInput);
    EXPECT_EQ(full, "AES 1 17");
}

TEST(IOConfigUserNames, AConfiguredPairShowsItsSides) {
    IOConfigImage image;
    const StructIOSearch left = Port(0, 4, "MIC 3 30");
    const StructIOSearch right = Port(0, 5, "MIC 3 31");
    for (const auto& port : {left, right}) {
        image.SetName(port, "Vox", kInput);
        image.SetNumber(port, 7, kInput);
    }
    std::string name, name2, text;
    image.GetSplitUserName(left, name, name2, text, 0, kInput);
    EXPECT_EQ(name, "Vox");
    EXPECT_EQ(text, "7 A");
    image.GetSplitUserName(left, name, name2, text, 1, kInput);
    EXPECT_EQ(text, "7 AB");
    image.GetSplitUserName(right, name, name2, text, 0, kInput);
    EXPECT_EQ(text, "7 B");
    image.GetSplitUserName(right, name, name2, text, 1, kInput);
    EXPECT_EQ(text, "7 BA");

    image.SetNumber(right, 8, kInput);
    image.GetSplitUserName(left, name, name2, text, 1, kInput);
    EXPECT_EQ(text, "7 8");
    image.GetSplitUserName(right, name, name2, text, 0, kInput);
    EXPECT_EQ(text, "8");

    // A second name replaces the number in the full name.
    std::string full;
    image.SetName2(left, "Lead", kInput);
    EXPECT_TRUE(image.GetFullUserName(left, full, 1, kInput));
    EXPECT_EQ(full, "VoxLead");
    EXPECT_TRUE(image.GetFullUserName(right, full, 0, kInput));
    EXPECT_EQ(full, "Vox 8");
}

TEST(IOConfigUserNames, EmptyNamesAndNumbersComeFromTheLabel) {
    IOConfigImage image;
    const StructIOSearch port = Port(0, 6, "DA  2 42");
    image.SetDither(port, 1, kOutput);  // a record with no name and no number
    std::string name, name2, text;
    EXPECT_TRUE(image.GetSplitUserName(port, name, name2, text, 0, kOutput));
    EXPECT_EQ(name, "DA2");
    EXPECT_EQ(text, "42 A");
    // Nothing on the input side.
    EXPECT_FALSE(image.GetSplitUserName(port, name, name2, text, 0, kInput));
    EXPECT_EQ(name, "DA  2");
}

TEST(IOConfigUserNames, TheRightSideOfAStereoPairTakesTheLeftSidesNames) {
    IOConfigImage image;
    const StructIOSearch left = Port(0, 10, "ADC 1 11");
    const StructIOSearch right = Port(0, 11, "ADC 1 12");
    image.SetName(left, "Gtr", kInput);
    image.SetNumber(left, 3, kInput);
    std::string name, name2, text;
    EXPECT_FALSE(image.GetSplitUserName(right, name, name2, text, 0, kInput));  // not stereo
    EXPECT_EQ(name, "ADC 1");
    image.SetStereo(left, 1, kInput);  // marks both; the right side now has a record
    image.Clear(right, kInput);
    EXPECT_TRUE(image.GetSplitUserName(right, name, name2, text, 0, kInput));
    EXPECT_EQ(name, "Gtr");
    EXPECT_EQ(text, "3 B");
    image.GetSplitUserName(right, name, name2, text, 1, kInput);
    EXPECT_EQ(text, "3 BA");
}

TEST(IOConfigPorts, AccessorsReportMissingPortsAndLeaveTheOutputAlone) {
    IOConfigImage image;
    const StructIOSearch port = Port(1, 3);
    std::string text = "before";
    int value = 99;
    EXPECT_FALSE(image.GetName(port, text, kInput));
    EXPECT_FALSE(image.GetNumber(port, value, kInput));
    EXPECT_FALSE(image.GetSRCMode(port, value, kInput));
    EXPECT_EQ(text, "before");
    EXPECT_EQ(value, 99);
    image.SetNumber(port, 4, kInput);
    EXPECT_FALSE(image.GetName(port, text, kInput));  // present but empty
    EXPECT_TRUE(image.GetNumber(port, value, kInput));
    EXPECT_EQ(value, 4);
    image.SetSRCState(port, 2, kOutput);
    EXPECT_TRUE(image.GetSRCState(port, value, kOutput));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(image.GetSRCMode(port, value, kOutput));
    EXPECT_EQ(value, 0);
    image.ClearSRC(port, kOutput);
    EXPECT_FALSE(image.GetSRCState(port, value, kOutput));

    image.SetStereo(Port(1, 3), 1, kInput);
    int stereo = 0;
    EXPECT_TRUE(image.GetStereo(Port(1, 2), stereo, kInput));  // the partner too
    EXPECT_EQ(stereo, 1);

    image.SetRelay(port, 5, kInput);
    EXPECT_FALSE(image.IsRelayInUse(port, 5, kInput));  // only by the port itself
    EXPECT_TRUE(image.IsRelayInUse(port, 5, kOutput));  // the same port on the other side
    EXPECT_TRUE(image.IsRelayInUse(Port(2, 0), 5, kInput));
    EXPECT_FALSE(image.IsRelayInUse(Port(2, 0), 6, kInput));
    EXPECT_FALSE(image.IsRelayInUse(Port(2, 0), 0, kInput));
}

TEST(IOConfigGroups, AGroupHoldsFiveMembersOfTheMastersCard) {
    IOConfigImage image;
    const StructIOSearch master = Port(4, 0);
    EXPECT_TRUE(image.AddPortToGroup(master));
    EXPECT_FALSE(image.AddPortToGroup(master));              // already a master
    EXPECT_FALSE(image.AddPortToGroup(master, Port(8, 1)));  // card 2, not card 1
    for (int i = 1; i <= 5; ++i) {
        EXPECT_TRUE(image.AddPortToGroup(master, Port(5, i)));
    }
    EXPECT_FALSE(image.AddPortToGroup(master, Port(7, 9)));      // a sixth member
    EXPECT_FALSE(image.AddPortToGroup(Port(6, 0), Port(5, 1)));  // already in a group
    EXPECT_TRUE(image.IsGroupMaster(Port(6, 0)));                // made master before the refusal
    EXPECT_TRUE(image.IsPortGrouped(Port(5, 3)));
    EXPECT_FALSE(image.IsGroupMaster(Port(5, 3)));

    EXPECT_TRUE(image.RemovePortFromGroup(Port(5, 2)));
    StructGroupedPorts group;
    ASSERT_TRUE(image.GetPortGroup(master, group));
    ASSERT_EQ(group.count, 4);
    EXPECT_EQ(group.members[1], PortKey::Of(Port(5, 3)));  // later members moved up
    EXPECT_EQ(group.members[3], PortKey::Of(Port(5, 5)));
    EXPECT_FALSE(image.IsPortGrouped(Port(5, 2)));
    EXPECT_FALSE(image.RemovePortFromGroup(Port(5, 2)));

    // The last member leaving deletes the group.
    ASSERT_TRUE(image.AddPortToGroup(Port(6, 0), Port(6, 1)));
    EXPECT_TRUE(image.RemovePortFromGroup(Port(6, 1)));
    EXPECT_FALSE(image.IsPortGrouped(Port(6, 0)));

    // Removing the master releases every member, which may then join another group.
    EXPECT_TRUE(image.RemovePortFromGroup(master));
    EXPECT_FALSE(image.IsPortGrouped(Port(5, 1)));
    EXPECT_TRUE(image.AddPortToGroup(Port(5, 1), Port(4, 0)));
    EXPECT_TRUE(image.ClearGroup(Port(5, 1)));
    EXPECT_FALSE(image.IsPortGrouped(Port(4, 0)));
    EXPECT_FALSE(image.ClearGroup(Port(5, 1)));
}

TEST(IOConfigSave, CarriesEveryRecordWithBoundedNames) {
    IOConfigImage image = At(48000, kDelayMilliseconds);
    image.SetOutputDelayUnits(kDelayDistance);
    const StructIOSearch in = Port(1, 2);
    image.SetName(in, "Kick!", kInput);  // five characters: the terminator keeps its byte
    image.SetName2(in, "In", kInput);
    image.SetScribble(in, "Scribble", kInput);
    image.SetNumber(in, 12, kInput);
    image.SetDither(in, 3, kInput);
    image.SetRelay(in, 4, kInput);
    image.SetDelay(in, 10, kInput);
    image.SetNumber(Port(2, 0), 1, kOutput);
    image.SetSRCMode(Port(3, 0), 6, kInput);
    image.SetSRCState(Port(3, 0), 1, kInput);
    image.AddPortToGroup(in, Port(1, 3));

    const CommsBlock block = io::Save(image, std::string(400, 'n'), 9);
    BlockReader r(block.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 85u);
    ASSERT_EQ(r.Size(), 300u + 48 * 3);
    EXPECT_EQ(r.Text(16, 400), std::string(155, 'n'));  // ends before the counts
    EXPECT_EQ(r.U32(172), 1u);
    EXPECT_EQ(r.U32(176), 1u);
    EXPECT_EQ(r.U32(180), 1u);
    EXPECT_EQ(r.U32(184), 0u);
    EXPECT_EQ(r.U32(188), 0u);  // a plain save sends no groups
    EXPECT_EQ(r.I32(192), kDelayMilliseconds);
    EXPECT_EQ(r.I32(196), kDelayDistance);
    EXPECT_EQ(r.I32(288), 9);
    const size_t p = 300;
    EXPECT_EQ(r.I32(p), 1);      // key word 2
    EXPECT_EQ(r.I32(p + 4), 5);  // key word 3
    EXPECT_EQ(r.I32(p + 8), 2);  // key word 4
    EXPECT_EQ(r.I32(p + 12), 480);
    EXPECT_EQ(r.I32(p + 16), 3);
    EXPECT_EQ(r.I32(p + 20), 12);
    EXPECT_EQ(r.I32(p + 24), 4);
    EXPECT_EQ(r.Text(p + 32, 5), "Kick");
    EXPECT_EQ(r.U8(p + 36), 0);
    EXPECT_EQ(r.Text(p + 37, 5), "In");
    EXPECT_EQ(r.Text(p + 42, 6), "Scrib");
    EXPECT_EQ(r.U8(p + 47), 0);
    EXPECT_EQ(r.I32(p + 48 + 20), 1);  // the output port
    const size_t s = p + 96;           // the input SRC record
    EXPECT_EQ(r.I32(s), 3);
    EXPECT_EQ(r.I32(s + 12), 6);
    EXPECT_EQ(r.I32(s + 20), 1);
    EXPECT_EQ(r.I32(s + 16), 0);

    image.SetCurrentName("Stage");
    const CommsBlock grouped = io::SaveGroupedPorts(image);
    BlockReader g(grouped.Bytes());
    ASSERT_EQ(g.Size(), 300u + 48 * 3 + 80);
    EXPECT_EQ(g.Text(16, 156), "Stage");
    EXPECT_EQ(g.U32(188), 1u);
    const size_t group = 300 + 48 * 3;
    EXPECT_EQ(g.I32(group), 1);
    EXPECT_EQ(g.I32(group + 8), 2);
    EXPECT_EQ(g.I32(group + 12), 1);
    EXPECT_EQ(g.I32(group + 16 + 8), 3);  // the member's index
}

TEST(IOConfigImage, DecodesThePushedImageAndIgnoresABadOne) {
    IOConfigImage sent = At(96000, kDelayTenthsOfFrame, 2);
    IOConfigSystem system = sent.System();
    system.quadMadis = 3;
    system.remoteRelayCards = {1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1};
    sent.SetSystem(system);
    sent.SetCurrentName("Now");
    sent.SetDefaultName("Dflt");
    sent.SetCurrentOnDeskName("Desk");
    sent.SetName(Port(0, 0), "A", kInput);
    sent.SetName(Port(0, 1), "B", kOutput);
    sent.SetSRCMode(Port(1, 1), 2, kOutput);
    sent.AddPortToGroup(Port(0, 0), Port(1, 0));
    const std::vector<uint8_t> pushed = Bytes(sent.Encode());

    IOConfigImage got;
    ASSERT_TRUE(got.Decode(pushed));
    EXPECT_EQ(got.System(), sent.System());
    EXPECT_EQ(got.GetRemoteRelays(), 32);
    EXPECT_EQ(got.GetRemoteOptos(), 32);
    EXPECT_EQ(got.GetCurrent(), "Now");
    EXPECT_EQ(got.GetDefault(), "Dflt");
    EXPECT_EQ(got.GetCurrentOnDesk(), "Desk");
    EXPECT_EQ(got.GetInputDelayUnits(), kDelayTenthsOfFrame);
    EXPECT_EQ(got.Ports(kInput), sent.Ports(kInput));
    EXPECT_EQ(got.Ports(kOutput), sent.Ports(kOutput));
    EXPECT_EQ(got.Srcs(kOutput), sent.Srcs(kOutput));
    EXPECT_EQ(got.Groups(), sent.Groups());
    EXPECT_TRUE(got.IsPortGrouped(Port(1, 0)));

    const auto rejected = [&](std::vector<uint8_t> bytes) {
        IOConfigImage image = At(44100, kDelaySamples);
        const bool taken = image.Decode(bytes);
        return !taken && image.System().sampleRate == 44100 && image.Ports(kInput).empty();
    };
    EXPECT_TRUE(rejected(std::vector<uint8_t>(pushed.begin(), pushed.end() - 1)));
    std::vector<uint8_t> bytes = pushed;
    bytes[700] = 2;  // one input port more than the block holds
    EXPECT_TRUE(rejected(bytes));
    bytes = pushed;
    bytes[680] = 4;  // four quad MADI cards
    EXPECT_TRUE(rejected(bytes));
    bytes = pushed;
    bytes[688] = 32;  // a shift past the width of the budget
    EXPECT_TRUE(rejected(bytes));
    bytes = pushed;
    bytes[pushed.size() - 80 + 12] = 6;  // a group of six members
    EXPECT_TRUE(rejected(bytes));
    bytes = pushed;
    bytes[pushed.size() - 80 + 16 + 0] = 0;  // the member is its own master
    EXPECT_TRUE(rejected(bytes));
}

TEST(IOConfigCommands, ConfigurationBlocksPlaceNameArgumentsAndWindow) {
    const CommsBlock current = io::SetCurrent(std::string(300, 'c'), 1, 2, 3, 77);
    BlockReader r(current.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 84u);
    EXPECT_EQ(r.Size(), 300u);
    EXPECT_EQ(r.U32(4), 77u);
    EXPECT_EQ(r.Text(16, 300), std::string(199, 'c'));
    EXPECT_EQ(r.I32(216), 2);
    EXPECT_EQ(r.I32(288), 1);
    EXPECT_EQ(r.I32(292), 3);
    const CommsBlock loadBlock = io::LoadInMemory("Show", 5);
    BlockReader load(loadBlock.Bytes());
    EXPECT_EQ(load.U32(4), 65535u);
    EXPECT_EQ(load.I32(292), 5);
    EXPECT_EQ(load.I32(288), 0);
    const CommsBlock attachBlock = io::IOConfigAttach("Show");
    BlockReader attach(attachBlock.Bytes());
    EXPECT_EQ(attach.Command(), 83u);
    EXPECT_EQ(attach.Text(16, 200), "Show");
    IOConfigImage image;
    EXPECT_EQ(BlockReader(io::SetDefault(image, "D").Bytes()).Command(), 86u);
    EXPECT_EQ(image.GetDefault(), "D");
    EXPECT_EQ(BlockReader(io::LoadInMemory(image, "Mem", 1).Bytes()).U32(4), 65535u);
    EXPECT_EQ(image.GetCurrent(), "Mem");
    EXPECT_EQ(BlockReader(io::OfflineIOConfigAttach("D").Bytes()).Command(), 317u);
    const CommsBlock interrogate = io::InterrogateIOConfig("Old");
    EXPECT_EQ(interrogate.Command(), 318u);
    EXPECT_EQ(interrogate.Size(), 300u);
    EXPECT_EQ(BlockReader(interrogate.Bytes()).Text(16, 200), "Old");
    const CommsBlock af = io::SetAFConfig();
    EXPECT_EQ(af.Command(), 299u);
    EXPECT_EQ(af.Size(), 40u);
}

TEST(IOConfigCommands, QuickSetDelayStoresAndSendsTheDelayInSamples) {
    IOConfigImage image = At(48000, kDelayMilliseconds);
    StructIOSearch port = Port(9, 3);
    port.card = 11;
    const CommsBlock b = io::QuickSetDelay(image, port, 100, kInput);
    BlockReader r(b.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 107u);
    EXPECT_EQ(r.Size(), 40u);
    EXPECT_EQ(r.I32(16), 9);
    EXPECT_EQ(r.I32(20), 11);
    EXPECT_EQ(r.I32(24), 3);
    EXPECT_EQ(r.I32(28), kDelayMilliseconds);
    EXPECT_EQ(r.I32(32), 4800);
    EXPECT_EQ(r.I32(36), kInput);
    int delay = 0;
    EXPECT_TRUE(image.GetDelay(port, delay, kInput));
    EXPECT_EQ(delay, 100);
}

TEST(IOConfigCommands, SetRelaysSendsEachRecordAndNothingForNone) {
    EXPECT_FALSE(io::SetRelays({}).has_value());
    std::vector<StructRelayPort> relays(2);
    relays[0].port = Port(1, 2, "REL 1 1");
    relays[0].relay = 3;
    relays[1].port = Port(4, 5);
    relays[1].relay = 8;
    const auto b = io::SetRelays(relays);
    ASSERT_TRUE(b.has_value());
    BlockReader r(b->Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 238u);
    EXPECT_EQ(r.Size(), 20u + 2 * 56);
    EXPECT_EQ(r.U32(16), 2u);
    EXPECT_EQ(r.I32(20 + 8), 1);
    EXPECT_EQ(r.I32(20 + 16), 2);
    EXPECT_EQ(r.Text(20 + 20, 32), "REL 1 1");
    EXPECT_EQ(r.I32(20 + 52), 3);
    EXPECT_EQ(r.I32(76 + 8), 4);
    EXPECT_EQ(r.I32(76 + 52), 8);
}

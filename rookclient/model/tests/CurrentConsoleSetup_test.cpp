#include <console/ConsoleSettings.h>
#include <console/GenericRegistryObject.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempRegistry.h"
#include "rookclient/model/CurrentConsoleSetupCommands.h"
#include "rookclient/model/CurrentConsoleSetupImage.h"
#include "rookclient/model/PathNaming.h"

using namespace rookclient::model;
using platform::registry::testing::TempRegistry;

namespace {

// Channels 48, groups 8, mains 2, tracks 24, nothing else.
CurrentConsoleSetupImage SmallConsole() {
    CurrentConsoleSetupImage image;
    std::vector<int> totals(kPathTypeCount, 0);
    totals[kChannels] = 48;
    totals[kGroups] = 8;
    totals[kMains] = 2;
    totals[kTracks] = 24;
    image.SetPathMap(totals);
    std::vector<std::string> names;
    for (int i = 0; i < 82; ++i) {
        names.push_back("P" + std::to_string(i));
    }
    image.SetPathNames(names);
    image.SetMixSetup("Film mix");
    image.SetDynamicsLinks({{74, 75, 76}, {3, 4}});
    return image;
}

std::vector<uint8_t> Bytes(const CommsBlock& b) {
    return {b.Bytes().begin(), b.Bytes().end()};
}

class ConsoleTypeInRegistry : public ::testing::Test {
  protected:
    ConsoleTypeInRegistry() { ResetConsoleSettingsForTests(); }
    ~ConsoleTypeInRegistry() override { ResetConsoleSettingsForTests(); }
    void SetConsoleType(uint32_t type) {
        ASSERT_TRUE(
            registry.WriteNumber("Software\\Kestane Vantor\\Main", "VantorConsoleType", type));
    }
    TempRegistry temp;
    CLocalMachineRegistryObject registry;
};

}  // namespace

TEST(CurrentConsoleSetupImage, NumbersPathsInTheConsoleOrderNotTheTypeOrder) {
    const CurrentConsoleSetupImage image = SmallConsole();
    EXPECT_EQ(image.GetOffset(kChannels), 0);
    EXPECT_EQ(image.GetOffset(kTracks), 48);
    EXPECT_EQ(image.GetOffset(kGroups), 72);
    EXPECT_EQ(image.GetOffset(kMains), 80);
    EXPECT_EQ(image.GetOffset(kPredubMasters), 82);
    EXPECT_EQ(image.GetTotalPaths(), 82);
    EXPECT_EQ(image.GetPathType(0), kChannels);
    EXPECT_EQ(image.GetPathType(47), kChannels);
    EXPECT_EQ(image.GetPathType(48), kTracks);
    EXPECT_EQ(image.GetPathType(75), kGroups);
    EXPECT_EQ(image.GetPathType(81), kMains);
    EXPECT_EQ(image.GetPathType(82), -1);
    EXPECT_EQ(image.GetPathType(-1), -1);
    EXPECT_EQ(image.GetTypeTotal(13), 0);
    EXPECT_EQ(image.GetTypeTotal(-1), 0);

    std::string name;
    image.GetDefaultName(75, name);
    EXPECT_EQ(name, "GRP4");
    image.GetDefaultName(80, name);
    EXPECT_EQ(name, "MAIN");
    image.GetDefaultName(82, name);
    EXPECT_EQ(name, "");

    std::vector<std::string> names{"stale"};
    std::vector<int> paths{99};
    image.GetNamesOfType(kMains, names, paths);
    EXPECT_EQ(names, (std::vector<std::string>{"P80", "P81"}));
    EXPECT_EQ(paths, (std::vector<int>{80, 81}));
    EXPECT_EQ(image.GetPathName(82), "????");  // equal to the size of the names
    EXPECT_EQ(image.GetPathName(-1), "????");
}

TEST(DefaultPathName, FollowsTheLongAndShortFormatsOfEachType) {
    EXPECT_EQ(DefaultPathName(kChannels, 7, 3), "  7");
    EXPECT_EQ(DefaultPathName(kChannels, 12, 3), " 12");
    EXPECT_EQ(DefaultPathName(kChannels, 100, 3), " 100");
    EXPECT_EQ(DefaultPathName(kMains, 1, 3), "MAIN");
    EXPECT_EQ(DefaultPathName(kMains, 2, 3), "MAI2");
    EXPECT_EQ(DefaultPathName(kMains, 12, 3), "MA12");
    EXPECT_EQ(DefaultPathName(kTalkbacks, 1, 3), "TBK ");
    EXPECT_EQ(DefaultPathName(kTalkbacks, 17, 3), "TBK ");
    EXPECT_EQ(DefaultPathName(kAuxes, 3, 3), "AU 3");
    EXPECT_EQ(DefaultPathName(kPredubMasters, 9, 3), "PD9");
    EXPECT_EQ(DefaultPathName(kPredubMasters, 10, 3), "PM10");
    EXPECT_EQ(DefaultPathName(kGroups, 1, 3), "GRP1");
    EXPECT_EQ(DefaultPathName(13, 1, 3), "");
    EXPECT_EQ(PathTypeName(kFilmListens), "Film Listens");
    EXPECT_EQ(PathTypeName(13), "");
}

TEST(DefaultPathName, OnTheLiveConsoleGroupOneIsTheMainMixAndTheRestCountFromOne) {
    EXPECT_EQ(DefaultPathName(kGroups, 1, kLiveConsoleType), "MM");
    EXPECT_EQ(DefaultPathName(kGroups, 2, kLiveConsoleType), "GRP1");
    EXPECT_EQ(DefaultPathName(kGroups, 10, kLiveConsoleType), "GR9");
    EXPECT_EQ(DefaultPathName(kGroups, 11, kLiveConsoleType), "GR10");
    EXPECT_EQ(DefaultPathName(kMains, 1, kLiveConsoleType), "MAIN");
}

TEST_F(ConsoleTypeInRegistry, GroupNamesFollowTheConsoleTypeOfTheSettings) {
    SetConsoleType(kLiveConsoleType);
    const CurrentConsoleSetupImage image = SmallConsole();
    EXPECT_EQ(image.GetDefaultName(kGroups, 1), "MM");
    std::string name;
    image.GetDefaultName(75, name);
    EXPECT_EQ(name, "GRP3");
}

TEST(CurrentConsoleSetupImage, DynamicsLinksGivePositionsWithinTheAskedType) {
    const CurrentConsoleSetupImage image = SmallConsole();
    std::vector<int> paths{42};
    EXPECT_EQ(image.GetDynamicsLink(kGroups, 0, paths), 3);
    EXPECT_EQ(paths, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(image.GetDynamicsLink(kChannels, 0, paths), 0);  // first path is a group
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(image.GetDynamicsLink(kChannels, 1, paths), 2);
    EXPECT_EQ(paths, (std::vector<int>{3, 4}));
    EXPECT_EQ(image.GetDynamicsLink(kChannels, 2, paths), 0);  // no such link
    EXPECT_EQ(image.GetDynamicsLink(kChannels, -1, paths), 0);
}

TEST(CurrentConsoleSetupImage, DecodesWhatTheServerPushesAndIgnoresABadBlock) {
    const std::vector<uint8_t> pushed = Bytes(SmallConsole().Encode());
    CurrentConsoleSetupImage image;
    ASSERT_TRUE(image.Decode(pushed));
    EXPECT_EQ(image.GetMixSetup(), "Film mix");
    EXPECT_EQ(image.GetOffset(kMains), 80);
    EXPECT_EQ(image.GetPathName(81), "P81");
    std::vector<int> paths;
    EXPECT_EQ(image.GetDynamicsLink(kGroups, 0, paths), 3);

    // Cut short, misstated, or with counts that do not fit: ignored, nothing changes.
    CurrentConsoleSetupImage other;
    other.SetMixSetup("kept");
    EXPECT_FALSE(other.Decode(std::span(pushed).first(pushed.size() - 1)));
    std::vector<uint8_t> misstated = pushed;
    misstated.push_back(0);
    EXPECT_FALSE(other.Decode(misstated));
    std::vector<uint8_t> tooManyNames = pushed;
    tooManyNames[272] = 83;  // one name more than the block holds
    EXPECT_FALSE(other.Decode(tooManyNames));
    std::vector<uint8_t> negativeTotal = pushed;
    negativeTotal[223] = 0x80;
    EXPECT_FALSE(other.Decode(negativeTotal));
    std::vector<uint8_t> longLink = pushed;
    longLink[pushed.size() - 4 * 3] = 200;  // second link's count runs past the block
    EXPECT_FALSE(other.Decode(longLink));
    EXPECT_EQ(other.GetMixSetup(), "kept");
    EXPECT_EQ(other.GetTotalPaths(), 0);
}

TEST(CurrentConsoleSetupCommands, LoadPlacesNamesAndArgumentsInTheirSlots) {
    const std::vector<std::string> names = {"Main", "n1", "n2", "n3", "n4", "n5", "n6", "n7", "n8"};
    const CommsBlock b = ccs::LoadConsoleSetup(names, 11, 22, 33, 0x4321);
    BlockReader r(b.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 30u);
    EXPECT_EQ(r.StatedSize(), 109452u);
    EXPECT_EQ(r.U32(4), 0x4321u);
    EXPECT_EQ(r.Text(16, 200), "Main");
    EXPECT_EQ(r.Text(105496, 201), "n1");
    EXPECT_EQ(r.Text(105496 + 6 * 201, 201), "n7");
    EXPECT_EQ(r.U8(105496 + 7 * 201), 0);  // the eighth further name has no slot
    EXPECT_EQ(r.I32(106904), 11);
    EXPECT_EQ(r.I32(105484), 22);
    EXPECT_EQ(r.I32(105488), 1);
    EXPECT_EQ(r.I32(105492), 33);

    // A long further name stops one byte short of the next slot.
    const CommsBlock longOnes =
        ccs::LoadConsoleSetup({std::string(300, 'a'), std::string(300, 'b'), "c"}, 0, 0, 0, 0);
    BlockReader l(longOnes.Bytes());
    EXPECT_EQ(l.Text(16, 300), std::string(200, 'a'));
    EXPECT_EQ(l.Text(105496, 201), std::string(200, 'b'));
    EXPECT_EQ(l.Text(105496 + 201, 201), "c");
}

TEST(CurrentConsoleSetupCommands, APathNameOfAnyLengthStaysInItsField) {
    const CommsBlock b = ccs::SetPathName(75, std::string(200000, 'x'), 9);
    BlockReader r(b.Bytes());
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.Size(), 109452u);
    EXPECT_EQ(r.Command(), 23u);
    EXPECT_EQ(r.U32(4), 9u);
    EXPECT_EQ(r.I32(420), 75);
    EXPECT_EQ(r.Text(2428, 1000), std::string(200, 'x'));
    for (size_t at : {105484u, 105488u, 105492u, 106904u}) {
        EXPECT_EQ(r.U32(at), 0u);
    }
    EXPECT_EQ(BlockReader(ccs::SetPathName(3, "Vox", 0).Bytes()).Text(2428, 201), "Vox");

    const CommsBlock d = ccs::MakeDefault(std::string(250, 'm'));
    BlockReader m(d.Bytes());
    EXPECT_EQ(m.Command(), 60u);
    EXPECT_EQ(m.Text(16, 300), std::string(200, 'm'));
    EXPECT_EQ(BlockReader(ccs::CCSAttach().Bytes()).StatedSize(), 16u);
    EXPECT_EQ(BlockReader(ccs::MakeDefault(SmallConsole()).Bytes()).Text(16, 200), "Film mix");
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rookclient/model/MixSetupImage.h"

using namespace rookclient::model;

namespace {

constexpr uint8_t kMono = 19;

// A setup of 20 channels, 12 groups, 2 mains and 4 pre-dub masters on a film console.
MixSetupImage FilmSetup() {
    MixSetupImage setup(3, 256);
    setup.SetNumChannels(20);
    setup.SetNumGroups(12);
    setup.SetNumMains(2);
    setup.SetNumPreDubDummyMasters(4);
    return setup;
}

std::vector<uint8_t> Copy(const CommsBlock& block) {
    return {block.Bytes().begin(), block.Bytes().end()};
}

}  // namespace

TEST(MixSetupLinks, DynamicsMustMatchInKindAndOrder) {
    MixSetupImage setup = FilmSetup();
    const uint8_t same[] = {kMono, 8, 9};
    const uint8_t swapped[] = {kMono, 9, 8};
    setup.SetProcList(0, same);
    setup.SetProcList(1, same);
    setup.SetProcList(2, swapped);
    EXPECT_TRUE(setup.AddPathToDynamicsLink(0, 0, 0));
    EXPECT_TRUE(setup.AddPathToDynamicsLink(0, 0, 1));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), 0);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(0, 0, 2));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -5);
    EXPECT_EQ(setup.GetDynamicsLink(0), (std::vector<int>{0, 1}));  // the mismatch stayed out
    EXPECT_EQ(MixSetupImage::DynamicsLinkErrorText(-5),
              "The selected path has different dynamics.\nThe dynamics must be the same in all "
              "the linked paths.");

    // The other refusals, each with its own error.
    const uint8_t none[] = {kMono, 4};
    const uint8_t stereo[] = {7, 8, 9};
    const uint8_t unlinkable[] = {kMono, 8, 9, 27};
    setup.SetProcList(5, none);
    setup.SetProcList(6, stereo);
    setup.SetProcList(2, unlinkable);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(1, 0, 5));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -1);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(1, 0, 1));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -2);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(1, 0, 6));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -3);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(0, 0, 2));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -6);
    EXPECT_FALSE(setup.AddPathToDynamicsLink(100, 0, 1));
    EXPECT_EQ(MixSetupImage::DynamicsLinkErrorText(setup.GetLastDynamicsLinkError()),
              "Unknown Error");
    EXPECT_EQ(setup.GetNextDynamicsLinkNumber(), 1);
}

TEST(MixSetupLinks, LinkedPathsMustBeContiguous) {
    MixSetupImage setup = FilmSetup();
    const uint8_t dynamics[] = {kMono, 10};
    for (int p = 10; p <= 13; ++p) {
        setup.SetProcList(p, dynamics);
    }
    EXPECT_TRUE(setup.AddPathToDynamicsLink(0, 0, 10));
    EXPECT_TRUE(setup.AddPathToDynamicsLink(0, 0, 11));
    EXPECT_FALSE(setup.AddPathToDynamicsLink(0, 0, 13));
    EXPECT_EQ(setup.GetLastDynamicsLinkError(), -4);
    EXPECT_TRUE(setup.AddPathToDynamicsLink(0, 0, 12));
    EXPECT_EQ(setup.GetDynamicsLink(0), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(setup.GetLinkedDynamicsIcon(10), 1);
    EXPECT_EQ(setup.GetLinkedDynamicsIcon(11), 2);
    EXPECT_EQ(setup.GetLinkedDynamicsIcon(12), 3);
    EXPECT_EQ(setup.GetLinkedDynamicsIcon(13), 0);
}

TEST(MixSetupLinks, VerifyAllClearsSinglePathLinksAndFailedOnesWhenAsked) {
    MixSetupImage setup = FilmSetup();
    const uint8_t dynamics[] = {kMono, 8};
    for (int p = 0; p < 6; ++p) {
        setup.SetProcList(p, dynamics);
    }
    setup.AddPathToDynamicsLink(0, 0, 0);
    setup.AddPathToDynamicsLink(0, 0, 1);
    setup.AddPathToDynamicsLink(1, 0, 4);  // a single path
    setup.AddPathToDynamicsLink(2, 0, 2);
    setup.AddPathToDynamicsLink(2, 0, 3);
    const uint8_t changed[] = {kMono, 9};
    setup.SetProcList(3, changed);  // link 2 no longer verifies
    EXPECT_FALSE(setup.VerifyDynamicsLinks(0));
    EXPECT_TRUE(setup.GetDynamicsLink(1).empty());   // single: always cleared
    EXPECT_EQ(setup.GetDynamicsLink(2).size(), 2u);  // kept without clear
    EXPECT_FALSE(setup.IsDeskDesignValid());
    EXPECT_FALSE(setup.VerifyDynamicsLinks(1));
    EXPECT_TRUE(setup.GetDynamicsLink(2).empty());
    EXPECT_EQ(setup.GetDynamicsLink(0).size(), 2u);
    EXPECT_TRUE(setup.VerifyDynamicsLinks(1));
    EXPECT_TRUE(setup.IsDeskDesignValid());
}

TEST(MixSetupNames, DefaultNamesBanksAndSubs) {
    MixSetupImage film = FilmSetup();
    EXPECT_EQ(film.GetDefaultName(1, 10), "GR10");
    EXPECT_EQ(film.GetDefaultName(0, 7), "  7");
    EXPECT_EQ(film.GetDefaultName(2, 1), "MAIN");
    EXPECT_EQ(film.GetDefaultName(5, 3), "TBK ");
    EXPECT_EQ(film.GetDefaultName(13, 1), "S 1 ");
    EXPECT_EQ(film.GetDefaultName(13, 12), "S 12");
    EXPECT_EQ(film.GetDefaultName(14, 1), "");
    film.SetNumMixMinusOutputs(2);
    EXPECT_EQ(film.GetDefaultName(1, 2), "MM");
    EXPECT_EQ(film.GetDefaultName(1, 3), "GRP3");

    MixSetupImage live(4, 256);
    EXPECT_EQ(live.GetDefaultName(1, 10), "GRP9");
    EXPECT_EQ(live.GetDefaultName(1, 11), "GR10");

    EXPECT_EQ(film.GetBankName(2), "Bank 3");
    film.SetBankName(2, "Dialogue");
    EXPECT_EQ(film.GetBankName(2), "Dialogue");
    film.SetBankName(2, "");
    EXPECT_EQ(film.GetBankName(2), "Bank 3");
    film.SetBankName(6, "None");
    EXPECT_EQ(film.GetBankName(6), "");

    // New paths take the default names of their place; the subs follow the counted paths.
    EXPECT_EQ(film.GetName(20, false), "GRP1");  // no tracks, so path 20 is group 1
    EXPECT_EQ(film.GetName(20 + 12, true), "MAIN");
    EXPECT_EQ(film.GetOffset(13), 38);
    EXPECT_EQ(film.GetNumSubs(), 256 - 38);
    EXPECT_EQ(film.GetPathType(38), 13);
}

TEST(MixSetupImage, DecodesTheBlockItEncodes) {
    MixSetupImage setup = FilmSetup();
    setup.SetName(3, "Kick", "Kick drum");
    const uint8_t procs[] = {kMono, 8, 9, 3};
    setup.SetProcList(4, procs);
    setup.SetProcList(5, procs);
    setup.AddPathToDynamicsLink(7, 0, 4);
    setup.AddPathToDynamicsLink(7, 0, 5);
    setup.SetPriority(3, 7);
    setup.SetSoloInhibit(3, 1);
    setup.SetDisabled(4, 1);
    setup.SetAutomated(5, 0);
    setup.SetSurroundDesignator(6, 0x1234);
    setup.SetFilmIndex(1, 9);
    setup.SetChannelMapPath(5, 3, 159, 6);
    setup.AddToStem(7, 19);
    setup.AddPathToPreDub(1, 2);
    setup.SetBankName(0, std::string(40, 'b'));
    setup.SetNumMixMinusOutputs(1);
    const CommsBlock sent = setup.Create("Desk A", 0x77);
    EXPECT_EQ(sent.Command(), 56u);
    ASSERT_EQ(sent.Size(), 154560u);
    BlockReader r(sent.Bytes());
    EXPECT_EQ(r.Text(16 + 5 * 3, 5), "Kick");
    EXPECT_EQ(r.U32(103424), 20u);  // channels
    EXPECT_EQ(r.U32(103424 + 4 * 12), 4u);
    EXPECT_EQ(r.U32(118856 + (4 * 11 + 2) * 4), 9u);
    EXPECT_EQ(r.U32(142504 + 4 * 4), 5u);  // the chain: 4 -> 5 -> back to 4
    EXPECT_EQ(r.U32(142504 + 4 * 5), 4u);
    EXPECT_EQ(r.U32(142504 + 4 * 6), 6u);
    EXPECT_EQ(r.I32(144512 + 8 * 4), 2);  // pre-dub 1, first entry
    EXPECT_EQ(r.I32(144512 + 8 * 4 + 4), -1);
    EXPECT_EQ(r.Text(150380, 28), std::string(27, 'b'));
    EXPECT_EQ(r.Text(103217, 207), "Desk A");

    MixSetupImage copy(3, 256);
    EXPECT_FALSE(copy.OnLinkIn(sent.Bytes()));  // no notify window yet
    EXPECT_EQ(Copy(copy.Encode(56, 0x77)), Copy(sent));
    EXPECT_EQ(copy.GetDynamicsLink(0), (std::vector<int>{4, 5}));
    EXPECT_EQ(copy.GetName(3, true), "Kick drum");
    EXPECT_EQ(copy.GetChannelMapPath(5, 3, 159), 6);
    EXPECT_TRUE(copy.IsInStem(7, 19));
    EXPECT_EQ(copy.IsPathInPreDub(2), 1);
    EXPECT_EQ(copy.GetSurroundDesignator(6), 0x1234);

    // Save names the setup in the block and makes the window the notify window.
    const CommsBlock saved = copy.Save("Reel 2", 0x99);
    EXPECT_EQ(saved.Command(), 57u);
    EXPECT_EQ(BlockReader(saved.Bytes()).Text(103016, 201), "Reel 2");
    EXPECT_TRUE(copy.OnLinkIn(saved.Bytes()));
    EXPECT_EQ(copy.GetMixSetupName(), "Reel 2");
}

TEST(MixSetupImage, PushKeepsNamesOfEmptySlotsAndFillsPlaceholders) {
    MixSetupImage setup = FilmSetup();
    setup.SetName(7, "Vox", "Lead vocal");
    CommsBlock pushed = FilmSetup().Encode(22, 0);
    pushed.PutText(16 + 5 * 7, 4, "");  // path 7: no short name
    pushed.PutText(16 + 5 * 8, 4, "????");
    pushed.PutText(2516 + 201 * 8, 200, "stale");
    setup.OnLinkIn(pushed.Bytes());
    EXPECT_EQ(setup.GetName(7, false), "Vox");
    EXPECT_EQ(setup.GetName(7, true), "Lead vocal");
    EXPECT_EQ(setup.GetName(8, false), "  9");
    EXPECT_EQ(setup.GetName(8, true), "  9");

    // A short or misstated block changes nothing.
    std::vector<uint8_t> bytes = Copy(FilmSetup().Encode(22, 0));
    bytes[16 + 5 * 7] = 'X';
    bytes.pop_back();
    EXPECT_FALSE(setup.OnLinkIn(bytes));
    EXPECT_EQ(setup.GetName(7, false), "Vox");
    EXPECT_FALSE(setup.OnLinkIn(std::span(bytes).first(200)));
    EXPECT_EQ(setup.GetNumChannels(), 20);
}

TEST(MixSetupImage, ChainDecodeSurvivesHostileValues) {
    CommsBlock pushed = FilmSetup().Encode(22, 0);
    for (size_t p = 0; p < 500; ++p) {
        pushed.PutU32(142504 + 4 * p, 0xFFFFFFFF);  // every path "points ahead"
    }
    pushed.PutU32(103424, 0xFFFFFFFF);  // a channel count past any limit
    MixSetupImage setup(3, 256);
    setup.OnLinkIn(pushed.Bytes());
    EXPECT_EQ(setup.GetNumChannels(), 256);
    EXPECT_EQ(setup.GetDynamicsLink(0).size(), 256u);  // one open link, kept
    EXPECT_EQ(setup.GetNextDynamicsLinkNumber(), 1);
    // The pre-dub masters counted after those channels lie past the path limit: they cannot
    // be removed or cleared, and asking about them reads nothing.
    EXPECT_EQ(setup.GetNum(12), 4);
    EXPECT_FALSE(setup.RemoveType(12, 0));
    setup.Clear(12, 3);
    EXPECT_EQ(setup.GetPreDubMaster(0), -1);
    EXPECT_EQ(setup.GetName(setup.GetOffset(12), true), "");
}

TEST(MixSetupCounts, ChangingACountMovesEveryHeldPathNumber) {
    MixSetupImage setup = FilmSetup();
    const uint8_t dynamics[] = {kMono, 8};
    setup.SetProcList(25, dynamics);  // groups 6 and 7
    setup.SetProcList(26, dynamics);
    ASSERT_TRUE(setup.AddPathToDynamicsLink(3, 1, 5));
    ASSERT_TRUE(setup.AddPathToDynamicsLink(3, 1, 6));
    setup.SetChannelMapPath(0, 0, 0, 25);
    setup.SetChannelMapPath(0, 0, 1, 19);
    setup.SetName(25, "G6", "Group six");

    ASSERT_TRUE(setup.SetNumChannels(24));  // four channels more: groups move up by four
    EXPECT_EQ(setup.GetDynamicsLink(3), (std::vector<int>{29, 30}));
    EXPECT_EQ(setup.GetChannelMapPath(0, 0, 0), 29);
    EXPECT_EQ(setup.GetName(29, true), "Group six");
    EXPECT_EQ(setup.GetName(20, false), " 21");
    EXPECT_EQ(setup.GetAutomated(21), 1);

    ASSERT_TRUE(setup.RemoveChannels(19));  // channel 20 goes; its slot empties
    EXPECT_EQ(setup.GetChannelMapPath(0, 0, 1), -1);
    EXPECT_EQ(setup.GetDynamicsLink(3), (std::vector<int>{28, 29}));
    EXPECT_EQ(setup.GetNumChannels(), 23);

    EXPECT_FALSE(setup.SetNumTracks(256));  // past the path limit: refused
    EXPECT_EQ(setup.GetNumTracks(), 0);
}

TEST(MixSetupPreDubs, MembersBuildTheirMasterAndZonesGateThem) {
    MixSetupImage setup = FilmSetup();
    const uint8_t comp[] = {kMono, 8, 3};
    const uint8_t drc[] = {kMono, 26};
    setup.SetProcList(0, comp);
    setup.SetProcList(1, drc);
    EXPECT_TRUE(setup.AddPathToPreDub(2, 0));
    EXPECT_FALSE(setup.AddPathToPreDub(3, 0));   // already in pre-dub 2
    EXPECT_FALSE(setup.AddPathToPreDub(2, 20));  // a group cannot be pre-dubbed
    const int master = setup.GetPreDubMaster(2);
    EXPECT_EQ(master, 20 + 12 + 2 + 2);
    EXPECT_EQ(setup.GetDisplayProcList(master), (std::vector<uint8_t>{kMono, 8, 3}));
    EXPECT_TRUE(setup.VerifyPredubDynamics(2));
    EXPECT_TRUE(setup.AddPathToPreDub(2, 1));
    EXPECT_FALSE(setup.VerifyPredubDynamics(2));  // DRC beside other dynamics
    EXPECT_FALSE(setup.CreatePredubMasterProcesses(2));
    EXPECT_EQ(setup.GetDisplayProcList(master), (std::vector<uint8_t>{kMono, 8, 3, 26}));

    EXPECT_TRUE(setup.RemovePathFromPreDub(2, 0));
    EXPECT_EQ(setup.GetDisplayProcList(master), (std::vector<uint8_t>{kMono, 26}));
    const uint8_t gate[] = {kMono, 9};
    setup.SetProcList(5, gate);
    setup.AddPathToPreDub(2, 5);
    setup.PackPreDubs();
    EXPECT_EQ(setup.GetPreDubContents(2), (std::vector<int>{1, 5}));
    EXPECT_EQ(setup.GetListOfPredubs(), (std::vector<int>{2}));

    // A full pre-dub takes no ninth member.
    for (int p = 6; p < 12; ++p) {
        EXPECT_TRUE(setup.AddPathToPreDub(40, p));
    }
    EXPECT_TRUE(setup.AddPathToPreDub(40, 12));
    EXPECT_TRUE(setup.AddPathToPreDub(40, 13));
    EXPECT_FALSE(setup.AddPathToPreDub(40, 14));
    EXPECT_EQ(setup.GetNumberOfPathsInPreDub(40), 8);
    EXPECT_EQ(setup.GetPreDubMaster(40), -1);  // only four masters exist

    // Clearing a member gives it its default processing and rebuilds the master.
    const uint8_t defaults[] = {kMono, 3};
    setup.SetDefaultProcList(0, defaults);
    setup.Clear(0, 1);
    EXPECT_EQ(setup.GetDisplayProcList(master), (std::vector<uint8_t>{kMono, 3, 9}));

    // Removing a member channel rebuilds its master from the members that remain.
    ASSERT_TRUE(setup.RemoveChannels(5));
    EXPECT_EQ(setup.GetPreDubContents(2), (std::vector<int>{1}));
    EXPECT_EQ(setup.GetDisplayProcList(setup.GetPreDubMaster(2)), (std::vector<uint8_t>{kMono, 3}));

    MixSetupImage music(2, 256);
    music.SetNumChannels(4);
    EXPECT_FALSE(music.IsInPreDubZone(0));
    EXPECT_FALSE(music.AddPathToPreDub(0, 1));
    music.SetPreDubZones(255, 0, 255);
    EXPECT_TRUE(music.AddPathToPreDub(16, 1));
    EXPECT_FALSE(music.AddPathToPreDub(32, 2));
}

TEST(MixSetupRequests, GetAndProcessListBlocks) {
    const CommsBlock get = MixSetupImage::Get(std::string(300, 'g'), -9);
    ASSERT_EQ(get.Size(), 109452u);
    EXPECT_EQ(get.Command(), 22u);
    EXPECT_EQ(BlockReader(get.Bytes()).Text(16, 300), std::string(200, 'g'));
    EXPECT_EQ(BlockReader(get.Bytes()).I32(106912), -9);
    EXPECT_EQ(MixSetupImage::LoadProcessList("p", 2).Command(), 75u);
}

TEST(MixSetupMap, ChannelMapLookups) {
    MixSetupImage setup = FilmSetup();
    setup.SetChannelMapBankPaths(2, 1, std::vector<int>{4, 5, 6});
    setup.SetChannelMapPath(4, 0, 10, 5);
    int bank = 0, part = 0, slot = 0;
    ASSERT_TRUE(setup.FindPathInChannelMap(5, bank, part, slot));
    EXPECT_EQ(bank * 10000 + part * 1000 + slot, 21001);
    EXPECT_TRUE(setup.FindPathInDifferentBankPart(5, 2, 1));
    EXPECT_FALSE(setup.FindPathInDifferentBankPart(4, 2, 1));
    EXPECT_EQ(setup.GetChannelMapPathName(2, 1, 2), "  7");
    setup.ClearChannelMapPath(5);
    EXPECT_FALSE(setup.FindPathInChannelMap(5, bank, part, slot));
    setup.SetChannelMapPath(6, 0, 0, 1);  // no bank 6
    setup.SetChannelMapPath(0, 0, 0, 9999);
    EXPECT_EQ(setup.GetChannelMapPath(0, 0, 0), -1);
    EXPECT_EQ(setup.GetTimeslotsUsed(), 0);
}

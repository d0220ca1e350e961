#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rookclient/model/IORoutingImage.h"
#include "rookclient/model/NexusRoutingMap.h"

using namespace rookclient::model;

namespace {

// A pushed routing image: two racks of rack type 3, whose slots 0-4 hold 2, 2, 1, 4, 1 pairs
// (the same on every side) starting at pairs 0, 2, 4, 5, 9.
class RoutingBlock {
  public:
    RoutingBlock() : block_(67, IORoutingImage::kBlockSize) {
        block_.PutU32(16, 2);
        const uint32_t first[5] = {0, 2, 4, 5, 9};
        const uint32_t count[5] = {2, 2, 1, 4, 1};
        for (size_t slot = 0; slot < 5; ++slot) {
            const size_t at = 29436 + (3 * 5 + slot) * 20;
            block_.PutU32(at, first[slot]);
            block_.PutU32(at + 4, count[slot]);
            block_.PutU32(at + 8, count[slot]);
        }
        block_.PutU8(29376, 3);
        block_.PutU8(29377, 3);
        block_.PutU32(29388 + 4, 16);
    }
    void Present(int rack, int side, int pair) {
        block_.PutU8(28032 + (rack * 3 + side) * 28 + pair, 1);
    }
    void Path(int path, bool stereo, uint32_t type, std::string_view name) {
        const size_t at = 31036 + 20 * static_cast<size_t>(path);
        block_.PutU8(at, stereo ? 1 : 0);
        block_.PutU32(at + 8, type);
        block_.PutText(at + 12, 8, name);
    }
    void Paths(uint32_t n) { block_.PutU32(20, n); }
    void Route(int path, int group, int entry, RouteEntry e) {
        const uint8_t bytes[4] = {e.rack, e.card, e.port, e.routed};
        block_.PutBytes(28 + ((static_cast<size_t>(path) * 7 + group) * 2 + entry) * 4, bytes);
    }
    void CardType(int rack, int pair, uint8_t type) {
        block_.PutU8(29040 + rack * 28 + pair, type);
    }
    CommsBlock& Block() { return block_; }
    std::span<const uint8_t> Bytes() const { return block_.Bytes(); }

  private:
    CommsBlock block_;
};

StructIOSearch Search(int path, int side, int rack, int card, int port) {
    StructIOSearch s;
    s.path = path;
    s.side = side;
    s.rack = rack;
    s.card = card;
    s.port = port;
    return s;
}

}  // namespace

TEST(IORoutingNames, PortNamesFollowSlotSideAndStereo) {
    RoutingBlock b;
    b.Paths(4);
    b.Path(0, false, 0, "Ch1");
    b.Path(1, true, 0, "Ch2");
    b.Path(2, false, 5, "Tbk");
    IORoutingImage image;
    ASSERT_TRUE(image.OnLinkIn(b.Bytes()));
    EXPECT_EQ(image.GetName(0, 1, 1, 1, 3), "2 AES 2 B");
    EXPECT_EQ(image.GetName(1, 1, 1, 1, 3), "2 AES 2 BA");
    EXPECT_EQ(image.GetName(1, 1, 1, 1, 2), "2 AES 2 AB");
    EXPECT_EQ(image.GetName(1, 0, 0, 3, 4), "1 sdf 5 6");
    EXPECT_EQ(image.GetName(1, 0, 0, 3, 5), "1 sdf 6 5");
    EXPECT_EQ(image.GetName(0, 0, 0, 3, 4), "1 sdf 5");
    // Type 5 is mono on the input side and stereo on the output side.
    EXPECT_EQ(image.GetName(2, 0, 0, 0, 0), "1 lin 1 A");
    EXPECT_EQ(image.GetName(2, 1, 0, 0, 0), "1 LIN 1 AB");
    // Negative paths are stereo only when -2.
    EXPECT_EQ(image.GetName(-2, 2, 0, 4, 0), "1 mad 1 2");
    EXPECT_EQ(image.GetName(-1, 2, 0, 4, 0), "1 mad 1");
    // A port that no slot or side has gets no name.
    EXPECT_EQ(image.GetName(0, 3, 0, 0, 0), "");
    EXPECT_EQ(image.GetName(0, 0, 0, 5, 0), "");
    // A huge rack and port number still fit the field.
    EXPECT_LE(image.GetName(1, 1, 2000000000, 2, 2000000000).size(), 28u);
}

TEST(IORoutingWalk, VisitsEveryPresentPortInRackSlotPortOrder) {
    RoutingBlock b;
    b.Paths(1);
    b.Present(0, 0, 1);  // rack 1, slot 0, second pair
    b.Present(0, 0, 6);  // rack 1, slot 3, pair 1 (pair index 5 + 1)
    b.Present(1, 0, 9);  // rack 2, slot 4
    b.Present(1, 1, 9);  // an output port: not on the input walk
    IORoutingImage image;
    image.OnLinkIn(b.Bytes());
    std::vector<StructIOSearch> list;
    image.GetInputNames(list, 77);
    std::vector<std::string> names;
    for (const auto& s : list) {
        EXPECT_EQ(s.path, 77);
        names.emplace_back(s.Text());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"1 lin 2 A", "1 lin 2 B", "1 sdf 3", "1 sdf 4",
                                               "2 mad 1", "2 mad 2"}));

    StructIOSearch s = Search(0, 0, 0, 0, 0);
    ASSERT_TRUE(image.GetFirstRack(s));
    EXPECT_EQ(s.card * 100 + s.port, 2);
    ASSERT_TRUE(image.GetNextRack(s));
    EXPECT_EQ(s.rack * 1000 + s.card * 100 + s.port, 1400);
    EXPECT_FALSE(image.GetNextRack(s));
    s = Search(0, 0, 0, 0, 2);
    ASSERT_TRUE(image.GetNextPort(s));
    EXPECT_EQ(s.card * 100 + s.port, 302);
    // A step below 1 still moves on instead of standing still.
    s = Search(0, 0, 0, 3, 2);
    ASSERT_TRUE(image.GetNextIO(s, 0));
    EXPECT_EQ(s.port, 3);

    std::vector<StructIOSearch> outputs;
    image.GetOutputNames(outputs, 0);
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].Text(), "2 MAD 1");
}

TEST(IORoutingWalk, AllocationStepsByPairsForStereoPaths) {
    RoutingBlock b;
    b.Paths(3);
    b.Path(0, true, 0, "St");
    b.Path(1, false, 0, "M1");
    b.Path(2, true, 0, "St2");
    for (int pair = 5; pair < 9; ++pair) {
        b.Present(0, 1, pair);
    }
    IORoutingImage image;
    image.OnLinkIn(b.Bytes());
    StructIOSearch stereo = Search(0, 1, 0, 3, 1);  // odd port: back to 0, then 2
    ASSERT_TRUE(image.GetNextIOForAllocation(stereo));
    EXPECT_EQ(stereo.port, 2);
    EXPECT_EQ(stereo.Text(), "1 SDF 3 4");
    StructIOSearch mono = Search(1, 1, 0, 3, 2);  // next path is stereo: 2 -> 3, then 4
    ASSERT_TRUE(image.GetNextIOForAllocation(mono));
    EXPECT_EQ(mono.port, 4);
    EXPECT_EQ(mono.Text(), "1 SDF 5");
}

TEST(IORoutingUse, FindsTheUsersOfAPort) {
    RoutingBlock b;
    b.Paths(10);
    b.Path(3, false, 6, "Sel");
    b.Route(7, 6, 1, {1, 2, 3, 1});  // second insert return, second leg
    b.Route(8, 1, 1, {1, 2, 3, 0});  // the same port, not routed
    b.Route(2, 0, 0, {0, 1, 4, 1});
    b.Route(5, 5, 1, {0, 1, 4, 1});
    b.Route(3, 0, 0, {0, 1, 4, 1});  // a sel does not count as an input user
    b.Route(4, 0, 0, {0, 1, 5, 1});
    IORoutingImage image;
    image.OnLinkIn(b.Bytes());
    int where = 0;
    EXPECT_TRUE(image.IsOutputInUse(1, 2, 3, where));
    EXPECT_EQ(where, 6 * 65536 + 7);
    EXPECT_FALSE(image.IsOutputInUse(1, 2, 4, where));
    EXPECT_EQ(where, -1);

    std::vector<int> list = {99};
    EXPECT_TRUE(image.IsInputInUse(0, 1, 4, list));
    EXPECT_EQ(list, (std::vector<int>{2, 5 * 65536 + 5}));

    // Port 4 is free on its own but its partner 5 is in use: the pair flag says so and the
    // search is left on the partner.
    b.Route(2, 0, 0, {});
    b.Route(5, 5, 1, {});
    b.Route(3, 0, 0, {});
    image.OnLinkIn(b.Bytes());
    StructIOSearch s = Search(0, 0, 0, 1, 4);
    int pair = 0;
    EXPECT_TRUE(image.IsInputInUse(s, list, pair));
    EXPECT_EQ(pair, 1);
    EXPECT_EQ(s.port, 5);
    EXPECT_EQ(list, (std::vector<int>{4}));

    StructIOSearch got;
    EXPECT_TRUE(image.GetInsertOutput(7, 1, got, 1));
    EXPECT_EQ(got.side * 1000 + got.rack * 100 + got.card * 10 + got.port, 1123);
    EXPECT_FALSE(image.GetOutput(8, 0, got, 1));  // there, but not routed
    EXPECT_FALSE(image.GetInput(10, got, 0));     // no path 10
}

TEST(IORoutingImage, AShortOrMisstatedBlockOrOfflineModeChangesNothing) {
    RoutingBlock b;
    b.Paths(2);
    b.Path(1, true, 0, "Keep");
    IORoutingImage image;
    ASSERT_TRUE(image.OnLinkIn(b.Bytes()));
    RoutingBlock other;
    other.Paths(5);
    std::vector<uint8_t> shortBlock(other.Bytes().begin(), other.Bytes().end() - 4);
    EXPECT_FALSE(image.OnLinkIn(shortBlock));  // says 41036, has 41032
    EXPECT_FALSE(image.OnLinkIn(CommsBlock(67, 100).Bytes()));
    EXPECT_EQ(image.GetNumberOfPaths(), 2);
    EXPECT_EQ(image.GetPathName(1), "Keep");

    image.SetOnLineMode(0);
    EXPECT_FALSE(image.OnLinkIn(other.Bytes()));
    EXPECT_EQ(image.GetNumberOfPaths(), 2);
    // Offline, a route edits the local table and sends nothing.
    EXPECT_FALSE(image.SetIORoute({1, 2, 3, 1}, 4, 1, 0).has_value());
    int where = 0;
    EXPECT_TRUE(image.IsOutputInUse(1, 2, 3, where));
    EXPECT_EQ(where, 4 * 65536 + 1);
    EXPECT_FALSE(image.SetIORoute({1, 2, 3, 1}, 7, 1, 0).has_value());  // no group 7: ignored

    // Counts past the image's capacity are cut to it.
    RoutingBlock huge;
    huge.Paths(100000);
    huge.Block().PutU32(16, 4000);
    IORoutingImage fresh;
    EXPECT_TRUE(fresh.OnLinkIn(huge.Bytes()));
    EXPECT_EQ(fresh.GetNumberOfPaths(), 500);
    EXPECT_EQ(fresh.GetNumberOfRacks(), 12);
    // A push without paths updates the image but tells nobody.
    RoutingBlock none;
    none.Path(0, false, 0, "New");
    EXPECT_FALSE(fresh.OnLinkIn(none.Bytes()));
    EXPECT_EQ(fresh.GetNumberOfPaths(), 0);
}

TEST(IORoutingFilms, FilmCountSetsTheTotalCodeAndTheTypesFollowIt) {
    RoutingBlock b;
    b.Paths(12);
    for (int p = 4; p < 10; ++p) {
        b.Path(p, false, 10, "Flm");
    }
    IORoutingImage image;
    image.OnLinkIn(b.Bytes());
    EXPECT_EQ(image.GetFirstFilmPath(), 4);
    EXPECT_EQ(image.GetFilmTotals(), 2);  // six films
    EXPECT_EQ(image.GetIntFilmTotal(), 6);
    image.SetNumberOfFilms(3);
    EXPECT_EQ(image.GetFilmTotals(), 2);  // 3 is no film count: unchanged
    EXPECT_EQ(image.GetFilmType(4 + 6), 4);
    EXPECT_EQ(image.GetFilmType(3), -1);
    EXPECT_TRUE(image.NeedsStereoPair(4));   // film type 0
    EXPECT_FALSE(image.NeedsStereoPair(5));  // film type 1
    EXPECT_TRUE(image.NeedsStereoPair(6));   // film type 2

    EXPECT_FALSE(image.IsPathStereo(5));
    ASSERT_TRUE(image.SetFMDIMode(3).has_value());
    EXPECT_FALSE(image.SetFMDIMode(3).has_value());  // unchanged mode: nothing sent
    EXPECT_TRUE(image.IsPathStereo(5));
    EXPECT_EQ(image.GetName(5, 1, 0, 2, 0), "1 AFT 1");  // but named mono on the output side
    EXPECT_TRUE(image.IsFilmInsertRoutable(5, 3));
    EXPECT_FALSE(image.IsFilmInsertRoutable(5, 4));
    EXPECT_FALSE(image.IsFilmInsertRoutable(5, 5));
    EXPECT_FALSE(image.IsFilmInsertRoutable(4, 3));
    image.SetFMDIMode(1);
    EXPECT_TRUE(image.IsFilmInsertRoutable(4, 5));
    EXPECT_FALSE(image.IsFilmInsertRoutable(4, 6));
    EXPECT_FALSE(image.IsFilmInsertRoutable(10, 3));  // film type 4
    EXPECT_FALSE(image.IsFilmInsertRoutable(2, 3));   // not a film slot
    image.SetOnLineMode(0);
    EXPECT_FALSE(image.IsFilmInsertRoutable(4, 5));
}

TEST(IORoutingCommands, BlocksCarryTheClientWindowAndTheTable) {
    RoutingBlock b;
    b.Paths(3);
    b.Route(2, 6, 1, {9, 4, 7, 1});
    b.CardType(1, 2, 2);
    b.CardType(1, 3, 9);
    IORoutingImage image;
    EXPECT_EQ(image.ClientWindow(), 0xFFFFu);
    EXPECT_EQ(image.IOAttach(0x1234).Command(), 67u);
    image.OnLinkIn(b.Bytes());
    const CommsBlock all = image.SetIORouting();
    ASSERT_EQ(all.Size(), 41036u);
    EXPECT_EQ(all.ReplyWindow(), 0x1234u);
    EXPECT_EQ(all.U32(20), 3u);
    EXPECT_EQ(all.U32(28 + ((2 * 7 + 6) * 2 + 1) * 4), 0x01070409u);
    const auto one = image.SetIORoute({1, 2, 3, 1}, 5, 8, 1);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->Size(), 32u);
    EXPECT_EQ(one->U32(16), 8u);
    EXPECT_EQ(one->U32(20), 5u);
    EXPECT_EQ(one->U32(24), 0x01030201u);
    EXPECT_EQ(one->U32(28), 1u);
    const CommsBlock offline = image.OfflineIOAttach(std::string(300, 'o'), 0x99);
    EXPECT_EQ(BlockReader(offline.Bytes()).Text(573, 300), std::string(260, 'o'));
    EXPECT_EQ(image.ClientWindow(), 0x99u);

    std::string name;
    EXPECT_EQ(image.GetCard(Search(0, 0, 1, 1, 0), name), 2);
    EXPECT_EQ(name, "AES Card");
    EXPECT_EQ(image.GetCard(Search(0, 0, 1, 1, 3)), 0);  // type 9 reads as 0
    int src = 0;
    EXPECT_TRUE(image.GetSRCChannels(Search(0, 0, 1, 0, 0), src));
    EXPECT_EQ(src, 16);
}

TEST(NexusRoutingMap, StreamPairsStoreTheFirstValueUnderTheSecond) {
    CommsBlock pushed(215, 32 + 8);
    pushed.PutU32(20, 1);
    pushed.PutU32(24, 2);
    pushed.PutU32(28, 2);
    pushed.PutU16(32, 100);
    pushed.PutU16(34, 7);
    pushed.PutU16(36, 200);
    pushed.PutU16(38, 3);
    NexusRoutingMap map;
    ASSERT_TRUE(map.OnLinkIn(pushed.Bytes()));
    EXPECT_EQ(map.GetMappedStream(7), 100);
    EXPECT_EQ(map.GetMappedStream(3), 200);
    EXPECT_FALSE(map.GetMappedStream(100).has_value());

    const CommsBlock sent = map.MapStream(5, 50);
    ASSERT_EQ(sent.Size(), 32u + 12u);
    EXPECT_EQ(sent.Command(), 216u);
    BlockReader r(sent.Bytes());
    EXPECT_EQ(r.U32(20), 1u);
    EXPECT_EQ(r.U32(28), 3u);
    EXPECT_EQ(r.U16(32), 200);  // keys rising: 3, 5, 7
    EXPECT_EQ(r.U16(34), 3);
    EXPECT_EQ(r.U16(40), 100);

    // A block announcing more pairs than it holds changes nothing.
    pushed.PutU32(28, 3);
    EXPECT_FALSE(map.OnLinkIn(pushed.Bytes()));
    EXPECT_EQ(map.Streams().size(), 3u);
    EXPECT_FALSE(map.OnLinkIn(std::span(pushed.Bytes()).first(20)));
    EXPECT_EQ(map.UnmapStream(5).U32(28), 2u);
    EXPECT_TRUE(StudioConfigLinkIn(CommsBlock(221, 16).Bytes()));
    EXPECT_FALSE(StudioConfigLinkIn(std::span(pushed.Bytes()).first(12)));
}

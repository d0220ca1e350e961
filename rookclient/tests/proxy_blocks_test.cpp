// The proxies whose blocks carry more than their codes: bounded list fields, the desk size
// request and answer, the time code attach, the diagnostics words, model-built blocks and the
// decoding of pushed images.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FakeRookServer.h"
#include "rookclient/Proxies.h"
#include "rookclient/model/CurrentConsoleSetupImage.h"

using namespace rooktest;

namespace {

class ProxyBlocks : public ::testing::Test {
  protected:
    World world;
    FakeFactory factory;
    Registration registration{factory};
};

// The text that stands in [offset, offset + width): up to its first zero byte.
std::string TextAt(const Bytes& block, size_t offset, size_t width) {
    const auto begin = block.begin() + static_cast<long>(offset);
    const auto end = std::find(begin, begin + static_cast<long>(width), uint8_t{0});
    return std::string(begin, end);
}

bool AllZero(const Bytes& block, size_t from, size_t to) {
    return std::all_of(block.begin() + static_cast<long>(from),
                       block.begin() + static_cast<long>(to), [](uint8_t b) { return b == 0; });
}

}  // namespace

TEST_F(ProxyBlocks, ListNamesStayInsideTheirFieldsAndKeepATerminator) {
    CAESConfigListRookObject list(1);
    const std::string longName(400, 'n');
    const std::string longTarget(30000, 't');
    FakeInstance& server = factory.Last();

    list.DeleteConfig(longName);
    list.Copy(longName, longTarget, 0x42);
    list.SetReadOnly(longName, true);
    ASSERT_EQ(server.sent.size(), 3u);

    const Bytes& erase = server.sent[0];
    EXPECT_EQ(TextAt(erase, 534, 299), std::string(298, 'n'));
    EXPECT_TRUE(AllZero(erase, 832, erase.size())) << "nothing reaches the source field";

    const Bytes& copy = server.sent[1];
    EXPECT_EQ(U32At(copy, 0), 183u);
    EXPECT_EQ(U32At(copy, 4), 0x42u);
    EXPECT_TRUE(AllZero(copy, 16, 833));
    EXPECT_EQ(TextAt(copy, 833, 39), std::string(38, 'n'));
    EXPECT_EQ(copy[871], 0) << "the source keeps its terminator before the target begins";
    EXPECT_EQ(TextAt(copy, 872, 24336 - 872), std::string(24336 - 872 - 1, 't'));
    EXPECT_TRUE(AllZero(copy, 24335, copy.size())) << "the target ends before the flag";

    const Bytes& readOnly = server.sent[2];
    EXPECT_EQ(U32At(readOnly, 0), 127u);
    EXPECT_EQ(U32At(readOnly, 24336), 1u);
    EXPECT_EQ(TextAt(readOnly, 534, 299), std::string(298, 'n'));
}

TEST_F(ProxyBlocks, ShortListNamesAreCopiedWholeWithTheirTerminator) {
    CSnapshotListRookObject list(1);
    list.RenameSnapshotFile("old", "new");
    const Bytes& block = factory.Last().sent.at(0);
    EXPECT_EQ(U32At(block, 0), 102u);
    EXPECT_EQ(TextAt(block, 833, 39), "old");
    EXPECT_EQ(TextAt(block, 872, 100), "new");
}

TEST_F(ProxyBlocks, ConsoleSetupListNamesUseTheirOwnSlots) {
    CConsoleSetupListRookObject list(1);
    list.Copy(std::string(250, 'a'), "b", 7);
    const Bytes& block = factory.Last().sent.at(0);
    ASSERT_EQ(block.size(), 418u);
    EXPECT_EQ(TextAt(block, 16, 201), std::string(200, 'a'));
    EXPECT_EQ(block[216], 0);
    EXPECT_EQ(TextAt(block, 217, 201), "b");
}

TEST_F(ProxyBlocks, DeskSizeRequestReturnsWithTheAnswerDelivered) {
    CDeskSizeRookObject desk(1);
    desk.DeskSizeAttach();
    EXPECT_FALSE(desk.IsReady()) << "the attach does not read";
    EXPECT_EQ(desk.GetSize(), 0u);

    FakeInstance& server = factory.Last();
    Bytes answer = MakeBlock(188, 20);
    answer[16] = 48;
    server.getAnswers.push_back({S_OK, answer});
    desk.RequestDeskSize("Studio A");
    EXPECT_EQ(desk.GetSize(), 48u);
    EXPECT_TRUE(desk.IsReady());

    const Bytes& request = server.sent.back();
    ASSERT_EQ(request.size(), 224u);
    EXPECT_EQ(U32At(request, 0), 188u);
    EXPECT_EQ(U32At(request, 16), 0u);
    EXPECT_EQ(TextAt(request, 20, 200), "Studio A");

    desk.RequestDeskSize(std::string(300, 'x'));
    EXPECT_EQ(TextAt(server.sent.back(), 20, 200), std::string(200, 'x'));
    EXPECT_EQ(desk.GetSize(), 48u) << "an empty read leaves the size";
}

TEST_F(ProxyBlocks, DeskSizeIgnoresABlockTooShortOrUntruthfulAboutItsSize) {
    CDeskSizeRookObject desk(1);
    FakeInstance& server = factory.Last();
    desk.DeskSizeAttach();
    Bytes good = MakeBlock(0, 20);
    good[16] = 12;
    server.Push(good);
    EXPECT_EQ(desk.GetSize(), 12u);

    server.Push(MakeBlock(0, 16));
    Bytes lying = MakeBlock(0, 20, 400);
    lying[16] = 99;
    server.Push(lying);
    Bytes truncated = MakeBlock(0, 19);
    truncated[16] = 77;
    server.Push(truncated);
    EXPECT_EQ(desk.GetSize(), 12u);
}

TEST_F(ProxyBlocks, TimeCodeAttachSendsWindowAndIntervalWithoutAdvising) {
    CTimeCodeRookObject timecode(1);
    timecode.TCAttach(0x1234);
    timecode.TCAttach(0x1234, 25);
    FakeInstance& server = factory.Last();
    EXPECT_EQ(server.calls, (std::vector<std::string>{"SetData", "SetData"}));
    Bytes expected = MakeBlock(3, 28);
    expected[20] = 0x34, expected[21] = 0x12, expected[24] = 10;
    EXPECT_EQ(server.sent.at(0), expected);
    expected[24] = 25;
    EXPECT_EQ(server.sent.at(1), expected);
}

TEST_F(ProxyBlocks, DiagnosticsCarryTheTestAndArgumentsUpToTheTerminator) {
    CWQDiagnosticsRookObject diagnostics(1);
    FakeInstance& server = factory.Last();
    auto words = [&](size_t i) {
        const Bytes& b = server.sent.at(i);
        EXPECT_EQ(U32At(b, 0), 178u);
        EXPECT_EQ(b.size(), 240u);
        EXPECT_TRUE(AllZero(b, 36, b.size()));
        return std::vector<uint32_t>{U32At(b, 16), U32At(b, 20), U32At(b, 24), U32At(b, 28),
                                     U32At(b, 32)};
    };
    diagnostics.DoDiagnostic(3, 4, 5, -1, 9);
    diagnostics.DoDiagnostic(1, 2, 3, 4, 5, 6, 7);
    diagnostics.DoDiagnostic(8);
    diagnostics.SetScanning(true);
    diagnostics.SetScanning(false);
    diagnostics.CancelDiagnostic();
    EXPECT_EQ(words(0), (std::vector<uint32_t>{3, 4, 5, 0, 0})) << "-1 ends the list";
    EXPECT_EQ(words(1), (std::vector<uint32_t>{1, 2, 3, 4, 5})) << "four arguments at most";
    EXPECT_EQ(words(2), (std::vector<uint32_t>{8, 0, 0, 0, 0}));
    EXPECT_EQ(words(3), (std::vector<uint32_t>{15, 1, 0, 0, 0}));
    EXPECT_EQ(words(4), (std::vector<uint32_t>{15, 0, 0, 0, 0}));
    EXPECT_EQ(words(5), (std::vector<uint32_t>{0xFFFFFFFF, 0, 0, 0, 0}));
}

TEST_F(ProxyBlocks, GenericCommandsPlaceTheirWordsAndTheNonSendingOneSendsNothing) {
    CGenericRookserverFSRookObject fs(1);
    fs.SendGenericRookserverCmd(1, 2, 3, 4, 5);
    const Bytes& block = factory.Last().sent.at(0);
    ASSERT_EQ(block.size(), 1040u);
    EXPECT_EQ(U32At(block, 0), 282u);
    EXPECT_EQ(U32At(block, 16), 1u);
    EXPECT_EQ(U32At(block, 20), 0u);
    EXPECT_EQ(U32At(block, 24), 2u);
    EXPECT_EQ(U32At(block, 36), 5u);

    CGenericRookserverRookObject generic(1);
    generic.SendGenericRookserverCmd(7);
    EXPECT_TRUE(factory.Last().sent.empty());
}

TEST_F(ProxyBlocks, ModelBuiltBlocksKeepTheirHeaderAndPayload) {
    CMCSRookObject mcs(1);
    mcs.SetDeviceOffset(9, 1, 23, 45, 12, true);
    const Bytes& offset = factory.Last().sent.at(0);
    ASSERT_EQ(offset.size(), 848u);
    EXPECT_EQ(U32At(offset, 0), 162u);
    EXPECT_EQ(U32At(offset, 20), 42u);
    EXPECT_EQ(offset[44], 9);
    EXPECT_EQ(Bytes(offset.begin() + 768, offset.begin() + 772), (Bytes{0x81, 0x23, 0x45, 0x12}));

    CCurrentConsoleSetupRookObject setup(1);
    setup.SetPathName(7, "Vox", 0x55);
    const Bytes& name = factory.Last().sent.at(0);
    EXPECT_EQ(U32At(name, 0), 23u);
    EXPECT_EQ(U32At(name, 4), 0x55u) << "the window survives the bridge";
    EXPECT_EQ(U32At(name, 420), 7u);
    EXPECT_EQ(TextAt(name, 2428, 200), "Vox");
}

TEST_F(ProxyBlocks, AnImageProxyDecodesPushesAndIgnoresAShortBlock) {
    CCurrentConsoleSetupRookObject setup(1);
    FakeInstance& server = factory.Last();
    setup.CCSAttach();

    rookclient::model::CurrentConsoleSetupImage image;
    image.SetMixSetup("Final Mix");
    image.SetPathMap({4, 2});
    image.SetPathNames({"a", "b", "c", "d", "e", "f"});
    const rookclient::model::CommsBlock block = image.Encode();
    const auto encoded = block.Bytes();
    server.Push(Bytes(encoded.begin(), encoded.end()));
    EXPECT_EQ(setup.Image().GetMixSetup(), "Final Mix");
    EXPECT_EQ(setup.Image().GetTotalPaths(), 6);

    Bytes cut(encoded.begin(), encoded.begin() + 100);
    rookclient::StoreLE32(cut.data(), 8, 100);
    server.Push(cut);
    Bytes lying(encoded.begin(), encoded.end());
    lying[8] ^= 1;
    server.Push(lying);
    EXPECT_EQ(setup.Image().GetMixSetup(), "Final Mix") << "the image is kept";
    EXPECT_EQ(setup.Image().GetPathName(5), "f");
}

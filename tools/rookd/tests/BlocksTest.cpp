#include <gtest/gtest.h>

#include <set>

#include "AttachTable.h"
#include "Blocks.h"
#include "Options.h"

using namespace rookd;

TEST(Blocks, AHeaderIsReadLittleEndianAndNeverFromAShortBlock) {
    std::vector<uint8_t> block = MakeBlock(0x01020304, 20);
    ASSERT_EQ(block.size(), 20u);
    auto header = ReadHeader(block);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->command, 0x01020304u);
    EXPECT_EQ(header->blockSize, 20u);
    EXPECT_EQ(block[0], 0x04);
    EXPECT_FALSE(ReadHeader(std::span(block).first(15)));
    EXPECT_FALSE(ReadHeader({}));
}

TEST(Blocks, AMicLineImageChangesOnlyTheNamedLineAndRefusesOthers) {
    std::vector<uint8_t> image = NeutralMicLineImage();
    ASSERT_EQ(image.size(), 496u);
    auto header = ReadHeader(image);
    EXPECT_EQ(header->command, 276u);
    EXPECT_EQ(header->blockSize, 496u);
    EXPECT_EQ(image[16], 1) << "neutral is phantom off (a 0 byte switches it on)";
    EXPECT_EQ(image[18], 3) << "neutral gain is the lowest step";

    const std::vector<uint8_t> before = image;
    EXPECT_TRUE(SetMicLine(image, 120, {0, 1, 13, 1}));
    EXPECT_EQ(std::vector<uint8_t>(image.end() - 4, image.end()),
              (std::vector<uint8_t>{0, 1, 13, 1}));
    EXPECT_TRUE(std::equal(image.begin(), image.end() - 4, before.begin()));

    const std::vector<uint8_t> after = image;
    EXPECT_FALSE(SetMicLine(image, 0, {}));
    EXPECT_FALSE(SetMicLine(image, 121, {}));
    EXPECT_EQ(image, after);
    std::vector<uint8_t> shortImage(495);
    EXPECT_FALSE(SetMicLine(shortImage, 1, {}));
}

TEST(Blocks, ACloseRequestIsTwentyBytesWithItsCodeAfterTheHeader) {
    const std::vector<uint8_t> block = CloseRequestBlock(0x0A0B0C0D);
    ASSERT_EQ(block.size(), 20u);
    EXPECT_EQ(ReadHeader(block)->blockSize, 20u);
    EXPECT_EQ(block[16], 0x0D);
    EXPECT_EQ(block[19], 0x0A);
}

TEST(AttachTable, EachAttachCodeNamesOneObjectAndTheConsoleLinkObjectsAreThere) {
    std::set<uint32_t> codes;
    for (const AttachEntry& entry : AttachTable()) {
        EXPECT_TRUE(codes.insert(entry.command).second) << "code " << entry.command << " twice";
        EXPECT_FALSE(entry.object.empty());
    }
    EXPECT_EQ(ObjectOfAttach(276), "MicLineRook");
    EXPECT_EQ(ObjectOfAttach(192), "ClientMonitorRook");
    EXPECT_EQ(ObjectOfAttach(179), "MSUVersionRookObject ") << "the trailing blank is part of it";
    EXPECT_EQ(ObjectOfAttach(204), "") << "a shutdown request attaches nothing";
}

TEST(RookdOptions, MicLinesAndCountsAreCheckedBeforeTheServerStarts) {
    Options o;
    std::string problem;
    ASSERT_TRUE(ParseOptions({"--mic-line", "7=0,1,13,255", "--not-ready", "3", "--name", "a.b"}, o,
                             problem))
        << problem;
    ASSERT_EQ(o.micLines.size(), 1u);
    EXPECT_EQ(o.micLines[0].first, 7);
    EXPECT_EQ(o.micLines[0].second.select, 255);
    EXPECT_EQ(o.notReady, 3u);
    EXPECT_EQ(o.busName, "a.b");
    for (const char* bad : {"0=0,0,3,0", "121=0,0,3,0", "5=0,0,3", "5=0,0,3,0,1", "5=0,0,256,0",
                            "5=-1,0,3,0", "x=0,0,3,0"}) {
        Options fresh;
        EXPECT_FALSE(ParseOptions({"--mic-line", bad}, fresh, problem)) << bad;
    }
    Options fresh;
    EXPECT_FALSE(ParseOptions({"--booting"}, fresh, problem));
    EXPECT_FALSE(ParseOptions({"--image", "MicLineRook"}, fresh, problem));
}

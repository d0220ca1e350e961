#include <gtest/gtest.h>

#include <string>

#include "rookclient/model/CommsBlock.h"

using namespace rookclient::model;

TEST(CommsBlock, HeaderCarriesCommandWindowAndTheRealSize) {
    CommsBlock b(192, 224, 0x1234);
    ASSERT_EQ(b.Size(), 224u);
    BlockReader r(b.Bytes());
    EXPECT_TRUE(r.Valid());
    EXPECT_EQ(r.Command(), 192u);
    EXPECT_EQ(r.U32(4), 0x1234u);
    EXPECT_EQ(r.StatedSize(), 224u);
    EXPECT_EQ(r.U32(12), 0u);
    EXPECT_EQ(CommsBlock(5, 3).Size(), kHeaderSize);  // never smaller than its header
}

TEST(CommsBlock, TextStaysInsideItsFieldAndTheBlock) {
    CommsBlock b(192, 240);
    const std::string longName(250, 'x');
    EXPECT_FALSE(b.PutText(24, 200, longName));
    BlockReader r(b.Bytes());
    EXPECT_EQ(r.Text(24, 200), std::string(200, 'x'));  // full field, no terminator
    EXPECT_EQ(r.U8(23), 0);
    EXPECT_EQ(r.U32(224), 0u);  // nothing past the field

    // A shorter text clears what a longer one left behind.
    EXPECT_TRUE(b.PutText(24, 200, "mic"));
    EXPECT_EQ(r.Text(24, 200), "mic");
    EXPECT_EQ(r.U8(27), 0);
    EXPECT_EQ(r.U8(30), 0);

    // An empty text, even one without storage, empties the field.
    EXPECT_TRUE(b.PutText(24, 200, std::string_view()));
    EXPECT_EQ(r.Text(24, 200), "");
    EXPECT_EQ(r.U8(24), 0);

    // A field that runs past the block is cut at the block's end.
    CommsBlock small(1, 20);
    EXPECT_FALSE(small.PutText(16, 200, "abcdef"));
    EXPECT_EQ(BlockReader(small.Bytes()).Text(16, 200), "abcd");
    EXPECT_FALSE(small.PutU32(18, 7));
    EXPECT_FALSE(small.PutText(40, 4, "a"));
}

TEST(CommsBlock, ACutNeverSplitsAMultibyteCharacter) {
    CommsBlock b(1, 16 + 4);
    // "ab" then a two-byte character: a field of 3 bytes would cut the character in half, so
    // it is left out whole.
    EXPECT_FALSE(b.PutText(16, 3, "ab\xC3\xA9"));
    EXPECT_EQ(BlockReader(b.Bytes()).Text(16, 4), "ab");
}

TEST(BlockReader, AShortOrMisstatedBlockIsInvalidAndReadsStayInside) {
    CommsBlock b(276, 496);
    std::vector<uint8_t> bytes(b.Bytes().begin(), b.Bytes().end());
    EXPECT_TRUE(BlockReader(bytes).HasAtLeast(496));
    EXPECT_FALSE(BlockReader(std::span(bytes).first(100)).Valid());  // stated 496, got 100
    EXPECT_FALSE(BlockReader(std::span(bytes).first(10)).Valid());   // not even a header
    BlockReader shortOne{std::span(bytes).first(10)};
    EXPECT_EQ(shortOne.U32(8), 0u);
    EXPECT_EQ(shortOne.U32(1000), 0u);
    EXPECT_TRUE(shortOne.Bytes(8, 4).empty());
    EXPECT_EQ(shortOne.Text(500, 10), "");
}

#include <objectkit/AutomationBlockFile.h>

#include <random>

#include "FileTestSupport.h"

namespace {

using Block = CAutomationBlockFile;

class BlockFileTest : public objectkit::test::TempDirTest {
  protected:
    // Mix data compresses well but not trivially: a ramp with some noise.
    static std::vector<uint8_t> MixData(size_t size, unsigned seed = 1) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> data(size);
        for (size_t i = 0; i < size; ++i) {
            data[i] = static_cast<uint8_t>((i / 20) ^ (rng() % 4));
        }
        return data;
    }
    static void OpenQuick(Block& file, const std::string& path) {
        file.SetChunkPause(std::chrono::microseconds(0));
        file.SetCompression(true);
        ASSERT_TRUE(file.Open(path));
    }
};

TEST_F(BlockFileTest, BlocksAreStoredRawOrInChunksBySizeAndReadBackExactly) {
    const std::string path = Path("mix.atx");
    const auto small = MixData(1000, 1), justOver = MixData(1001, 2), large = MixData(600000, 3);
    {
        Block file;
        OpenQuick(file, path);
        file.SetHeaderWord(3, 0xCAFE);
        ASSERT_TRUE(file.WriteBlock(1, small.data(), 1000));
        ASSERT_TRUE(file.WriteBlock(20, justOver.data(), 1001));
        ASSERT_TRUE(file.WriteBlock(17, large.data(), 600000));
        ASSERT_TRUE(file.Close());
    }
    const auto bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), 1024u);
    // The magic's terminating zero is overlaid by header word 1 at offset 8.
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "AUTXFILE");
    EXPECT_EQ(U32At(bytes, 8), 1u);
    EXPECT_EQ(U32At(bytes, 16), 0xCAFEu);
    EXPECT_EQ(U32At(bytes, 32), 3u);
    EXPECT_EQ(bytes[36 + 3 * 16], 0xBB);
    EXPECT_EQ(bytes[1023], 0xBB);
    // Entry 0: raw at 1024; entry 1: one chunk right after; entry 2: three chunks.
    EXPECT_EQ(U32At(bytes, 36 + 4), 1024u);
    EXPECT_EQ(U32At(bytes, 36 + 12), 0u);
    EXPECT_EQ(U32At(bytes, 52 + 4), 2024u);
    EXPECT_EQ(U32At(bytes, 52 + 8), 1001u);
    EXPECT_EQ(U32At(bytes, 52 + 12), 1u);
    EXPECT_EQ(U32At(bytes, 2024), 1u);
    EXPECT_EQ(U32At(bytes, 2028), 1001u);
    EXPECT_EQ(U32At(bytes, 68 + 12), 3u);
    size_t at = U32At(bytes, 68 + 4);
    std::vector<uint32_t> lengths;
    for (uint32_t chunk = 1; chunk <= 3; ++chunk) {
        EXPECT_EQ(U32At(bytes, at), chunk);
        lengths.push_back(U32At(bytes, at + 4));
        at += 12 + U32At(bytes, at + 8);
    }
    EXPECT_EQ(lengths, (std::vector<uint32_t>{262144, 262144, 75712}));
    EXPECT_EQ(at, bytes.size());

    Block file;
    OpenQuick(file, path);
    EXPECT_EQ(file.HeaderWord(1), 1u);
    EXPECT_EQ(file.HeaderWord(3), 0xCAFEu);
    for (auto [id, expected] : {std::pair{1, &small}, {20, &justOver}, {17, &large}}) {
        int index = file.FindBlock(id);
        ASSERT_GE(index, 0);
        ASSERT_EQ(file.Entry(index).id, id);
        std::vector<uint8_t> got(file.Entry(index).size);
        ASSERT_TRUE(file.ReadBlock(index, got.data(), static_cast<uint32_t>(got.size())));
        EXPECT_EQ(got, *expected) << "block " << id;
    }
    // A block that is not there: the first free entry, marked free.
    int missing = file.FindBlock(99);
    ASSERT_GE(missing, 0);
    EXPECT_EQ(file.Entry(missing).id, -1);
    EXPECT_FALSE(file.ReadBlock(missing, nullptr, 0));
}

TEST_F(BlockFileTest, IncompressibleDataAndCompressionOffStillRoundTrip) {
    const std::string path = Path("noise.atx");
    std::mt19937 rng(7);
    std::vector<uint8_t> noise(300000);
    for (auto& b : noise) {
        b = static_cast<uint8_t>(rng());
    }
    const auto mix = MixData(5000);
    {
        Block file;
        OpenQuick(file, path);
        ASSERT_TRUE(file.WriteBlock(2, noise.data(), static_cast<uint32_t>(noise.size())));
        file.SetCompression(false);
        ASSERT_TRUE(file.WriteBlock(4, mix.data(), static_cast<uint32_t>(mix.size())));
        ASSERT_TRUE(file.Close());
    }
    Block file;
    OpenQuick(file, path);
    std::vector<uint8_t> got(noise.size());
    int index = file.FindBlock(2);
    EXPECT_EQ(file.Entry(index).chunks, 2u);
    ASSERT_TRUE(file.ReadBlock(index, got.data(), static_cast<uint32_t>(got.size())));
    EXPECT_EQ(got, noise);
    index = file.FindBlock(4);
    EXPECT_EQ(file.Entry(index).chunks, 0u);
    got.resize(mix.size());
    ASSERT_TRUE(file.ReadBlock(index, got.data(), static_cast<uint32_t>(got.size())));
    EXPECT_EQ(got, mix);
    // A destination too small for the stored chunks is refused, not overrun.
    index = file.FindBlock(2);
    std::vector<uint8_t> tooSmall(1000);
    EXPECT_FALSE(file.ReadBlock(index, tooSmall.data(), 1000));
}

TEST_F(BlockFileTest, TheCompressionSwitchComesFromTheRegistry) {
    EXPECT_TRUE(Block().Compression());  // default 1
    if (!HaveRegistry()) {
        GTEST_SKIP() << "no registry in this build";
    }
    ASSERT_TRUE(SetMachineDword("SOFTWARE\\KESTANE\\ROOKSERVER", "CompressedAuto", 0));
    Block file;
    EXPECT_FALSE(file.Compression());
    ASSERT_TRUE(file.Open(Path("plain.atx")));
    const auto data = MixData(5000);
    ASSERT_TRUE(file.WriteBlock(3, data.data(), 5000));
    EXPECT_EQ(file.Entry(file.FindBlock(3)).chunks, 0u);
}

TEST_F(BlockFileTest, TheDirectoryHoldsWhatTheHeaderCanStoreAndNoMore) {
    const std::string path = Path("full.atx");
    const uint8_t byte = 0x5A;
    {
        Block file;
        OpenQuick(file, path);
        for (int id = 0; id < Block::kMaxEntries; ++id) {
            ASSERT_TRUE(file.WriteBlock(id, &byte, 1)) << id;
        }
        EXPECT_EQ(file.FindBlock(1000), -1);
        EXPECT_FALSE(file.WriteBlock(1000, &byte, 1));
        // Rewriting a block that is already there still works.
        const uint8_t other = 0x33;
        EXPECT_TRUE(file.WriteBlock(5, &other, 1));
        ASSERT_TRUE(file.Close());
    }
    const auto bytes = ReadFile(path);
    EXPECT_EQ(U32At(bytes, 32), 61u);
    EXPECT_EQ(U32At(bytes, 36 + 60 * 16), 60u);  // the last entry ends at byte 1012
    EXPECT_EQ(bytes[1012], 0xBB);
    EXPECT_EQ(bytes[1024], 0x5A);

    Block file;
    OpenQuick(file, path);
    uint8_t got = 0;
    ASSERT_TRUE(file.ReadBlock(file.FindBlock(5), &got, 1));
    EXPECT_EQ(got, 0x33);
    ASSERT_TRUE(file.ReadBlock(file.FindBlock(60), &got, 1));
    EXPECT_EQ(got, 0x5A);
}

TEST_F(BlockFileTest, HostileOrDamagedHeadersAreRefusedCleanly) {
    const std::string path = Path("hostile.atx");
    const auto data = MixData(700000);
    {
        Block file;
        OpenQuick(file, path);
        ASSERT_TRUE(file.WriteBlock(1, data.data(), static_cast<uint32_t>(data.size())));
        ASSERT_TRUE(file.Close());
    }
    const auto good = ReadFile(path);

    for (uint32_t count : {62u, 103u, 0xFFFFFFFFu}) {
        auto bytes = good;
        PutU32(bytes, 32, count);
        WriteFile(path, bytes);
        Block file;
        EXPECT_FALSE(file.Open(path)) << count;
        EXPECT_FALSE(file.IsOpen());
    }

    Block file;
    auto bytes = good;
    PutU32(bytes, 1024 + 8, 0x7FFFFFFF);  // first chunk states a huge compressed length
    WriteFile(path, bytes);
    OpenQuick(file, path);
    std::vector<uint8_t> got(data.size());
    EXPECT_FALSE(file.ReadBlock(file.FindBlock(1), got.data(), static_cast<uint32_t>(got.size())));
    file.Close();

    bytes = good;
    PutU32(bytes, 1024 + 4, 900000);  // first chunk claims more than the block holds
    WriteFile(path, bytes);
    OpenQuick(file, path);
    EXPECT_FALSE(file.ReadBlock(file.FindBlock(1), got.data(), static_cast<uint32_t>(got.size())));
    file.Close();

    bytes = good;
    bytes.resize(good.size() - 100);  // the file ends inside the last chunk
    WriteFile(path, bytes);
    OpenQuick(file, path);
    EXPECT_FALSE(file.ReadBlock(file.FindBlock(1), got.data(), static_cast<uint32_t>(got.size())));
    file.Close();

    bytes = good;
    bytes[2000] ^= 0xFF;  // damaged compressed bytes
    WriteFile(path, bytes);
    OpenQuick(file, path);
    EXPECT_FALSE(file.ReadBlock(file.FindBlock(1), got.data(), static_cast<uint32_t>(got.size())));
    file.Close();

    bytes = good;
    PutU32(bytes, 36 + 12, 2);  // the directory keeps only two of the three chunks
    WriteFile(path, bytes);
    OpenQuick(file, path);
    EXPECT_FALSE(file.ReadBlock(file.FindBlock(1), got.data(), static_cast<uint32_t>(got.size())))
        << "chunks that stop short of the block's size leave part of it unread";
    file.Close();
}

TEST_F(BlockFileTest, AShortOrForeignFileHasAnEmptyDirectoryAndIsLeftAloneUnlessWritten) {
    const std::string path = Path("foreign.txt");
    const std::vector<uint8_t> text(300, 'x');
    WriteFile(path, text);
    {
        Block file;
        OpenQuick(file, path);
        EXPECT_EQ(file.FindBlock(1), 0);
        EXPECT_EQ(file.Entry(0).id, -1);
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(ReadFile(path), text);

    // A new file gets a valid empty header on closing.
    const std::string fresh = Path("fresh.atx");
    {
        Block file;
        OpenQuick(file, fresh);
        EXPECT_TRUE(file.Close());
    }
    const auto bytes = ReadFile(fresh);
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(U32At(bytes, 32), 0u);
    Block file;
    EXPECT_TRUE(file.Open(fresh));
}

}  // namespace

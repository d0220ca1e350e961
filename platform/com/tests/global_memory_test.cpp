#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/activation.h"
#include "platform/com/global_memory.h"

using namespace platform::com;

TEST(GlobalMemory, BlocksAreZeroFilledAndForgetTheirHandleWhenFreed) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, 496);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 496u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (size_t i = 0; i < 496; ++i)
        ASSERT_EQ(p[i], 0) << i;
    std::memset(p, 0xAB, 496);
    EXPECT_EQ(GlobalLock(h), p);  // locks nest and give the same bytes
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GlobalFree(h), nullptr);
    // A freed or foreign handle is refused, never read.
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    int notABlock = 0;
    EXPECT_EQ(GlobalFree(&notABlock), &notABlock);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Guid, RoundTripsThroughTheRegistrySpelling) {
    const CLSID rook{0x12C7B830, 0x17F3, 0x11CE, {0x93, 0xE6, 0x00, 0x20, 0xAF, 0x42, 0x56, 0x41}};
    EXPECT_EQ(ToString(rook), "{12C7B830-17F3-11CE-93E6-0020AF425641}");
    GUID back;
    ASSERT_TRUE(ParseGuid("{12c7b830-17f3-11ce-93e6-0020af425641}", back));
    EXPECT_EQ(back, rook);
    EXPECT_FALSE(ParseGuid("{12C7B830-17F3-11CE-93E6-0020AF42564}", back));
    EXPECT_FALSE(ParseGuid("12C7B830x17F3-11CE-93E6-0020AF425641", back));
}

TEST(ClipboardFormats, OneNumberPerNameWhateverTheCase) {
    const CLIPFORMAT a = RegisterClipboardFormat("RookObjectClipboardFormat");
    EXPECT_GE(a, 0xC000);
    EXPECT_EQ(RegisterClipboardFormat("ROOKOBJECTCLIPBOARDFORMAT"), a);
    EXPECT_NE(RegisterClipboardFormat("SomethingElse"), a);
    EXPECT_EQ(RegisterClipboardFormat(""), 0);
}

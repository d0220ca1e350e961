#include <gtest/gtest.h>

#include "MicFakes.h"
#include "mic/core/Frames.h"
#include "mic/core/TransmitRing.h"

namespace mic::test {
namespace {

Bytes FrameBytes(const Frame& f) {
    return Bytes(f.bytes.begin(), f.bytes.begin() + f.length);
}
Bytes SlotBytes(const TransmitRing::Slot& s) {
    Bytes b;
    for (size_t i = 0; i < kSlotAddressCopy && s[i] != kFrameEnd; ++i)
        b.push_back(s[i]);
    return b;
}

TEST(Frames, CarryTheRackInTheAddressByteAndASevenBitChecksum) {
    EXPECT_EQ(FrameBytes(MakeShortFrame(0, kCmdPoll)), (Bytes{0x81, 0x01}));
    EXPECT_EQ(FrameBytes(MakeShortFrame(15, kCmdDataRequest)), (Bytes{0x90, 0x14}));
    EXPECT_EQ(FrameBytes(MakeSetChannel(2, 11, 0x43, 0)),
              (Bytes{0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D}));
    // Bit 7 of the setting never reaches the line; assignment value 5 is console channel 4.
    EXPECT_EQ(FrameBytes(MakeSetChannel(0, 1, 0xC5, 5)), (Bytes{0x81, 0x11, 1, 0x45, 4, 0x4A}));
    EXPECT_EQ(FrameBytes(MakeSetDirect(3, 10, 1)), (Bytes{0x84, 0x13, 10, 1, 11}));
    EXPECT_EQ(MakeSetChannel(2, 11, 0x43, 0).bytes[6], kFrameEnd);
    EXPECT_EQ(RackOfAddress(0x90), 15);
    EXPECT_EQ(RackOfAddress(0x80), -1);
}

TEST(TransmitRing, MergesAPendingSetChannelInPlace) {
    TransmitRing ring;
    ring.AppendSetChannel(MakeSetChannel(1, 4, 0x03, 0));
    ring.Append(MakeSetDirect(1, 4, 1));
    ring.AppendSetChannel(MakeSetChannel(1, 4, 0x43, 0));  // second quick change
    ring.AppendSetChannel(MakeSetChannel(1, 4, 0x43, 0));  // same values: left alone
    ring.AppendSetChannel(MakeSetChannel(1, 5, 0x43, 0));  // other channel: appended
    ASSERT_EQ(ring.Pending(), 3u);
    EXPECT_EQ(SlotBytes(*ring.Front()), SetChannelBytes(1, 4, 0x43, 0x7F));
    ring.PopFront();
    ring.PopFront();
    EXPECT_EQ(SlotBytes(*ring.Front()), SetChannelBytes(1, 5, 0x43, 0x7F));
    // A frame already taken is not merged into: a change after sending goes out again.
    ring.PopFront();
    ring.AppendSetChannel(MakeSetChannel(1, 5, 0x44, 0));
    EXPECT_EQ(ring.Pending(), 1u);
}

TEST(TransmitRing, StepBackRestoresTheFrameForAResend) {
    TransmitRing ring;
    ring.Append(MakeSetDirect(7, 2, 1));
    ring.PopFront();
    EXPECT_TRUE(ring.Empty());
    EXPECT_EQ(RackOfAddress(ring.Previous()[kSlotAddressCopy]), 7);
    ring.StepBack();
    ASSERT_NE(ring.Front(), nullptr);
    EXPECT_EQ(SlotBytes(*ring.Front()), (Bytes{0x88, 0x13, 2, 1, 3}));
}

TEST(TransmitRing, WhenFullOverwritesTheNewestFrameButNeverTheOneInFlight) {
    TransmitRing ring;
    ring.Append(MakeSetDirect(9, 0, 1));
    ring.PopFront();  // in flight; its slot keeps the address copy for a resend
    for (uint32_t i = 0; i < kRingSlots - 1; ++i)
        ring.Append(MakeShortFrame(i % 16, kCmdPoll));
    ASSERT_TRUE(ring.Full());
    EXPECT_EQ(ring.Pending(), kRingSlots - 1);
    ring.Append(MakeShortFrame(3, kCmdDataRequest));
    ring.Append(MakeShortFrame(4, kCmdDataRequest));
    EXPECT_TRUE(ring.Full());
    EXPECT_EQ(ring.Pending(), kRingSlots - 1);
    EXPECT_EQ(RackOfAddress(ring.Previous()[kSlotAddressCopy]), 9);
    // The newest pending slot holds the last frame appended.
    for (uint32_t i = 0; i < kRingSlots - 2; ++i)
        ring.PopFront();
    ASSERT_NE(ring.Front(), nullptr);
    EXPECT_EQ(SlotBytes(*ring.Front()), (Bytes{0x85, 0x14}));
}

}  // namespace
}  // namespace mic::test

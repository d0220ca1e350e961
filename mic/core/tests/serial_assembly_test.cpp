// Reply assembly of the serial reader, one byte at a time, for every reply mode.
#include <gtest/gtest.h>

#include <vector>

#include "mic/core/SerialPort.h"

using namespace mic;

namespace {

class Assembly : public ::testing::Test {
  protected:
    ReplyState reply;
    CReplyAssembler assembler{reply};

    void Expect(uint32_t mode, uint32_t awaiting) {
        reply.replyMode = mode;
        reply.awaiting = awaiting;
        reply.replyCount = 0;
    }
    std::vector<ByteAction> Feed(const std::vector<uint8_t>& bytes) {
        std::vector<ByteAction> actions;
        for (uint8_t b : bytes)
            actions.push_back(assembler.Process(b));
        return actions;
    }
    std::vector<uint8_t> Stored() {
        std::vector<uint8_t> out;
        for (uint32_t i = 0; i < reply.replyCount && i < kReplyBufferSize; ++i)
            out.push_back(reply.replyBuffer[i]);
        return out;
    }
};

}  // namespace

TEST_F(Assembly, TakesEveryHighByteAsTheStartOfOurEchoAndShortensTheNextOne) {
    reply.echoLength = 6;
    Expect(kReplyDataBlock, kAwaitingReply);
    EXPECT_EQ(assembler.Process(0x83), ByteAction::Echo);
    EXPECT_EQ(assembler.EchoReads(), 5);
    EXPECT_EQ(assembler.Process(0x83), ByteAction::Echo);
    EXPECT_EQ(assembler.EchoReads(), 4) << "echoLength keeps its reduced value";
    EXPECT_EQ(reply.awaiting, kAwaitingReply) << "an echo touches no reply state";

    reply.echoLength = 1;
    reply.replyCount = 7;
    EXPECT_EQ(assembler.Process(0xFF), ByteAction::Echo);
    EXPECT_EQ(assembler.EchoReads(), 0) << "a one-byte frame has nothing more to read";
    assembler.EchoDone();
    EXPECT_EQ(reply.replyCount, 0u);

    reply.echoLength = 0;
    EXPECT_EQ(assembler.Process(0x90), ByteAction::Echo);
    EXPECT_EQ(assembler.EchoReads(), 0) << "no negative read count";
}

TEST_F(Assembly, SingleByteAnswersCompleteOnlyWhileAReplyIsAwaited) {
    Expect(kReplySingleByte, kIdle);
    EXPECT_EQ(assembler.Process(0x06), ByteAction::Dropped);
    EXPECT_EQ(reply.replyBuffer[0], 0) << "0x06 is ignored altogether when nothing is awaited";
    EXPECT_EQ(reply.replyMode, kReplySingleByte);

    Expect(kReplySingleByte, kAwaitingReply);
    EXPECT_EQ(Feed({0x00, 0x41, 0x7F}), std::vector<ByteAction>(3, ByteAction::Dropped));
    EXPECT_EQ(reply.awaiting, kAwaitingReply);
    EXPECT_EQ(assembler.Process(0x05), ByteAction::Complete);
    EXPECT_EQ(reply.awaiting, kIdle);
    EXPECT_EQ(reply.replyMode, kReplySingleByte) << "NACK leaves the mode";
    EXPECT_EQ(assembler.Process(0x06), ByteAction::Dropped) << "awaiting is 0 after the NACK";
    EXPECT_EQ(reply.replyBuffer[0], 0);

    Expect(kReplySingleByte, kAwaitingReply);
    EXPECT_EQ(assembler.Process(0x04), ByteAction::Complete);
    EXPECT_EQ(reply.replyMode, kReplyNothing);
    EXPECT_EQ(reply.replyBuffer[0], 0);

    Expect(kReplySingleByte, kAwaitingReply);
    reply.replyCount = 3;
    EXPECT_EQ(assembler.Process(0x06), ByteAction::Complete);
    EXPECT_EQ(reply.replyMode, kReplyNothing);
    EXPECT_EQ(reply.replyBuffer[0], 0x06);
    EXPECT_EQ(reply.replyCount, 0u);
}

TEST_F(Assembly, VersionTextSkipsControlCharactersKeepsTheCheckByteAndCompletesOnTheNext) {
    Expect(kReplyText, kAwaitingReply);
    std::vector<uint8_t> text = {'P', 0x0A, 'X', '5',  0x00, 'R', ' ',
                                 '1', '.',  '0', 0x1F, '4',  ' '};
    for (auto a : Feed(text))
        EXPECT_NE(a, ByteAction::Complete);
    EXPECT_EQ(reply.replyCount, 10u) << "control characters did not move the count";
    EXPECT_EQ(reply.awaiting, kReceivingReply);
    EXPECT_EQ(assembler.Process(0x02), ByteAction::Stored) << "the check byte may be anything";
    EXPECT_EQ(reply.replyCount, 11u);
    EXPECT_EQ(assembler.Process(0x0D), ByteAction::Complete);
    EXPECT_EQ(reply.replyCount, 11u) << "the completing byte is not stored";
    EXPECT_EQ(reply.awaiting, kIdle);
    EXPECT_EQ(assembler.Process('x'), ByteAction::Complete) << "every further byte completes";
    std::vector<uint8_t> expected = {'P', 'X', '5', 'R', ' ', '1', '.', '0', '4', ' ', 0x02};
    EXPECT_EQ(Stored(), expected);
}

TEST_F(Assembly, DataBlocksCompleteOnTheThirtySeventhByteInBothModes) {
    for (uint32_t mode : {kReplyDataBlock, kReplyDataBlockAlt}) {
        Expect(mode, kAwaitingReply);
        std::vector<uint8_t> block(36);
        for (int i = 0; i < 36; ++i)
            block[i] = static_cast<uint8_t>(i * 3 % 0x80);
        for (auto a : Feed(block))
            EXPECT_EQ(a, ByteAction::Stored);
        EXPECT_EQ(reply.awaiting, kReceivingReply);
        EXPECT_EQ(assembler.Process(0x11), ByteAction::Complete);
        EXPECT_EQ(reply.replyCount, 37u);
        EXPECT_EQ(reply.awaiting, kIdle);
        block.push_back(0x11);
        EXPECT_EQ(Stored(), block);
    }
}

TEST_F(Assembly, AnEndlessDataBlockNeverWritesPastTheBuffer) {
    Expect(kReplyDataBlock, kAwaitingReply);
    for (int i = 0; i < 1000; ++i)
        assembler.Process(0x55);
    EXPECT_EQ(reply.replyCount, kReplyBufferSize);
}

TEST_F(Assembly, DropsEverythingWhenNothingIsExpected) {
    for (uint32_t mode : {uint32_t{kReplyNothing}, uint32_t{7}, uint32_t{0xFFFFFFFF}}) {
        Expect(mode, kAwaitingReply);
        reply.replyCount = 5;
        EXPECT_EQ(assembler.Process(0x04), ByteAction::Dropped);
        EXPECT_EQ(reply.replyCount, 0u);
        EXPECT_EQ(reply.awaiting, kAwaitingReply);
    }
}

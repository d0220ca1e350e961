// Reply assembly of the serial reader: what one received byte does to the shared reply record.
// The order of stores matters to the protocol engine on the other thread: the buffer and the
// mode are written first, `awaiting` is cleared last, and only then is the reply handed over.
#include <algorithm>

#include "mic/core/SerialPort.h"

namespace mic {

namespace {

constexpr uint8_t kAckByte = 0x04;
constexpr uint8_t kNackByte = 0x05;
constexpr uint8_t kAckWithDataByte = 0x06;
constexpr uint32_t kTextLength = 10;  // printable characters of a version text
constexpr uint32_t kBlockLast = 36;   // index of the last byte of a data block

bool Printable(uint8_t b) {
    return b >= 0x20 && b <= 0x7E;
}

}  // namespace

ByteAction CReplyAssembler::Process(uint8_t byte) {
    ReplyState& r = reply_;
    // Taken before the mode is read. The engine writes a new transaction's number after its
    // mode, so a byte that carries the new number is judged by the new mode; a byte taken
    // while the engine moves on keeps the old number, and its hand-over is known as stale.
    transaction_ = r.transaction.load();
    if (byte >= 0x80) {
        // Only the master sends bytes with the high bit, so this is the echo of our own
        // address byte; the rest of the frame follows it. echoLength keeps the reduced value,
        // so a second high byte before the next command consumes one byte fewer.
        const int32_t left = r.echoLength.fetch_sub(1) - 1;
        echoReads_ = std::max(left, 0);
        return ByteAction::Echo;
    }
    switch (r.replyMode.load()) {
        case kReplySingleByte: {
            ByteAction action = ByteAction::Dropped;
            if (r.awaiting.load() == kAwaitingReply) {
                if (byte == kAckByte) {
                    r.replyMode.store(kReplyNothing);
                    r.awaiting.store(kIdle);
                    action = ByteAction::Complete;
                } else if (byte == kNackByte) {
                    r.awaiting.store(kIdle);
                    action = ByteAction::Complete;
                } else if (byte == kAckWithDataByte) {
                    r.replyBuffer[0].store(kAckWithDataByte);
                    r.replyMode.store(kReplyNothing);
                    r.awaiting.store(kIdle);
                    action = ByteAction::Complete;
                }
            }
            r.replyCount.store(0);
            return action;
        }
        case kReplyText: {
            const uint32_t count = r.replyCount.load();
            if (count > kTextLength) {
                // Ten characters and the check byte are in: any further byte completes it.
                r.awaiting.store(kIdle);
                return ByteAction::Complete;
            }
            if (Printable(byte) || count == kTextLength) {
                r.replyBuffer[count].store(byte);
                r.replyCount.store(count + 1);
                r.awaiting.store(kReceivingReply);
                return ByteAction::Stored;
            }
            return ByteAction::Dropped;
        }
        case kReplyDataBlock:
        case kReplyDataBlockAlt: {
            const uint32_t count = r.replyCount.load();
            if (count < kReplyBufferSize) {
                r.replyBuffer[count].store(byte);
                r.replyCount.store(count + 1);
            }
            if (count >= kBlockLast) {
                r.awaiting.store(kIdle);
                return ByteAction::Complete;
            }
            r.awaiting.store(kReceivingReply);
            return ByteAction::Stored;
        }
        default:
            r.replyCount.store(0);
            return ByteAction::Dropped;
    }
}

}  // namespace mic

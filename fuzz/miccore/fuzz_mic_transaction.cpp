// Drives the protocol engine and the controller with an arbitrary mix of line bytes, raw
// reply-record contents, timer firings, operator actions and console images, checking the
// engine's invariants after every event.
#include "MicFakes.h"
#include "MicInvariants.h"

using namespace mic;

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool More() const { return at < size; }
    uint8_t Next() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::FakeServices fakes;
    MicConfig config;
    config.settings.autoRestore = false;
    config.consoleIntegration = size > 0 && (data[0] & 1);
    config.snapshotPath = "/nonexistent-dir/snapshot.mic";  // never written
    MicController mic(config, fakes.Services());
    mic.Initialise();
    ReplyState& reply = mic.Reply();

    Reader in{data, size, 1};
    while (in.More()) {
        const uint8_t op = in.Next();
        const uint8_t arg = in.Next();
        switch (op % 14) {
            case 0:
            case 1:
            case 2: {  // the line: bytes as the reader assembles them
                const uint32_t transaction = reply.transaction.load();
                if (test::FeedReplyByte(reply, arg))
                    mic.Engine().OnReply(1 + (op >> 6), transaction);
                break;
            }
            case 3:  // a whole data block, with a good checksum when asked
            {
                uint8_t block[kDataBlockSize];
                uint32_t sum = 0;
                for (size_t i = 0; i + 1 < kDataBlockSize; ++i)
                    sum += block[i] = in.Next();
                block[kDataBlockSize - 1] = (arg & 1) ? (sum & 0x7F) : in.Next();
                for (uint8_t b : block) {
                    const uint32_t transaction = reply.transaction.load();
                    if (test::FeedReplyByte(reply, b))
                        mic.Engine().OnReply(1, transaction);
                }
                break;
            }
            case 4:
                mic.OnTimer(kTimerTransaction);
                break;
            case 5:  // the reply record as a racing reader might leave it
                reply.awaiting = arg % 4;
                reply.replyMode = (arg >> 2) % 6;
                reply.replyCount = in.Next();
                reply.replyBuffer[in.Next() % kReplyBufferSize] = in.Next();
                // A hand-over of the transaction in flight, or a late one of an earlier
                // transaction.
                if (op & 0x80)
                    mic.Engine().OnReply(1, reply.transaction.load() - (op & 0x03));
                break;
            case 6:
                mic.OnTimer(2 + arg % 3);
                break;
            case 7: {
                const int ch = arg % 13;
                switch ((arg >> 4) % 5) {
                    case 0:
                        mic.ClickPhantom(ch);
                        break;
                    case 1:
                        mic.ClickPhase(ch);
                        break;
                    case 2:
                        mic.ClickPad(ch);
                        break;
                    case 3:
                        mic.ClickDirect(ch);
                        break;
                    default:
                        mic.SelectGain(ch, static_cast<int>(in.Next() % 13) - 1);
                        break;
                }
                break;
            }
            case 8:
                mic.SelectRack(arg % 17);
                break;
            case 9:
                mic.AssignConsoleChannel(arg % 12, in.Next() % 101);
                break;
            case 10:
                mic.SetSequential(arg & 1);
                break;
            case 11:  // the console changes one line, then the image is applied
                fakes.console.image[(arg % 120) * 4 + (in.Next() % 4)] = in.Next();
                mic.ApplyConsoleData(in.Next() & 1 ? 255 : 0, 0);
                break;
            case 12: {
                const int action = arg % 8;
                if (action == 3 || action == 4)
                    break;  // no files or ports from the fuzzer
                mic.SetupAction(static_cast<int>(in.Next() % 18) - 1, action);
                break;
            }
            default:
                if (arg & 1) {
                    mic.SetupClicked();
                } else {
                    mic.SetupWindowClosed();
                }
                break;
        }
        fuzz::CheckState(mic);
    }
    return 0;
}

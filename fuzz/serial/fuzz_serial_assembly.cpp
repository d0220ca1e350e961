// Reply assembly fed arbitrary line bytes in every starting state: the reply record must stay
// within its buffer and keep its counts consistent, whatever the line delivers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mic/core/SerialPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    mic::ReplyState reply;
    reply.replyMode = data[0] % 6;  // every mode and one unknown value
    reply.awaiting = data[1] % 3;
    reply.echoLength = static_cast<int8_t>(data[2]);
    mic::CReplyAssembler assembler(reply);
    for (size_t i = 3; i < size; ++i) {
        mic::ByteAction action = assembler.Process(data[i]);
        if (action == mic::ByteAction::Echo) {
            // The reader reads and discards the rest of the frame's echo.
            int reads = assembler.EchoReads();
            if (reads < 0) {
                std::abort();
            }
            i += static_cast<size_t>(reads);
            assembler.EchoDone();
        }
        if (reply.replyCount > mic::kReplyBufferSize) {
            std::abort();
        }
        if (action == mic::ByteAction::Complete && reply.awaiting != mic::kIdle) {
            std::abort();
        }
    }
    return 0;
}

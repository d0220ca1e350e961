// Racks on a line, played transaction by transaction for a controller wired to the fakes: the
// racks keep the channel values the frames set and answer polls, set frames and data requests
// as the line does; a rack that is not present answers nothing (the transaction times out).
// Deterministic: time passes only by transactions, so two runs of the same steps send the
// same frames.
#pragma once

#include <array>

#include "MicHarness.h"

namespace mic::test {

struct FakeRackLine {
    struct Rack {
        bool present = false;
        bool pendingData = false;  // a front-panel change waits: polls answer ACK with data
        std::array<uint8_t, 12> setting{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
        std::array<uint8_t, 12> assignByte{};  // 0: none (sent as 0x7F)
        uint16_t directBits = 0;
    };

    explicit FakeRackLine(Harness& harness) : h(harness) {}

    Bytes Block(int rack) const {
        const Rack& r = racks[rack];
        return DataBlock(r.setting, 1, r.assignByte, r.directBits);
    }

    // Answers the frame in flight (or lets it time out); the controller then sends the next.
    void Transaction() {
        if (h.SentCount() == 0 || h.mic->Reply().awaiting.load() == kIdle) {
            h.Timeout();
            return;
        }
        const Bytes frame = h.Sent();
        const int rack = (frame[0] & 0x7F) - 1;
        if (rack < 0 || rack >= 16 || !racks[rack].present) {
            h.Timeout();
            return;
        }
        Rack& r = racks[rack];
        switch (frame[1]) {
            case kCmdPoll:
                h.Line(r.pendingData ? kAckWithData : kAck);
                break;
            case kCmdSetChannel:
                r.setting[frame[2]] = frame[3];
                r.assignByte[frame[2]] = frame[4] == 0x7F ? 0 : frame[4];
                h.Line(kAck);
                break;
            case kCmdSetDirect:
                r.directBits = static_cast<uint16_t>((r.directBits & ~(1u << frame[2])) |
                                                     ((frame[3] & 1u) << frame[2]));
                h.Line(kAck);
                break;
            case kCmdDataRequest:
                r.pendingData = false;
                h.Line(Block(rack));
                break;
            default:
                h.Timeout();
                break;
        }
    }
    void Run(int transactions) {
        for (int i = 0; i < transactions; ++i)
            Transaction();
    }

    Harness& h;
    std::array<Rack, 16> racks{};
};

}  // namespace mic::test

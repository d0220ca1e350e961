#include "mic/core/TransmitRing.h"

#include <algorithm>
#include <cstring>

namespace mic {

TransmitRing::TransmitRing() : slots_(kRingSlots) {
    Clear();
}

void TransmitRing::Clear() {
    for (auto& slot : slots_)
        slot.fill(0);
    read_ = 0;
    write_ = 0;
}

void TransmitRing::Append(const Frame& frame) {
    // When full, the slot at the write index is the one whose frame is in flight: its address
    // copy is what a resend and the answer's rack rely on, so it must not be overwritten.
    // The newest pending frame is replaced instead; operator changes still never block.
    uint32_t target = write_;
    const bool full = Full();
    if (full)
        target = (write_ + kRingSlots - 1) % kRingSlots;
    Slot& slot = slots_[target];
    slot.fill(0);
    std::copy_n(frame.bytes.begin(), std::min(frame.length + 1, kSlotAddressCopy), slot.begin());
    slot[std::min(frame.length, kSlotAddressCopy - 1)] = kFrameEnd;
    slot[kSlotAddressCopy] = slot[0];
    if (!full)
        write_ = (write_ + 1) % kRingSlots;
}

void TransmitRing::AppendSetChannel(const Frame& frame) {
    for (uint32_t i = read_; i != write_; i = (i + 1) % kRingSlots) {
        Slot& slot = slots_[i];
        if (slot[0] != frame.bytes[0] || slot[1] != kCmdSetChannel || slot[2] != frame.bytes[2])
            continue;
        if (slot[3] != frame.bytes[3] || slot[4] != frame.bytes[4]) {
            slot[3] = frame.bytes[3];
            slot[4] = frame.bytes[4];
            slot[5] = frame.bytes[5];
        }
        return;
    }
    Append(frame);
}

bool TransmitRing::HasPending(uint8_t address, uint8_t command, uint8_t channel) const {
    for (uint32_t i = read_; i != write_; i = (i + 1) % kRingSlots) {
        const Slot& slot = slots_[i];
        if (slot[0] == address && slot[1] == command && slot[2] == channel)
            return true;
    }
    return false;
}

const TransmitRing::Slot* TransmitRing::Front() const {
    const Slot& slot = slots_[read_];
    return slot[0] != 0 ? &slot : nullptr;
}

void TransmitRing::PopFront() {
    slots_[read_][0] = 0;
    read_ = (read_ + 1) % kRingSlots;
    if (Full())
        DiscardPending();
}

void TransmitRing::StepBack() {
    read_ = (read_ + kRingSlots - 1) % kRingSlots;
    Slot& slot = slots_[read_];
    slot[0] = slot[kSlotAddressCopy];
}

const TransmitRing::Slot& TransmitRing::Previous() const {
    return slots_[(read_ + kRingSlots - 1) % kRingSlots];
}

}  // namespace mic

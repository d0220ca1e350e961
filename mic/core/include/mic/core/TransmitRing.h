// The transmit ring: 4095 slots of 40 bytes. Bytes 0-38 hold a frame ended by 0xFF (byte 0 of
// an empty slot is 0); byte 39 keeps the address byte so that a frame can be sent again after
// byte 0 has been cleared. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mic/core/Frames.h"

namespace mic {

inline constexpr uint32_t kRingSlots = 4095;
inline constexpr size_t kSlotSize = 40;
inline constexpr size_t kSlotAddressCopy = 39;

class TransmitRing {
  public:
    using Slot = std::array<uint8_t, kSlotSize>;

    TransmitRing();
    // Empties every slot; both indices 0.
    void Clear();
    bool Empty() const { return read_ == write_; }
    // Full when the write index is one behind the read index.
    bool Full() const { return (write_ + 1) % kRingSlots == read_; }
    uint32_t ReadIndex() const { return read_; }
    uint32_t WriteIndex() const { return write_; }
    uint32_t Pending() const { return (write_ + kRingSlots - read_) % kRingSlots; }

    // Appends a frame at the write index. When the ring is full the index does not advance,
    // so the newest frame is overwritten by the next one.
    void Append(const Frame& frame);
    // A set-channel frame for the same address and channel still pending is rewritten in
    // place when its values differ, or left alone when equal; otherwise one is appended.
    void AppendSetChannel(const Frame& frame);

    // The slot at the read index when it holds a frame, else nullptr.
    const Slot* Front() const;
    // Clears byte 0 of the front slot and advances the read index; if the ring is then still
    // full, everything pending is discarded.
    void PopFront();
    // Steps the read index back one slot and restores its address byte (resend).
    void StepBack();
    // The slot before the read index (the frame last taken).
    const Slot& Previous() const;
    void DiscardPending() { read_ = write_; }
    // True when a frame with this address, command and first payload byte is still pending.
    bool HasPending(uint8_t address, uint8_t command, uint8_t channel) const;

  private:
    std::vector<Slot> slots_;
    uint32_t read_ = 0;
    uint32_t write_ = 0;
};

}  // namespace mic

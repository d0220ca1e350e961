// The send patterns every proxy is built from: attach to the server object, send a command,
// and send a request whose answer comes back as the object's current data. A proxy states
// only its codes, sizes and payload fields.
#pragma once

#include <platform/com/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "rookclient/CommsStructure.h"

class CGenericRookObject;

namespace rookclient {

// A zero-filled block of a fixed size with its header set, locked for filling until Seal.
// Writes are bounded: one that would reach past its field or past the block writes nothing
// and answers false. Freed when it goes out of scope.
class CommandBlock {
  public:
    CommandBlock(uint32_t command, size_t size, uint32_t replyWindow = 0);
    ~CommandBlock();
    CommandBlock(const CommandBlock&) = delete;
    CommandBlock& operator=(const CommandBlock&) = delete;

    // False when the block could not be allocated; nothing is then sent.
    bool Valid() const { return handle_ != nullptr; }
    size_t Size() const { return size_; }

    bool PutU8(size_t offset, uint8_t value) { return PutBytes(offset, &value, 1); }
    bool PutU16(size_t offset, uint16_t value) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
        return PutBytes(offset, bytes, 2);
    }
    bool PutU32(size_t offset, uint32_t value);
    bool PutBytes(size_t offset, const void* bytes, size_t count);
    // A name into a fixed field of `width` bytes: copied up to its terminator, at most
    // `width` bytes, never splitting a UTF-8 character; the zero fill ends a shorter name,
    // a name of the full width has no terminator.
    bool PutName(size_t offset, size_t width, std::string_view name);
    // A zero-terminated copy that must fit, terminator included, between offset and the
    // block's end.
    bool PutString(size_t offset, std::string_view text);

    // Unlocks the block for sending and gives its handle (null when not Valid).
    platform::com::HGLOBAL Seal();

  private:
    platform::com::HGLOBAL handle_ = nullptr;
    uint8_t* bytes_ = nullptr;  // while locked
    size_t size_ = 0;
};

// Fills a command's payload fields.
using Fill = std::function<void(CommandBlock&)>;

// The attach of a server object: a block with `command` (16 bytes unless the object takes a
// payload), then StopAdvise, SendData, StartAdvise(readNow).
void Attach(CGenericRookObject& proxy, uint32_t command, int readNow, size_t size = kHeaderSize,
            const Fill& fill = {});

// A command of fixed `size`: header, payload, SendData; the advise state is left alone.
// Returns the server's answer (RPC_S_SERVER_UNAVAILABLE when the block cannot be made).
platform::com::HRESULT Command(CGenericRookObject& proxy, uint32_t command, size_t size,
                               uint32_t replyWindow = 0, const Fill& fill = {});

// A command whose answer is the new current data: StopAdvise before and StartAdvise(1) after
// SendData, so the answer reaches OnLinkIn before this returns.
platform::com::HRESULT Request(CGenericRookObject& proxy, uint32_t command, size_t size,
                               uint32_t replyWindow = 0, const Fill& fill = {});

}  // namespace rookclient

namespace rookclient::detail {
// The one send sequence behind every pattern: build and fill the block, then SendData,
// bracketed by StopAdvise and StartAdvise(readNow) when `resubscribe` is set.
platform::com::HRESULT Send(CGenericRookObject& proxy, uint32_t command, size_t size,
                            uint32_t replyWindow, const Fill& fill, bool resubscribe, int readNow);
}  // namespace rookclient::detail

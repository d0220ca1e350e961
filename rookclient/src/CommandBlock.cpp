#include "rookclient/CommandBlock.h"

#include <platform/com/global_memory.h>

#include <algorithm>
#include <cstring>

#include "rookclient/GenericRookObject.h"

namespace rookclient {

using namespace platform::com;

CommandBlock::CommandBlock(uint32_t command, size_t size, uint32_t replyWindow) {
    if (size < kHeaderSize || size > UINT32_MAX) {
        return;
    }
    handle_ = GlobalAlloc(kBlockAllocFlags, size);
    bytes_ = static_cast<uint8_t*>(GlobalLock(handle_));
    if (!bytes_) {
        GlobalFree(handle_);
        handle_ = nullptr;
        return;
    }
    size_ = size;
    StoreLE32(bytes_, kCommandOffset, command);
    StoreLE32(bytes_, kReplyWindowOffset, replyWindow);
    StoreLE32(bytes_, kBlockSizeOffset, static_cast<uint32_t>(size));
}

CommandBlock::~CommandBlock() {
    Seal();
    GlobalFree(handle_);
}

HGLOBAL CommandBlock::Seal() {
    if (bytes_) {
        GlobalUnlock(handle_);
        bytes_ = nullptr;
    }
    return handle_;
}

bool CommandBlock::PutU32(size_t offset, uint32_t value) {
    if (!bytes_ || offset > size_ || size_ - offset < 4) {
        return false;
    }
    StoreLE32(bytes_, offset, value);
    return true;
}

bool CommandBlock::PutBytes(size_t offset, const void* bytes, size_t count) {
    if (!bytes_ || offset > size_ || size_ - offset < count) {
        return false;
    }
    if (count) {
        std::memcpy(bytes_ + offset, bytes, count);
    }
    return true;
}

namespace {

// Bytes of the UTF-8 character that `lead` starts; 1 for anything that cannot start one,
// which is then copied as the single byte it is.
size_t CharacterLength(uint8_t lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    if (lead >= 0xC2) {
        return 2;
    }
    return 1;
}

// How many bytes of `name` go into `width` bytes: up to its first terminator, whole
// characters only (a character that would cross the field's end is left out).
size_t FittingLength(std::string_view name, size_t width) {
    const size_t end = std::min(name.find('\0'), name.size());
    size_t used = 0;
    while (used < end) {
        size_t n = CharacterLength(static_cast<uint8_t>(name[used]));
        if (n > end - used) {
            n = 1;  // a character cut short by the name's end: its bytes go as they stand
        }
        if (n > width - used) {
            break;
        }
        used += n;
    }
    return used;
}

}  // namespace

bool CommandBlock::PutName(size_t offset, size_t width, std::string_view name) {
    if (!bytes_ || offset > size_ || size_ - offset < width) {
        return false;
    }
    const size_t length = FittingLength(name, width);
    std::memcpy(bytes_ + offset, name.data(), length);
    return true;
}

bool CommandBlock::PutString(size_t offset, std::string_view text) {
    const size_t length = text.find('\0') == std::string_view::npos ? text.size() : text.find('\0');
    if (!bytes_ || offset > size_ || size_ - offset < length + 1) {
        return false;
    }
    std::memcpy(bytes_ + offset, text.data(), length);
    bytes_[offset + length] = 0;
    return true;
}

namespace detail {

// One send: build and fill the block, then SendData, bracketed by StopAdvise and
// StartAdvise(readNow) when `resubscribe` is set. Nothing is sent when the block cannot be made.
HRESULT Send(CGenericRookObject& proxy, uint32_t command, size_t size, uint32_t replyWindow,
             const Fill& fill, bool resubscribe, int readNow) {
    CommandBlock block(command, size, replyWindow);
    if (!block.Valid()) {
        return RPC_S_SERVER_UNAVAILABLE;
    }
    if (fill) {
        fill(block);
    }
    HGLOBAL handle = block.Seal();
    if (resubscribe) {
        proxy.StopAdvise();
    }
    const HRESULT hr = proxy.SendData(handle);
    if (resubscribe) {
        proxy.StartAdvise(readNow);
    }
    return hr;
}

}  // namespace detail

using detail::Send;

void Attach(CGenericRookObject& proxy, uint32_t command, int readNow, size_t size,
            const Fill& fill) {
    Send(proxy, command, size, 0, fill, true, readNow);
}

HRESULT Command(CGenericRookObject& proxy, uint32_t command, size_t size, uint32_t replyWindow,
                const Fill& fill) {
    return Send(proxy, command, size, replyWindow, fill, false, 0);
}

HRESULT Request(CGenericRookObject& proxy, uint32_t command, size_t size, uint32_t replyWindow,
                const Fill& fill) {
    return Send(proxy, command, size, replyWindow, fill, true, 1);
}

}  // namespace rookclient

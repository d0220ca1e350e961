// Movable global memory blocks: the unit in which data travels to and from the object server.
// A handle stays valid until GlobalFree; GlobalLock gives its bytes (the same address every
// time here, since nothing moves them), GlobalSize its size.
#pragma once

#include <cstddef>

#include "platform/com/types.h"

namespace platform::com {

// A zero-filled block of `bytes` bytes (a 0-byte block is a valid handle of size 0); null
// when memory runs out.
HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
// The block's bytes, null for a null or freed handle. Locks nest.
void* GlobalLock(HGLOBAL block);
// TRUE while the block is still locked after this call.
BOOL GlobalUnlock(HGLOBAL block);
// Null on success, the handle itself when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL block);
// 0 for a null or freed handle.
size_t GlobalSize(HGLOBAL block);

}  // namespace platform::com

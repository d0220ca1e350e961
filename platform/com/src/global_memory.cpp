#include "platform/com/global_memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

namespace platform::com {
namespace {

// A block: its header precedes the bytes. Handles are checked against the set of live blocks
// so that a stale or foreign handle is refused instead of read.
struct Block {
    size_t size;
    int locks;
};

std::mutex& LiveMutex() {
    static std::mutex m;
    return m;
}
std::unordered_set<Block*>& Live() {
    static auto* live = new std::unordered_set<Block*>;  // outlives static destructors
    return *live;
}

Block* Find(HGLOBAL handle) {
    auto* block = static_cast<Block*>(handle);
    return block && Live().count(block) ? block : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(unsigned /*flags*/, size_t bytes) {
    if (bytes > (size_t{1} << 31)) {
        return nullptr;
    }
    void* raw = std::calloc(1, sizeof(Block) + bytes);
    if (!raw) {
        return nullptr;
    }
    auto* block = new (raw) Block{bytes, 0};
    std::lock_guard lock(LiveMutex());
    Live().insert(block);
    return block;
}

void* GlobalLock(HGLOBAL handle) {
    std::lock_guard lock(LiveMutex());
    Block* block = Find(handle);
    if (!block) {
        return nullptr;
    }
    ++block->locks;
    return block + 1;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    std::lock_guard lock(LiveMutex());
    Block* block = Find(handle);
    if (!block || block->locks == 0) {
        return 0;
    }
    return --block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    if (!handle) {
        return nullptr;
    }
    {
        std::lock_guard lock(LiveMutex());
        Block* block = Find(handle);
        if (!block) {
            return handle;
        }
        Live().erase(block);
    }
    std::free(handle);
    return nullptr;
}

size_t GlobalSize(HGLOBAL handle) {
    std::lock_guard lock(LiveMutex());
    Block* block = Find(handle);
    return block ? block->size : 0;
}

}  // namespace platform::com

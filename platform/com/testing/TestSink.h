// An advise sink that keeps what it is pushed and on which thread, and frees each block.
#pragma once

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com/global_memory.h"
#include "platform/com/interfaces.h"

namespace platform::com::testing {

struct TestSink : IAdviseSink {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<std::thread::id> threads;
    std::vector<FORMATETC> formats;
    std::atomic<int> refs{0};
    std::function<void()> onPush;

    size_t count() {
        std::lock_guard lock(mutex);
        return blocks.size();
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IAdviseSink) {
            *out = static_cast<IAdviseSink*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    void OnDataChange(FORMATETC* format, STGMEDIUM* medium) override {
        const size_t size = GlobalSize(medium->hGlobal);
        auto* bytes = static_cast<const uint8_t*>(GlobalLock(medium->hGlobal));
        {
            std::lock_guard lock(mutex);
            blocks.emplace_back(bytes, bytes + size);
            threads.push_back(std::this_thread::get_id());
            formats.push_back(*format);
        }
        GlobalUnlock(medium->hGlobal);
        GlobalFree(medium->hGlobal);
        if (onPush) {
            onPush();
        }
    }
    void OnViewChange(DWORD, int32_t) override {}
    void OnRename(void*) override {}
    void OnSave() override {}
    void OnClose() override {}
};

}  // namespace platform::com::testing

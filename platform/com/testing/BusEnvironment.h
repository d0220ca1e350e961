// What the bus tests share: one private bus and one temporary registry for the whole test
// program, a class id mapped to a bus name, and a server object that records its calls.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/class_server.h"
#include "platform/com/loop.h"

namespace platform::com::testing {

inline constexpr CLSID kTestClass{0x5E1F7E57, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

// A bus name no other test program on the same bus uses.
std::string UniqueBusName(const char* stem);
// Writes the class-to-bus-name mapping into the machine hive.
void MapClass(const CLSID& clsid, const std::string& busName);

// A server instance whose answers tests set and whose calls they read (serving thread only).
struct ScriptedInstance : ServerInstance {
    std::vector<std::vector<uint8_t>> received;
    std::vector<FORMATETC> formats;
    std::optional<std::vector<uint8_t>> image;
    HRESULT getResult = S_OK;
    HRESULT adviseResult = S_OK;
    std::function<void()> beforeGetAnswer;  // runs inside GetData, before it answers

    HRESULT SetData(const FORMATETC& format, std::span<const uint8_t> block) override {
        formats.push_back(format);
        received.emplace_back(block.begin(), block.end());
        return S_OK;
    }
    HRESULT GetData(const FORMATETC&, std::optional<std::vector<uint8_t>>& block) override {
        if (beforeGetAnswer) {
            beforeGetAnswer();
        }
        block = image;
        return getResult;
    }
    HRESULT Advise(const FORMATETC&, DWORD) override { return adviseResult; }
};

// Processes the calling thread's connection until `done` holds or `limit` passes.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace platform::com::testing

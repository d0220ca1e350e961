// Command blocks of the automation proxies: "AutomationDataRook" (events of a mix pass moved
// between a client and the server) and "AutomationRook" (one watched and written control).
#pragma once

#include <cstdint>
#include <span>

#include <objectkit/AutomationEvent.h>
#include <objectkit/AutomationEventArray.h>
#include <objectkit/EventFilter.h>

#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

// A window handle as the block's replyWindow carries it; 0 = no window.
using WindowHandle = uint32_t;

// The 24-byte wire record of one automation event: 0x00010000, time stamp, flags (widened),
// path, module, control, old value, value, two reserved zero bytes.
inline constexpr size_t kEventRecordSize = 24;
void PutEventRecord(CommsBlock& block, size_t offset, const CAutomationEvent& event);

namespace automation_data {

inline constexpr size_t kBlockSize = 2616;
inline constexpr uint32_t kAttach = 38;
inline constexpr uint32_t kAddAutoEvents = 39;
inline constexpr uint32_t kModifyAutoEvents = 40;
inline constexpr uint32_t kDeleteAutoEvent = 41;
inline constexpr uint32_t kGotoEvent = 106;
inline constexpr uint32_t kBrowseAutomationData = 122;
inline constexpr uint32_t kCreateNewPass = 123;

inline constexpr size_t kFilterAt = 16;
inline constexpr size_t kPathCountAt = 20;
inline constexpr size_t kPathsAt = 24;
inline constexpr size_t kMaxPaths = 648;  // the path list runs to the block's end
inline constexpr size_t kGotoAt = 2024;
inline constexpr size_t kIndicesAt = 2028;
inline constexpr size_t kBrowseAt = 2116;
inline constexpr size_t kCountAt = 2124;
inline constexpr size_t kRecordsAt = 2136;
inline constexpr size_t kMaxEvents = 20;

// Attach to one path (-1 = no path: 0 at 20, -1 at 24).
CommsBlock ADAttach(AutomationEventFilterStructure filter, int32_t path);
// Attach to a list of paths; at most 648 are sent and the count says how many were.
CommsBlock ADAttach(AutomationEventFilterStructure filter, std::span<const int32_t> paths);
// Events 0 .. n-1 with n = the smaller of the array's size and 20.
CommsBlock AddAutoEvents(const CAutomationEventArray& events, WindowHandle window);
// The first n indices and events 0 .. n-1. n is the smallest of the index count, the event
// count and 20: an index without an event to go with it is not sent, so a short array is never
// read past its end.
CommsBlock ModifyAutoEvents(std::span<const int32_t> indices, const CAutomationEventArray& events);
CommsBlock DeleteAutoEvent(std::span<const int32_t> indices);
CommsBlock GotoEvent(uint32_t a, int32_t b, WindowHandle window);
CommsBlock BrowseAutomationData(int32_t a, int32_t b, WindowHandle window);
CommsBlock CreateNewPass(WindowHandle window);

}  // namespace automation_data

namespace automation {

inline constexpr size_t kBlockSize = 32;
inline constexpr uint32_t kSetPPC = 0;  // the attach
inline constexpr uint32_t kSetValue = 1;

// The control that an "AutomationRook" proxy watches: the triple SetPPC stores and SetValue
// carries. All 0 until the first SetPPC.
struct PPCState {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;

    // Stores the triple and gives the attach block (a, b, c at 16, 20, 24).
    CommsBlock SetPPC(int32_t newA, int32_t newB, int32_t newC, WindowHandle window);
    void GetPPC(int32_t& outA, int32_t& outB, int32_t& outC) const {
        outA = a;
        outB = b;
        outC = c;
    }
    // The stored triple and the value sign-extended to 32 bits at 28.
    CommsBlock SetValue(int16_t value, WindowHandle window) const;
};

}  // namespace automation

}  // namespace rookclient::model

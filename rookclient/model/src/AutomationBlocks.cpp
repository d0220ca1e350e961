#include "rookclient/model/AutomationBlocks.h"

#include <algorithm>

namespace rookclient::model {

void PutEventRecord(CommsBlock& block, size_t offset, const CAutomationEvent& event) {
    block.PutU32(offset + 0, 0x00010000u);
    block.PutI32(offset + 4, event.timeStamp);
    block.PutU32(offset + 8, event.flags);
    block.PutI32(offset + 12, event.path);
    block.PutU8(offset + 16, event.module);
    block.PutU8(offset + 17, event.control);
    block.PutU16(offset + 18, event.oldValue);
    block.PutU16(offset + 20, event.value);
    block.PutU16(offset + 22, 0);
}

namespace automation_data {
namespace {

void PutWords(CommsBlock& block, size_t offset, std::span<const int32_t> words) {
    for (size_t i = 0; i < words.size(); ++i) {
        block.PutI32(offset + 4 * i, words[i]);
    }
}

void PutEvents(CommsBlock& block, const CAutomationEventArray& events, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        PutEventRecord(block, kRecordsAt + kEventRecordSize * i, events[static_cast<int>(i)]);
    }
}

size_t EventCount(const CAutomationEventArray& events) {
    return static_cast<size_t>(std::max(events.GetSize(), 0));
}

}  // namespace

CommsBlock ADAttach(AutomationEventFilterStructure filter, int32_t path) {
    CommsBlock block(kAttach, kBlockSize);
    block.PutU32(kFilterAt, filter.flags);
    block.PutU32(kPathCountAt, path == -1 ? 0 : 1);
    block.PutI32(kPathsAt, path);
    return block;
}

CommsBlock ADAttach(AutomationEventFilterStructure filter, std::span<const int32_t> paths) {
    CommsBlock block(kAttach, kBlockSize);
    const auto sent = paths.first(std::min(paths.size(), kMaxPaths));
    block.PutU32(kFilterAt, filter.flags);
    block.PutU32(kPathCountAt, static_cast<uint32_t>(sent.size()));
    PutWords(block, kPathsAt, sent);
    return block;
}

CommsBlock AddAutoEvents(const CAutomationEventArray& events, WindowHandle window) {
    CommsBlock block(kAddAutoEvents, kBlockSize, window);
    const size_t count = std::min(EventCount(events), kMaxEvents);
    block.PutU32(kCountAt, static_cast<uint32_t>(count));
    PutEvents(block, events, count);
    return block;
}

CommsBlock ModifyAutoEvents(std::span<const int32_t> indices, const CAutomationEventArray& events) {
    CommsBlock block(kModifyAutoEvents, kBlockSize);
    const size_t count = std::min({indices.size(), EventCount(events), kMaxEvents});
    block.PutU32(kCountAt, static_cast<uint32_t>(count));
    PutEvents(block, events, count);
    PutWords(block, kIndicesAt, indices.first(count));
    return block;
}

CommsBlock DeleteAutoEvent(std::span<const int32_t> indices) {
    CommsBlock block(kDeleteAutoEvent, kBlockSize);
    const auto sent = indices.first(std::min(indices.size(), kMaxEvents));
    block.PutU32(kCountAt, static_cast<uint32_t>(sent.size()));
    PutWords(block, kIndicesAt, sent);
    return block;
}

CommsBlock GotoEvent(uint32_t a, int32_t b, WindowHandle window) {
    CommsBlock block(kGotoEvent, kBlockSize, window);
    block.PutU32(kGotoAt, a);
    block.PutI32(kCountAt, b);
    return block;
}

CommsBlock BrowseAutomationData(int32_t a, int32_t b, WindowHandle window) {
    CommsBlock block(kBrowseAutomationData, kBlockSize, window);
    block.PutI32(kBrowseAt, a);
    block.PutI32(kCountAt, b);
    return block;
}

CommsBlock CreateNewPass(WindowHandle window) {
    return CommsBlock(kCreateNewPass, kHeaderSize, window);
}

}  // namespace automation_data

namespace automation {
namespace {

CommsBlock TripleBlock(uint32_t command, const PPCState& ppc, WindowHandle window) {
    CommsBlock block(command, kBlockSize, window);
    block.PutI32(16, ppc.a);
    block.PutI32(20, ppc.b);
    block.PutI32(24, ppc.c);
    return block;
}

}  // namespace

CommsBlock PPCState::SetPPC(int32_t newA, int32_t newB, int32_t newC, WindowHandle window) {
    a = newA;
    b = newB;
    c = newC;
    return TripleBlock(kSetPPC, *this, window);
}

CommsBlock PPCState::SetValue(int16_t value, WindowHandle window) const {
    CommsBlock block = TripleBlock(kSetValue, *this, window);
    block.PutI32(28, value);
    return block;
}

}  // namespace automation

}  // namespace rookclient::model

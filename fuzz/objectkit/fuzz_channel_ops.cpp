// Channel operations on arbitrary arrays and selections. After every operation the array is
// in time order and the events of paths outside the operation's reach are exactly as before,
// in the same order.
#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    int16_t s16() { return static_cast<int16_t>(u8() | u8() << 8); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::vector<CAutomationEvent> Outside(const CAutomationEventArray& a,
                                      const std::vector<int32_t>& reach, bool allPaths) {
    std::vector<CAutomationEvent> out;
    if (allPaths) {
        return out;
    }
    for (const auto& e : a) {
        if (std::find(reach.begin(), reach.end(), e.path) == reach.end()) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A private, empty registry: defaults for max paths mode and card link type.
    const auto dir = std::filesystem::temp_directory_path() / "objectkit-fuzz-registry";
    std::filesystem::create_directories(dir);
    setenv("KESTANE_REGISTRY_DIR", dir.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    objectkit::SetConsoleTypeForTests(1 + in.u8() % 7);
    const int op = in.u8() % 5;
    const int routeBase = 24 + in.u8() % 16;

    CAutomationEventArray a;
    CEventFilter& s = a.ChannelSelection();
    const int pathCount = in.u8() % 4;
    for (int i = 0; i < pathCount; ++i) {
        s.paths.push_back(in.u8() % 8 - 1);
    }
    const int controlCount = in.u8() % 4;
    for (int i = 0; i < controlCount; ++i) {
        s.allowedControls.push_back(CEventFilter::MakeControlEntry(in.u8() % 64, in.u8() % 10));
    }
    s.startTime = in.s16();
    s.endTime = in.s16();
    s.destinationTime = in.s16();
    const short src = static_cast<short>(in.u8() % 9 - 1);
    const short dst = static_cast<short>(in.u8() % 8);
    const auto d1 = static_cast<TimeDirection>(in.u8() % 4);
    const auto d2 = static_cast<TimeDirection>(in.u8() % 4);
    const int offset = in.s16();
    const int keep = in.u8() & 1;
    const int restore = in.u8() & 1;
    const short first = static_cast<short>(in.u8() % 9 - 1);
    const short last = static_cast<short>(in.u8() % 9 - 1);

    CAutomationEventArray other;
    while (!in.empty()) {
        CAutomationEvent e;
        e.timeStamp = in.s16();
        e.path = in.u8() % 8 - 1;
        e.module = in.u8() % 64;
        e.control = in.u8() % 10;
        e.value = static_cast<uint16_t>(in.s16());
        e.flags = in.u8();
        (in.u8() & 1 ? other : a).AddAtTime(e);
    }

    // The paths an operation may change.
    std::vector<int32_t> reach = s.paths;
    bool allPaths = s.paths.empty();
    if (op >= 3 && src >= 0) {
        reach = {dst};
        allPaths = false;
    }
    const auto before = Outside(a, reach, allPaths);
    const CPathMap map({0, 2, 2, 2, 4, 4});
    switch (op) {
        case 0:
            a.IsolateChannelData(routeBase, map);
            break;
        case 1:
            a.EraseChannelData(routeBase, map);
            break;
        case 2:
            a.EraseChannelData(first, last, d1, routeBase, map);
            break;
        case 3:
            a.CopyChannelData(src, dst, d1, d2, routeBase, map);
            break;
        default:
            a.MergeChannelData(other, src, dst, d1, d2, routeBase, map, offset, keep, restore, 0);
            break;
    }
    for (int i = 1; i < a.GetSize(); ++i) {
        if (a[i - 1].timeStamp > a[i].timeStamp) {
            std::abort();  // time order lost
        }
    }
    const auto after = Outside(a, reach, allPaths);
    if (op == 0) {
        if (!after.empty()) {
            std::abort();  // isolate keeps only the selection
        }
    } else if (after != before) {
        std::abort();  // an unselected path was changed
    }
    objectkit::SetConsoleTypeForTests(0);
    return 0;
}

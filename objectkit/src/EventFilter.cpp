#include <objectkit/EventFilter.h>

#include <algorithm>

#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>

namespace {

using Group = CEventFilter::Group;

constexpr int32_t kAll9 = 0x1FF;

// The fixed group table. Entries 0-50 serve the large layout, 51-62 the small layout; route
// modules are added from the filter's route range and need no entry; the rest stay unused.
constexpr std::array<Group, CEventFilter::kGroupCount> MakeGroups() {
    std::array<Group, CEventFilter::kGroupCount> g{};
    int i = 0;
    auto add = [&](int32_t module, int32_t mask) { g[i++] = Group{module, mask}; };
    // Large layout.
    add(0, kAll9);  // 0-5   bit 0: input, inserts, outputs, pan
    add(15, 0x7F);
    add(16, 0x7F);
    add(17, 0x7F);
    add(18, 0x7F);
    add(21, kAll9);
    add(14, 0x4B);  // 6     bit 1: fader level, trim, offset, null
    add(14, 0x04);  // 7     bit 2: fader mute
    for (int m = 1; m <= 8; ++m)
        add(m, 0x1AF);  // 8-15  bit 3: EQ settings
    add(9, 0x2B);
    add(10, 0x2B);  // 16-17 bit 3: filter settings
    add(11, 0xFF);
    add(12, 0xFF);
    add(13, 0xFF);
    add(19, 0xFF);  // 18-21 bit 5: dynamics
    add(20, 0x1AF);
    add(22, 0x3F);
    add(23, 0x07);  // 22-24 bit 5
    for (int m = 1; m <= 8; ++m)
        add(m, 0x80);  // 25-32 bit 6: EQ in/out
    add(9, 0x20);
    add(10, 0x20);  // 33-34 bit 6: filter in/out
    add(11, 0x01);
    add(12, 0x01);
    add(13, 0x01);
    add(19, 0x01);
    add(22, 0x01);   // 35-39 bit 7
    add(20, 0x80);   // 40    bit 7
    add(21, 0x1EF);  // 41    bit 10: pan
    add(0, 0x06);    // 42    bit 11: input phase
    add(0, 0x40);    // 43    bit 12: input switch
    for (int m = 24; m <= 30; ++m)
        add(m, kAll9);  // 44-50 bit 14: stem routing
    // Small layout. Bit 22 stands for the auxiliaries, and the console has eight of them:
    // module 3 controls 1-8 are "Aux1" to "Aux8" (control 0 is the input select of bit 21).
    // Group 61 therefore takes all eight; leaving out control 8 would hide Aux8 moves from
    // every view and edit that selects the auxiliaries, while a console without an eighth
    // auxiliary simply has no such events to pass.
    add(0, 0x07);  // 51    bit 1: fader level, trim, mute
    add(0, 0x04);
    add(2, 0x10);
    add(1, 0x04);   // 52-54 mutes and fader cut
    add(2, 0x01);   // 55    bit 3: EQ in/out
    add(0, 0x03);   // 56    bit 15: fader level and trim
    add(1, 0x07);   // 57    bit 16: small fader
    add(2, 0x0C);   // 58    bit 17: cut A and B
    add(2, 0x02);   // 59    bit 20: insert in/out
    add(3, 0x01);   // 60    bit 21: input select
    add(3, 0x1FE);  // 61    bit 22: auxiliaries 1-8
    add(4, 0x0F);   // 62    bit 23: pan
    return g;
}

constexpr std::array<Group, CEventFilter::kGroupCount> kGroups = MakeGroups();

struct GroupSpan {
    int bit;
    int first;
    int count;
};

// Large layout: flag bit -> groups (route bits 8, 9 and 13 are handled apart).
constexpr GroupSpan kLargeSpans[] = {
    {0, 0, 6},  {1, 6, 1},   {2, 7, 1},   {3, 8, 10},  {5, 18, 7},  {6, 25, 10},
    {7, 35, 6}, {10, 41, 1}, {11, 42, 1}, {12, 43, 1}, {14, 44, 7},
};

}  // namespace

CEventFilter::CEventFilter() {
    Setup();
}

CEventFilter::CEventFilter(const CEventFilter& other)
    : startTime(other.startTime),
      endTime(other.endTime),
      destinationTime(other.destinationTime),
      paths(other.paths),
      userData(other.userData),
      routeModuleStart(other.routeModuleStart),
      routeModuleEnd(other.routeModuleEnd),
      allowedControls(other.allowedControls) {
    Setup();
}

CEventFilter& CEventFilter::operator=(const CEventFilter& other) {
    startTime = other.startTime;
    endTime = other.endTime;
    destinationTime = other.destinationTime;
    paths = other.paths;
    userData = other.userData;
    routeModuleStart = other.routeModuleStart;
    routeModuleEnd = other.routeModuleEnd;
    allowedControls = other.allowedControls;
    return *this;
}

void CEventFilter::Setup() {
    groups_ = kGroups;
}

void CEventFilter::Clear() {
    startTime = -1;
    endTime = -1;
    destinationTime = -1;
    paths.clear();
    userData.clear();
    allowedControls.clear();
}

void CEventFilter::AddControls(int module, int32_t mask) {
    for (int control = 0; control < 9; ++control) {
        if (mask & (1 << control)) {
            allowedControls.push_back(MakeControlEntry(module, control));
        }
    }
}

void CEventFilter::AddGroup(int index) {
    AddControls(groups_[index].module, groups_[index].controlMask);
}

void CEventFilter::TranslateFilter(AutomationEventFilterStructure filter) {
    TranslateFilterForConsole(filter, objectkit::ConsoleType());
}

void CEventFilter::TranslateFilterForConsole(AutomationEventFilterStructure filter,
                                             int consoleType) {
    allowedControls.clear();
    if (consoleType < 1 || consoleType > 7) {
        return;
    }
    if (!objectkit::IsSmallLayout(consoleType)) {
        for (const GroupSpan& span : kLargeSpans) {
            if (filter.Has(span.bit)) {
                for (int i = 0; i < span.count; ++i) {
                    AddGroup(span.first + i);
                }
            }
        }
        // Route modules of the owner's range: bit 13 takes all four controls; bits 8 and 9
        // pick controls 0 and 3 only when bit 13 is clear.
        const int first = std::max(routeModuleStart, 0);
        const int end = std::min(routeModuleEnd, 256);
        for (int module = first; module < end; ++module) {
            if (filter.Has(13)) {
                AddControls(module, 0x0F);
                continue;
            }
            if (filter.Has(8)) {
                AddControls(module, 0x01);
            }
            if (filter.Has(9)) {
                AddControls(module, 0x08);
            }
        }
        return;
    }
    // Small layout (types 1 and 6).
    auto muteGroup = [this] {
        AddGroup(52);
        AddGroup(53);
        AddGroup(54);
    };
    if (filter.Has(1)) {
        AddGroup(51);
        muteGroup();
    } else {
        if (filter.Has(2)) {
            muteGroup();
        }
        if (filter.Has(15)) {
            AddGroup(56);
        }
    }
    if (filter.Has(3))
        AddGroup(55);
    if (filter.Has(16))
        AddGroup(57);
    if (filter.Has(17))
        AddGroup(58);
    if (filter.Has(20))
        AddGroup(59);
    if (consoleType == 6) {
        if (filter.Has(21))
            AddGroup(60);
        if (filter.Has(22))
            AddGroup(61);
        if (filter.Has(23))
            AddGroup(62);
    }
}

bool CEventFilter::PathSelected(int32_t path) const {
    return paths.empty() || std::find(paths.begin(), paths.end(), path) != paths.end();
}

bool CEventFilter::ControlAllowed(int module, int control) const {
    if (allowedControls.empty()) {
        return true;
    }
    const uint16_t entry = MakeControlEntry(module, control);
    return std::find(allowedControls.begin(), allowedControls.end(), entry) !=
           allowedControls.end();
}

bool CEventFilter::Passes(const CAutomationEvent& event) const {
    return PathSelected(event.path) && ControlAllowed(event.module, event.control);
}

// --- Queries of CAutomationEventArray ----------------------------------------------------

namespace {

// A filter prepared for a walk: path list and allowed controls as lookup tables, so that the
// cost per event does not grow with the size of the lists.
class Matcher {
  public:
    explicit Matcher(const CEventFilter& filter)
        : allPaths_(filter.paths.empty()), allControls_(filter.allowedControls.empty()) {
        if (!allPaths_) {
            paths_ = filter.paths;
            std::sort(paths_.begin(), paths_.end());
            paths_.erase(std::unique(paths_.begin(), paths_.end()), paths_.end());
            // Console paths are small numbers: a bitmap answers in one load.
            if (paths_.front() >= 0 && paths_.back() < kBitmapLimit) {
                pathBitmap_.assign(static_cast<size_t>(paths_.back()) + 1, 0);
                for (int32_t p : paths_) {
                    pathBitmap_[static_cast<size_t>(p)] = 1;
                }
            }
        }
        if (!allControls_) {
            controls_.assign(1u << 16, 0);
            for (uint16_t entry : filter.allowedControls) {
                controls_[entry] = 1;
            }
        }
    }
    bool Passes(const CAutomationEvent& e) const {
        if (!allControls_ && !controls_[CEventFilter::MakeControlEntry(e.module, e.control)]) {
            return false;
        }
        if (allPaths_) {
            return true;
        }
        if (!pathBitmap_.empty()) {
            return e.path >= 0 && static_cast<size_t>(e.path) < pathBitmap_.size() &&
                   pathBitmap_[static_cast<size_t>(e.path)];
        }
        return std::binary_search(paths_.begin(), paths_.end(), e.path);
    }

  private:
    static constexpr int32_t kBitmapLimit = 1 << 20;
    bool allPaths_;
    bool allControls_;
    std::vector<int32_t> paths_;
    std::vector<uint8_t> pathBitmap_;
    std::vector<uint8_t> controls_;
};

// The first index a forward walk examines: the first event at or after the start time. When
// every event is earlier than the start time there is none (the look-up answers with the last
// index, whose event lies before the window).
int ForwardStart(const CAutomationEventArray& array, const CEventFilter& filter) {
    const int index = array.GetAtTime(filter.startTime, 0);
    if (filter.startTime >= 0 && array[index].timeStamp < filter.startTime) {
        return array.GetSize();
    }
    return index;
}

void ResolveEnd(const CAutomationEventArray& array, CEventFilter& filter) {
    if (filter.endTime == -1) {
        filter.endTime = array[array.GetSize() - 1].timeStamp;
    }
}

}  // namespace

unsigned int CAutomationEventArray::GetFilteredTotal(CEventFilter& filter,
                                                     std::vector<int>* indices) const {
    if (indices != nullptr) {
        indices->clear();
    }
    if (size_ == 0) {
        return 0;
    }
    const int start = ForwardStart(*this, filter);
    ResolveEnd(*this, filter);
    const Matcher matcher(filter);
    const int32_t end = filter.endTime;
    unsigned int count = 0;
    for (int i = start; i < size_ && data_[i].timeStamp <= end; ++i) {
        if (matcher.Passes(data_[i])) {
            if (indices != nullptr) {
                indices->push_back(i);
            }
            ++count;
        }
    }
    if (indices != nullptr && count == 0) {
        indices->shrink_to_fit();
    }
    return count;
}

int CAutomationEventArray::GetAllFilteredEvents(CEventFilter& filter,
                                                CAutomationEventArray& out) const {
    out.RemoveAll();
    if (size_ == 0) {
        return 0;
    }
    const int start = ForwardStart(*this, filter);
    ResolveEnd(*this, filter);
    const Matcher matcher(filter);
    int count = 0;
    for (int i = start; i < size_ && data_[i].timeStamp <= filter.endTime; ++i) {
        if (matcher.Passes(data_[i])) {
            out.Add(data_[i]);
            ++count;
        }
    }
    return count;
}

int CAutomationEventArray::GetFilteredEvents(CEventFilter& filter, int maxCount, int& first,
                                             int& position, CAutomationEventArray& out,
                                             int forward) const {
    if (size_ == 0) {
        return 0;
    }
    out.RemoveAll();
    int index;
    if (position >= 1) {
        index = position;
    } else {
        index = forward ? ForwardStart(*this, filter) : GetAtTime(filter.startTime, 0);
    }
    ResolveEnd(*this, filter);
    const Matcher matcher(filter);
    const int step = forward ? 1 : -1;
    int count = 0;
    while (index >= 0 && index < size_ && count < maxCount &&
           data_[index].timeStamp <= filter.endTime) {
        if (matcher.Passes(data_[index])) {
            out.Add(data_[index]);
            if (count == 0) {
                first = index;
            }
            ++count;
        }
        index += step;
    }
    position = index;
    if (forward) {
        return count;
    }
    // The next backward page starts from the stop index; this page is shown in time order.
    position = count > 0 ? first : index;
    first = index;
    out.Sort(SortByTime);
    return count;
}

int CAutomationEventArray::GetFilteredEvents(CEventFilter& filter, int maxCount, int& position,
                                             CAutomationEventArray& out, int forward) const {
    int first = 0;
    return GetFilteredEvents(filter, maxCount, first, position, out, forward);
}

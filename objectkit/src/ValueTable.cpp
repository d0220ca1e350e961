#include "ValueTable.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <objectkit/ControlRanges.h>
#include <objectkit/Settings.h>
#include <objectkit/StatusMessages.h>

namespace objectkit {

Selection::Selection(const CEventFilter& filter, int firstPath, int lastPath)
    : allPaths_(filter.paths.empty()),
      paths_(filter.paths),
      firstPath_(firstPath),
      lastPath_(lastPath),
      allControls_(filter.allowedControls.empty()) {
    std::sort(paths_.begin(), paths_.end());
    if (!allControls_) {
        allowed_.assign(1u << 16, false);
        for (uint16_t entry : filter.allowedControls) {
            const int module = entry & 0xFF;
            const int control = entry >> 8;
            allowed_[static_cast<size_t>(module) << 8 | control] = true;
        }
    }
}

Selection Selection::SinglePath(const CEventFilter& filter, int32_t path) {
    Selection selection(filter, -1, -1);
    if (!selection.PathSelected(path)) {
        selection.paths_.clear();  // selects nothing
    } else {
        selection.paths_.assign(1, path);
    }
    selection.allPaths_ = false;
    return selection;
}

bool Selection::PathSelected(int32_t path) const {
    if (firstPath_ >= 0 && path < firstPath_) {
        return false;
    }
    if (lastPath_ >= 0 && path > lastPath_) {
        return false;
    }
    return allPaths_ || std::binary_search(paths_.begin(), paths_.end(), path);
}

ZeroedCells::ZeroedCells(size_t count)
    : data_(static_cast<int32_t*>(std::calloc(count == 0 ? 1 : count, sizeof(int32_t)))),
      count_(count) {
    if (data_ == nullptr) {
        throw std::bad_alloc();
    }
}

ZeroedCells::~ZeroedCells() {
    std::free(data_);
}

Replayer::Replayer(CAutomationEventArray& array, const ReplayContext& context, bool reportProgress)
    : array_(array),
      context_(context),
      reportProgress_(reportProgress && context.statusWnd != 0 && context.progressCode != 0),
      cells_(static_cast<size_t>(context.layout.cellCount())),
      generatedAt_(static_cast<size_t>(context.layout.cellCount())) {}

bool Replayer::AdmitsCell(bool pathSelected, int module, int control) const {
    switch (mode_) {
        case ReplayMode::All:
            return true;
        case ReplayMode::SelectedOnly:
            return pathSelected && context_.selection->ControlSelected(module, control);
        case ReplayMode::AllButSelected:
            return !(pathSelected && context_.selection->ControlSelected(module, control));
    }
    return false;
}

bool Replayer::Admits(const CAutomationEvent& e) const {
    if (mode_ == ReplayMode::All || context_.selection == nullptr) {
        return true;
    }
    return AdmitsCell(context_.selection->PathSelected(e.path), e.module, e.control);
}

void Replayer::PlayTo(int32_t time) {
    if (time <= time_) {
        return;
    }
    time_ = time;
    const int size = array_.GetSize();
    const CAutomationEvent* events = array_.GetData();
    int i = lastIndex_ + 1;
    for (; i < size && events[i].timeStamp <= time; ++i) {
        const int cell = context_.layout.Cell(events[i]);
        if (cell >= 0) {
            Set(cell, events[i].value);
        }
    }
    lastIndex_ = i - 1;
    ReportProgress();
}

void Replayer::ReportProgress() {
    if (!reportProgress_) {
        return;
    }
    const long percent = PercentOf(lastIndex_ + 1, array_.GetSize());
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        PostStatusMessage(context_.progressCode, percent);
    }
}

void Replayer::Set(int cell, uint16_t value) {
    int32_t& stored = cells_[static_cast<size_t>(cell)];
    if (stored == kUnknown) {
        known_.push_back(cell);
    }
    stored = value + 1;
}

void Replayer::FinishProgress() {
    if (reportProgress_ && lastPercent_ != 100) {
        lastPercent_ = 100;
        PostStatusMessage(context_.progressCode, 100);
    }
}

void Replayer::Append(const CAutomationEvent& e, int cell, bool generated) {
    const int index = array_.Add(e);
    if (cell < 0) {
        return;
    }
    const size_t c = static_cast<size_t>(cell);
    if (generated) {
        generatedAt_[c] = index + 1;
    } else if (generatedAt_[c] > 0) {
        // A generated value moved forward for phase alignment must not land after a real
        // change of the same control, or the stale value would win once sorted by time.
        CAutomationEvent& pending = array_[generatedAt_[c] - 1];
        if (pending.timeStamp > e.timeStamp) {
            pending.timeStamp = e.timeStamp;
        }
        generatedAt_[c] = 0;
    }
    Set(cell, e.value);
}

void Replayer::TransferFrom(const Replayer& other) {
    const CellLayout& layout = context_.layout;
    const bool align = context_.alignPhase && !layout.small();
    // Only cells that the other table knows can differ; visit them in table order (path by
    // path) so that the generated events come out in a stable order.
    std::vector<int32_t> cells = other.known_;
    std::sort(cells.begin(), cells.end());
    for (int32_t cell : cells) {
        const int32_t stored = other.cells_[static_cast<size_t>(cell)];
        if (stored == cells_[static_cast<size_t>(cell)]) {
            continue;
        }
        int32_t path = 0;
        int module = 0;
        int control = 0;
        layout.Decode(cell, path, module, control);
        if (context_.selection != nullptr &&
            !AdmitsCell(context_.selection->PathSelected(path), module, control)) {
            continue;
        }
        CAutomationEvent e;
        e.path = path;
        e.module = static_cast<uint8_t>(module);
        e.control = static_cast<uint8_t>(control);
        e.value = static_cast<uint16_t>(stored - 1);
        e.timeStamp = time_;
        if (align && time_ >= 1 &&
            IsContinuousControl(false, module, control, layout.routeModuleBase())) {
            const int64_t target = ((static_cast<int64_t>(context_.phase) + path) % 4 + 4) % 4;
            const int64_t shift = ((target - time_) % 4 + 4) % 4;
            e.timeStamp = static_cast<int32_t>(
                std::min<int64_t>(time_ + shift, std::numeric_limits<int32_t>::max()));
        }
        Append(e, cell, true);
    }
}

void Replayer::CopyRange(const Replayer& source, int first, int last, int64_t offset) {
    const CAutomationEventArray& from = source.array_;
    first = std::max(first, 0);
    last = std::min(last, from.GetSize() - 1);
    for (int i = first; i <= last; ++i) {
        CAutomationEvent e = from[i];
        if (!Admits(e)) {
            continue;
        }
        const int64_t time = static_cast<int64_t>(e.timeStamp) + offset;
        e.timeStamp = static_cast<int32_t>(std::clamp<int64_t>(
            time, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        Append(e, context_.layout.Cell(e), false);
    }
}

void SortByTimeStable(CAutomationEventArray& array) {
    auto less = [](const CAutomationEvent& a, const CAutomationEvent& b) {
        return a.timeStamp < b.timeStamp;
    };
    if (!std::is_sorted(array.begin(), array.end(), less)) {
        std::stable_sort(array.begin(), array.end(), less);
    }
}

}  // namespace objectkit

void CAutomationEventArray::SetOldValues(int routeModuleBase, const CPathMap& map) {
    using namespace objectkit;
    if (size_ == 0) {
        return;
    }
    const int consoleType = ConsoleType();
    const bool small = IsSmallLayout(consoleType);
    const int variant = DefaultsVariant(consoleType);
    const CellLayout layout(small, MaxPathCount(ReadMaxPathsMode()), routeModuleBase);

    std::vector<uint16_t> table(static_cast<size_t>(layout.cellCount()));
    // Defaults per channel kind, built once per kind rather than once per path.
    for (int32_t path = 0; path < layout.pathCount(); ++path) {
        const int kind = map.ChannelKindOfPath(path);
        if (small) {
            uint16_t* row = &table[static_cast<size_t>(layout.Cell(path, 0, 0))];
            for (int m = 0; m < 5; ++m) {
                for (int c = 0; c < 9; ++c) {
                    row[m * 9 + c] = SmallLayoutDefaultValue(kind, m, c);
                }
            }
            continue;
        }
        uint16_t* row = &table[static_cast<size_t>(layout.Cell(path, 0, 0))];
        for (int m = 0; m < 31; ++m) {
            for (int c = 0; c < 9; ++c) {
                row[m * 9 + c] = DefaultValue(variant, kind, m, c);
            }
        }
        uint16_t* routes = &table[static_cast<size_t>(layout.regionB() + path * 48 * 4)];
        for (int r = 0; r < 48; ++r) {
            for (int c = 0; c < 4; ++c) {
                routes[r * 4 + c] = RouteDefaultValue(c);
            }
        }
    }
    for (int i = 0; i < size_; ++i) {
        CAutomationEvent& e = data_[i];
        const int cell = layout.Cell(e);
        if (cell >= 0) {
            e.oldValue = table[static_cast<size_t>(cell)];
            table[static_cast<size_t>(cell)] = e.value;
        }
    }
}

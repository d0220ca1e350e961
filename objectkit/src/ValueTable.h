// The per-path table of control values behind SetOldValues and the channel operations, and
// the replayer that plays an event array into such a table. Internal to objectkit.
#pragma once

#include <cstdint>
#include <vector>

#include <objectkit/AutomationEventArray.h>

namespace objectkit {

// Where each control of each path lives in a value table. Large layout: modules 0-30 with nine
// controls (region A), then route modules (module - routeModuleBase below 48, controls 0-3;
// region B). Small layout: modules 0-4 with nine controls.
class CellLayout {
  public:
    static constexpr int kLargeCellsPerPath = 31 * 9;
    static constexpr int kRouteCellsPerPath = 48 * 4;
    static constexpr int kSmallCellsPerPath = 5 * 9;

    CellLayout(bool smallLayout, int pathCount, int routeModuleBase)
        : small_(smallLayout), pathCount_(pathCount), routeBase_(routeModuleBase) {}

    bool small() const { return small_; }
    int pathCount() const { return pathCount_; }
    int routeModuleBase() const { return routeBase_; }
    int regionB() const { return pathCount_ * kLargeCellsPerPath; }
    int cellCount() const {
        return small_ ? pathCount_ * kSmallCellsPerPath
                      : pathCount_ * (kLargeCellsPerPath + kRouteCellsPerPath);
    }

    // The cell of a control, -1 when the event has none (path out of range, module or control
    // outside the layout). Negative paths and route modules below the base have no cell.
    int Cell(int32_t path, int module, int control) const {
        if (path < 0 || path >= pathCount_) {
            return -1;
        }
        if (small_) {
            return module <= 4 && control < 9 ? (path * 5 + module) * 9 + control : -1;
        }
        if (module > 30) {
            const int route = module - routeBase_;
            if (route < 0 || route >= 48 || control > 3) {
                return -1;
            }
            return regionB() + (path * 48 + route) * 4 + control;
        }
        return control < 9 ? (path * 31 + module) * 9 + control : -1;
    }
    int Cell(const CAutomationEvent& e) const { return Cell(e.path, e.module, e.control); }

    // The control of a cell (the inverse of Cell).
    void Decode(int cell, int32_t& path, int& module, int& control) const {
        if (small_) {
            path = cell / kSmallCellsPerPath;
            module = cell % kSmallCellsPerPath / 9;
            control = cell % 9;
        } else if (cell < regionB()) {
            path = cell / kLargeCellsPerPath;
            module = cell % kLargeCellsPerPath / 9;
            control = cell % 9;
        } else {
            const int offset = cell - regionB();
            path = offset / kRouteCellsPerPath;
            module = routeBase_ + offset % kRouteCellsPerPath / 4;
            control = offset % 4;
        }
    }

  private:
    bool small_;
    int pathCount_;
    int routeBase_;
};

// Which events an operation works on: selected paths (optionally limited to a path range) and
// the controls the allowed-controls list admits.
class Selection {
  public:
    Selection() = default;  // admits everything
    Selection(const CEventFilter& filter, int firstPath, int lastPath);
    // Only `path` (if the filter's path list admits it), with the filter's controls.
    static Selection SinglePath(const CEventFilter& filter, int32_t path);

    bool PathSelected(int32_t path) const;
    bool ControlSelected(int module, int control) const {
        return allControls_ || allowed_[static_cast<size_t>(module) << 8 | control];
    }
    bool Selected(const CAutomationEvent& e) const {
        return PathSelected(e.path) && ControlSelected(e.module, e.control);
    }

  private:
    bool allPaths_ = true;
    std::vector<int32_t> paths_;  // sorted
    int firstPath_ = -1;          // range limits; negative = open
    int lastPath_ = -1;
    bool allControls_ = true;
    std::vector<bool> allowed_;  // module << 8 | control
};

enum class ReplayMode { All = 0, SelectedOnly = 1, AllButSelected = 2 };

// A zero-filled array from calloc: large tables come straight from zeroed pages, so a table of
// which an operation touches a few cells costs no fill.
class ZeroedCells {
  public:
    explicit ZeroedCells(size_t count);
    ~ZeroedCells();
    ZeroedCells(const ZeroedCells&) = delete;
    ZeroedCells& operator=(const ZeroedCells&) = delete;

    int32_t& operator[](size_t i) { return data_[i]; }
    int32_t operator[](size_t i) const { return data_[i]; }

  private:
    int32_t* data_;
    size_t count_;
};

struct ReplayContext {
    CellLayout layout;
    int phase = 0;           // the phase term of the array
    bool alignPhase = true;  // false when cards are linked
    const Selection* selection = nullptr;
    StatusWindowHandle statusWnd = 0;
    int progressCode = 0;  // posted while playing when a status window is set
};

// Plays an event array into a value table. Cells start unknown (no event has set them), so a
// control that the automation never touched is never written out.
class Replayer {
  public:
    Replayer(CAutomationEventArray& array, const ReplayContext& context, bool reportProgress);

    void SetMode(ReplayMode mode) { mode_ = mode; }
    int32_t Time() const { return time_; }
    int LastIndex() const { return lastIndex_; }
    CAutomationEventArray& Array() { return array_; }

    // Posts 100 percent if playing has not reached it (the operation is complete).
    void FinishProgress();
    // Applies every further event with a time stamp at most `time`.
    void PlayTo(int32_t time);
    // Sets the time for generated events without applying anything (output replayers keep
    // their table current as they append).
    void SetTime(int32_t time) { time_ = time; }
    // For every admitted cell that `other` knows and this table does not hold, takes the value
    // and appends an event at the current time (continuous controls phase-aligned).
    void TransferFrom(const Replayer& other);
    // Appends the admitted events of `source` with index in [first, last], time + offset.
    void CopyRange(const Replayer& source, int first, int last, int64_t offset);

  private:
    // Cells hold value + 1; 0 means no event has set the control.
    static constexpr int32_t kUnknown = 0;

    bool Admits(const CAutomationEvent& e) const;
    bool AdmitsCell(bool pathSelected, int module, int control) const;
    void Append(const CAutomationEvent& e, int cell, bool generated);
    void ReportProgress();
    void Set(int cell, uint16_t value);

    CAutomationEventArray& array_;
    const ReplayContext& context_;
    bool reportProgress_;
    ReplayMode mode_ = ReplayMode::All;
    ZeroedCells cells_;           // value + 1, or kUnknown
    ZeroedCells generatedAt_;     // 1 + index of the last generated event of a cell, or 0
    std::vector<int32_t> known_;  // cells that have a value, in the order they got it
    int32_t time_ = -1;
    int lastIndex_ = -1;
    long lastPercent_ = -1;
};

// Stable sort by time stamp alone, so events of one time keep the order they were made in.
void SortByTimeStable(CAutomationEventArray& array);

}  // namespace objectkit

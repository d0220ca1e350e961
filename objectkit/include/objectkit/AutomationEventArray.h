// The time-ordered array of automation events and the operations the console's automation
// programs share: ordered insertion and look-up, sorting, repair of time order, path
// translation, previous values, channel-wide copy/merge/isolate/erase, filtered queries, files.
//
// All operations run on the caller's thread; an array must not be used by two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <objectkit/AutomationEvent.h>
#include <objectkit/EventFilter.h>
#include <objectkit/PathMap.h>

class CEDLItemList;
class CAutomationPackage;

// Handle of the window that switches progress reporting on (0 = off). It is never used to
// address messages; those go to windows found by class name (see StatusMessages.h).
using StatusWindowHandle = std::uintptr_t;

enum SortMode : int {
    SortByTime = 0,             // timeStamp, path, module, control
    SortByPathControlTime = 1,  // path, module, control, timeStamp
    SortByPathTimeControl = 2,  // path, timeStamp, module, control
};

// How a channel operation widens the selection's time window [start time, end time].
//   TimeWindow:  the window as it stands;
//   TimeToStart: the window's start moves back to the beginning of the mix (time 0);
//   TimeToEnd:   the window's end moves on to the end of the mix (the last event's time).
// Operations taking two directions apply both in turn, so (TimeToStart, TimeToEnd) is the whole
// mix. A start time of -1 counts as the beginning, an end time of -1 as the end.
enum TimeDirection : int {
    TimeWindow = 0,
    TimeToStart = 1,
    TimeToEnd = 2,
};

class CAutomationEventArray {
  public:
    CAutomationEventArray() = default;
    CAutomationEventArray(const CAutomationEventArray& other);
    CAutomationEventArray(CAutomationEventArray&& other) noexcept;
    CAutomationEventArray& operator=(const CAutomationEventArray& other);
    CAutomationEventArray& operator=(CAutomationEventArray&& other) noexcept;
    virtual ~CAutomationEventArray();

    // --- Growable array -------------------------------------------------------------------
    // When the array must grow and its grow-by is 0 (the default) it grows by size/8 elements,
    // at least 4 and at most 1024.
    int GetSize() const { return size_; }
    int GetCount() const { return size_; }
    int GetUpperBound() const { return size_ - 1; }
    bool IsEmpty() const { return size_ == 0; }
    int GetAllocSize() const { return capacity_; }
    // Resizes; new elements are zero events. growBy >= 0 also sets the grow-by.
    void SetSize(int newSize, int growBy = -1);
    void FreeExtra();
    void RemoveAll();

    CAutomationEvent& operator[](int index) { return data_[index]; }
    const CAutomationEvent& operator[](int index) const { return data_[index]; }
    CAutomationEvent& ElementAt(int index) { return data_[index]; }
    const CAutomationEvent& GetAt(int index) const { return data_[index]; }
    void SetAt(int index, const CAutomationEvent& event) { data_[index] = event; }
    CAutomationEvent* GetData() { return data_; }
    const CAutomationEvent* GetData() const { return data_; }
    CAutomationEvent* begin() { return data_; }
    CAutomationEvent* end() { return data_ + size_; }
    const CAutomationEvent* begin() const { return data_; }
    const CAutomationEvent* end() const { return data_ + size_; }

    int Add(const CAutomationEvent& event);
    void InsertAt(int index, const CAutomationEvent& event, int count = 1);
    void RemoveAt(int index, int count = 1);
    int Append(const CAutomationEventArray& other);  // returns the old size
    void Copy(const CAutomationEventArray& other);   // events only

    // --- Ordered insertion and look-up ----------------------------------------------------
    // Inserts the event after every event with the same or an earlier time and returns its
    // index. A time-0 event replaces, in place, a time-0 event of the same control when the
    // array also holds later events.
    int AddAtTime(const CAutomationEvent& event);
    // time -1: 0; empty array: -1. Else the first event at or after `time` (after == 0) or
    // strictly after it (after != 0); the last index when there is none.
    int GetAtTime(long time, int after) const;

    // Re-sorts the whole array; other mode values sort nothing. Posts status 31 first when a
    // status window is set. Events equal under the comparison keep their array order.
    void Sort(SortMode mode);
    // One pass: an event later than its successor takes the successor's time (comparing the
    // times as they were before the pass). True when anything changed.
    bool MakeTimeStampsContinuous();
    // Each event's path is replaced once by the to-path of the first pair whose from-path
    // matches. Also raises the channel selection's start and end times to at least 1.
    void DoTranslatePaths(const CTranslationPairArray& pairs);
    // Fills every event's oldValue with the value in force before it (defaults of the path's
    // channel kind first). The array must be time-ordered.
    void SetOldValues(int routeModuleBase, const CPathMap& map);

    // --- Channel operations ---------------------------------------------------------------
    // The channel selection (ChannelSelection()) names the selected paths (empty = all) and
    // the selected controls (allowed controls; empty = all), its start and end times are the
    // window and its destination time the place where copies land (-1 = the window's start).
    // Every channel operation leaves the array time-ordered, changes only the selected
    // controls of the selected paths (for copy and merge: of the destination path), posts its
    // progress and does nothing on an empty array. When cards are linked (the "CardLinkType"
    // registry value is 2) the generated values land on exact time stamps: linked cards take
    // their values on every quarter frame, so no phase alignment is applied.
    //
    // Moves the selected automation of the window to the destination time and drops the rest:
    // the selected controls' values at the window's start appear at the destination time,
    // followed by the window's events. Progress: status 19.
    void IsolateChannelData(int routeModuleBase, const CPathMap& map);
    // Removes the selected controls' automation of the window: inside it they hold the value
    // they had at the window's start; after it they are set back to the source's values at
    // end + 1. Other automation is kept. A start time of -1 erases from the first event, so
    // nothing is held. Progress: status 20.
    void EraseChannelData(int routeModuleBase, const CPathMap& map);
    // Erase on a path range: only selected paths within [firstPath, lastPath] (a negative
    // bound is open) are erased, over the window widened by `direction`. Progress: status 20.
    void EraseChannelData(short firstPath, short lastPath, TimeDirection direction,
                          int routeModuleBase, const CPathMap& map);
    // Copies the selected controls' automation of `sourcePath` in the window (widened by the
    // two directions) onto `destinationPath` at the destination time: at the destination time
    // the destination takes the source's values at the window's start, then the source's
    // events follow with the same spacing, and one quarter frame after the copied span the
    // destination's controls return to the values its own automation has there. The
    // destination's own events of those controls inside the copied span are replaced. A
    // control that the destination's automation never set has nothing to return to and keeps
    // the copied value. sourcePath < 0 copies every selected path onto itself (a move in time when
    // the destination time differs from the window's start). A destinationPath outside the
    // selection (when the selection names paths) leaves the array unchanged.
    // Progress: status 27.
    void CopyChannelData(short sourcePath, short destinationPath, TimeDirection startDirection,
                         TimeDirection endDirection, int routeModuleBase, const CPathMap& map);
    // As CopyChannelData, with the source automation taken from `other` (another mix) rather
    // than this array; the window is read in the other mix's time (after sourceOffset). The
    // four trailing values:
    //   sourceOffset: added to the time stamps of `other` before the window applies (lets a
    //                 mix recorded against another timecode start line up), 0 = none;
    //   keepOutside:  non-zero keeps this array's automation outside the copied span (the
    //                 usual merge); 0 drops this array's selected controls outside the span
    //                 so that only the merged automation remains on them;
    //   restoreAfter: non-zero returns the controls to this array's values one quarter frame
    //                 after the span; 0 leaves the merged values in force (until this array's
    //                 next event of the control);
    //   reserved:     not read; pass 0.
    // Progress: status 27.
    void MergeChannelData(CAutomationEventArray& other, short sourcePath, short destinationPath,
                          TimeDirection startDirection, TimeDirection endDirection,
                          int routeModuleBase, const CPathMap& map, int sourceOffset,
                          int keepOutside, int restoreAfter, int reserved);

    // --- Selection and progress -----------------------------------------------------------
    CEventFilter& ChannelSelection() { return selection_; }
    const CEventFilter& ChannelSelection() const { return selection_; }
    void SetStatusWnd(StatusWindowHandle window) { statusWnd_ = window; }
    StatusWindowHandle GetStatusWnd() const { return statusWnd_; }

    // --- Filtered queries -----------------------------------------------------------------
    // The number of events passing `filter` in its time window; `indices` (if given) receives
    // their indices. An end time of -1 is replaced by the last event's time in `filter`.
    unsigned int GetFilteredTotal(CEventFilter& filter, std::vector<int>* indices) const;
    // Copies every passing event into `out` (emptied first); returns the count.
    int GetAllFilteredEvents(CEventFilter& filter, CAutomationEventArray& out) const;
    // A page of at most maxCount passing events from `position` (a position below 1 starts at
    // the filter's start time), walking forward or backward. Forward: `first` is the index of
    // the first event copied and `position` the next index to examine. Backward: `out` is
    // sorted by time, `position` is the highest index copied and `first` the index where the
    // walk stopped, ready for the next page.
    int GetFilteredEvents(CEventFilter& filter, int maxCount, int& first, int& position,
                          CAutomationEventArray& out, int forward) const;
    int GetFilteredEvents(CEventFilter& filter, int maxCount, int& position,
                          CAutomationEventArray& out, int forward) const;

    // --- Files (AutomationFile.cpp) -------------------------------------------------------
    // 1 on success, 0 on failure.
    int Save(const std::string& file) const;
    int Load(const std::string& file, int& pathMode);
    int Load(const std::string& file);

    // --- Conform (Conform.cpp) ------------------------------------------------------------
    int EDLConform(const CEDLItemList& list, const std::string& sourceName,
                   const std::string& destinationName, const CAutomationPackage* package,
                   std::string& errorText);
    void EDLConform(const CEDLItemList& list, int value, const CPathMap& map) {}

    // Diagnostic hook; does nothing observable.
    void DebugMe() const;

  private:
    void Grow(int minimumCapacity);
    void PostStatus(int code, long value) const;

    CAutomationEvent* data_ = nullptr;
    int size_ = 0;
    int capacity_ = 0;
    int growBy_ = 0;
    StatusWindowHandle statusWnd_ = 0;
    CEventFilter selection_;
};

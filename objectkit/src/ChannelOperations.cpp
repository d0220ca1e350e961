// Channel-wide operations built from replayers: isolate, erase, copy and merge.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>

#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>
#include <objectkit/StatusMessages.h>

#include "ValueTable.h"

using namespace objectkit;

namespace {

int32_t ClampTime(int64_t time) {
    return static_cast<int32_t>(std::clamp<int64_t>(time, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// What every channel operation reads first: layout, path count, phase term and card link.
struct OperationSetup {
    CellLayout layout;
    int phase = 0;
    bool cardsLinked = false;

    OperationSetup(const CAutomationEventArray& array, int routeModuleBase)
        : layout(IsSmallLayout(ConsoleType()), MaxPathCount(ReadMaxPathsMode()), routeModuleBase) {
        cardsLinked = CardsLinked(ReadCardLinkType());
        if (!layout.small() && array.GetSize() > 0) {
            // |(p mod 4) - (t mod 4)|, remainders keeping the sign of the dividend.
            const CAutomationEvent& last = array[array.GetSize() - 1];
            phase =
                std::abs(static_cast<int>(last.path % 4) - static_cast<int>(last.timeStamp % 4));
        }
    }

    ReplayContext Context(const Selection* selection, StatusWindowHandle statusWnd,
                          int progressCode) const {
        return ReplayContext{layout, phase, !cardsLinked, selection, statusWnd, progressCode};
    }
};

// The window [start, end] of a selection widened by the directions, within an array's times.
struct Window {
    int64_t start;
    int64_t end;
};

Window ResolveWindow(const CEventFilter& selection, const CAutomationEventArray& times,
                     std::initializer_list<TimeDirection> directions) {
    const int64_t firstTime = times.IsEmpty() ? 0 : times[0].timeStamp;
    const int64_t lastTime = times.IsEmpty() ? 0 : times[times.GetSize() - 1].timeStamp;
    Window w{selection.startTime, selection.endTime};
    if (w.start < 0) {
        w.start = std::min<int64_t>(0, firstTime);
    }
    if (w.end < 0) {
        w.end = lastTime;
    }
    for (TimeDirection d : directions) {
        if (d == TimeToStart) {
            w.start = std::min<int64_t>(0, firstTime);
        } else if (d == TimeToEnd) {
            w.end = std::max(w.end, lastTime);
        }
    }
    return w;
}

// Opens a moved window: at `destination` the admitted controls of `out` take the values that
// `source` holds at `start`. Events exactly at `start` are moved as they are, flags and all,
// like every later event of the window; a control set only before `start` gets a generated
// event instead, which carries flags 0 because it stands for no event of the window (the
// events that set that value lie before it and are not moved). Leaves `source` played to
// `start`.
void OpenWindow(Replayer& out, Replayer& source, int64_t start, int64_t destination) {
    source.PlayTo(ClampTime(start - 1));
    int first = source.LastIndex() + 1;
    source.PlayTo(ClampTime(start));
    // A replayer starts at time -1, so a window from time 0 or earlier also plays the events
    // before it here: they count for the state only.
    const CAutomationEventArray& events = source.Array();
    while (first <= source.LastIndex() && events[first].timeStamp < start) {
        ++first;
    }
    out.SetTime(ClampTime(destination));
    out.CopyRange(source, first, source.LastIndex(), destination - start);
    out.TransferFrom(source);  // the moved events are in `out`'s table: no event twice
}

// Replaces the selected controls of `target` over [destination, destination + end - start]
// with the automation of `source` over [start, end]. See CopyChannelData in the header.
void ReplaceSpan(CAutomationEventArray& target, CAutomationEventArray& source,
                 const Selection& selection, const OperationSetup& setup, Window window,
                 int64_t destination, bool keepOutside, bool restoreAfter) {
    const int64_t destinationEnd = destination + (window.end - window.start);
    const int64_t offset = destination - window.start;

    const ReplayContext context = setup.Context(&selection, target.GetStatusWnd(), StatusReplay);
    CAutomationEventArray output;
    Replayer t(target, context, true);
    Replayer s(source, context, false);
    Replayer out(output, context, false);
    const ReplayMode outside = keepOutside ? ReplayMode::All : ReplayMode::AllButSelected;

    // Before the span: the target as it is.
    t.PlayTo(ClampTime(destination - 1));
    out.SetMode(outside);
    out.CopyRange(t, 0, t.LastIndex(), 0);
    const int targetBeforeSpan = t.LastIndex();

    // At the span's start the selected controls take the source's values at its window start.
    out.SetMode(ReplayMode::SelectedOnly);
    OpenWindow(out, s, window.start, destination);
    const int sourceAtStart = s.LastIndex();

    // The source's changes inside the window, moved to the span.
    s.PlayTo(ClampTime(window.end));
    out.CopyRange(s, sourceAtStart + 1, s.LastIndex(), offset);

    // The target's other automation inside the span.
    t.PlayTo(ClampTime(destinationEnd));
    out.SetMode(ReplayMode::AllButSelected);
    out.CopyRange(t, targetBeforeSpan + 1, t.LastIndex(), 0);

    if (restoreAfter) {
        out.SetTime(ClampTime(destinationEnd + 1));
        out.SetMode(ReplayMode::SelectedOnly);
        out.TransferFrom(t);
    }
    // After the span: the target as it is.
    out.SetMode(outside);
    out.CopyRange(t, t.LastIndex() + 1, target.GetSize() - 1, 0);

    SortByTimeStable(output);
    target.Copy(output);
    t.FinishProgress();
}

// Copies the events of `from` that a copy or merge takes: one source path renamed to the
// destination path, or every event when sourcePath is negative; times moved by `offset`.
void ExtractSource(const CAutomationEventArray& from, short sourcePath, short destinationPath,
                   int64_t offset, CAutomationEventArray& into) {
    into.SetSize(0);
    for (const CAutomationEvent& e : from) {
        if (sourcePath >= 0 && e.path != sourcePath) {
            continue;
        }
        CAutomationEvent copy = e;
        if (sourcePath >= 0) {
            copy.path = destinationPath;
        }
        copy.timeStamp = ClampTime(copy.timeStamp + offset);
        into.Add(copy);
    }
    SortByTimeStable(into);
}

// The erase of the selected controls over a window, as EraseChannelData describes.
void EraseWindow(CAutomationEventArray& array, const Selection& selection,
                 const OperationSetup& setup, Window window, int64_t heldFrom) {
    const ReplayContext context = setup.Context(&selection, array.GetStatusWnd(), StatusErase);
    CAutomationEventArray output;
    Replayer s(array, context, true);
    Replayer d(output, context, false);

    // Up to the window's start everything is kept, so the erased controls hold the value
    // they have there. A window from the first event (heldFrom < 0) holds nothing.
    if (heldFrom >= 0) {
        s.PlayTo(ClampTime(window.start));
        d.CopyRange(s, 0, s.LastIndex(), 0);
    }
    const int fromIndex = s.LastIndex() + 1;
    s.PlayTo(ClampTime(window.end));
    d.SetMode(ReplayMode::AllButSelected);
    d.CopyRange(s, fromIndex, s.LastIndex(), 0);

    // One quarter frame after the window the erased controls return to the source's values;
    // the source's own changes from there on follow unfiltered.
    d.SetTime(ClampTime(window.end + 1));
    d.SetMode(ReplayMode::SelectedOnly);
    d.TransferFrom(s);
    d.SetMode(ReplayMode::All);
    d.CopyRange(s, s.LastIndex() + 1, array.GetSize() - 1, 0);

    SortByTimeStable(output);
    array.Copy(output);
    s.FinishProgress();
}

// The events a copy or merge writes: one source path onto the destination path (nothing when
// the filter does not admit the destination), or, with a negative source, every selected path
// onto itself.
std::optional<Selection> CopySelection(const CEventFilter& filter, short sourcePath,
                                       short destinationPath) {
    if (sourcePath < 0) {
        return Selection(filter, -1, -1);
    }
    Selection single = Selection::SinglePath(filter, destinationPath);
    if (!single.PathSelected(destinationPath)) {
        return std::nullopt;
    }
    return single;
}

// Copy and merge: the source path's events from `from` (shifted by `sourceOffset`) replace the
// destination's within the window of the target's filter. A copy finds the window's ends among
// the target's own events, a merge among the events it brings in.
void TransferChannelData(CAutomationEventArray& target, const CAutomationEventArray& from,
                         bool windowFromSource, short sourcePath, short destinationPath,
                         int sourceOffset, std::initializer_list<TimeDirection> directions,
                         int routeModuleBase, bool keepOutside, bool restoreAfter) {
    if (target.IsEmpty()) {
        return;
    }
    const CEventFilter& filter = target.ChannelSelection();
    const OperationSetup setup(target, routeModuleBase);
    const std::optional<Selection> selection = CopySelection(filter, sourcePath, destinationPath);
    if (!selection) {
        return;
    }
    CAutomationEventArray source;
    ExtractSource(from, sourcePath, destinationPath, sourceOffset, source);
    const Window window = ResolveWindow(filter, windowFromSource ? source : target, directions);
    const int64_t destination = filter.destinationTime >= 0 ? filter.destinationTime : window.start;
    ReplaceSpan(target, source, *selection, setup, window, destination, keepOutside, restoreAfter);
}

}  // namespace

void CAutomationEventArray::IsolateChannelData(int routeModuleBase, const CPathMap& map) {
    if (size_ == 0) {
        return;
    }
    const OperationSetup setup(*this, routeModuleBase);
    const Selection selection(selection_, -1, -1);
    const Window window = ResolveWindow(selection_, *this, {});
    const int64_t destination =
        selection_.destinationTime >= 0 ? selection_.destinationTime : window.start;
    const ReplayContext context = setup.Context(&selection, statusWnd_, StatusIsolate);

    CAutomationEventArray output;
    Replayer s(*this, context, true);
    Replayer d(output, context, false);
    d.SetMode(ReplayMode::SelectedOnly);
    OpenWindow(d, s, window.start, destination);
    const int startIndex = s.LastIndex();
    s.PlayTo(ClampTime(window.end));
    d.CopyRange(s, startIndex + 1, s.LastIndex(), destination - window.start);

    SortByTimeStable(output);
    Copy(output);
    s.FinishProgress();
}

void CAutomationEventArray::EraseChannelData(int routeModuleBase, const CPathMap& map) {
    if (size_ == 0) {
        return;
    }
    const OperationSetup setup(*this, routeModuleBase);
    const Selection selection(selection_, -1, -1);
    const Window window = ResolveWindow(selection_, *this, {});
    EraseWindow(*this, selection, setup, window, selection_.startTime);
}

void CAutomationEventArray::EraseChannelData(short firstPath, short lastPath,
                                             TimeDirection direction, int routeModuleBase,
                                             const CPathMap& map) {
    if (size_ == 0) {
        return;
    }
    const OperationSetup setup(*this, routeModuleBase);
    const Selection selection(selection_, firstPath, lastPath);
    const Window window = ResolveWindow(selection_, *this, {direction});
    const int64_t heldFrom = direction == TimeToStart ? -1 : selection_.startTime;
    EraseWindow(*this, selection, setup, window, heldFrom);
}

void CAutomationEventArray::CopyChannelData(short sourcePath, short destinationPath,
                                            TimeDirection startDirection,
                                            TimeDirection endDirection, int routeModuleBase,
                                            const CPathMap& map) {
    TransferChannelData(*this, *this, false, sourcePath, destinationPath, 0,
                        {startDirection, endDirection}, routeModuleBase, true, true);
}

void CAutomationEventArray::MergeChannelData(CAutomationEventArray& other, short sourcePath,
                                             short destinationPath, TimeDirection startDirection,
                                             TimeDirection endDirection, int routeModuleBase,
                                             const CPathMap& map, int sourceOffset, int keepOutside,
                                             int restoreAfter, int reserved) {
    TransferChannelData(*this, other, true, sourcePath, destinationPath, sourceOffset,
                        {startDirection, endDirection}, routeModuleBase, keepOutside != 0,
                        restoreAfter != 0);
}

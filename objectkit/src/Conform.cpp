#include <objectkit/Conform.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include <objectkit/Settings.h>

#include "FileSettings.h"

namespace {

using objectkit::TimecodeRate;

// Route modules of the large layout start right after modules 0-30.
constexpr int kRouteModuleBase = 31;
constexpr int kQuarterFrames = 4;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

bool IsSelfReel(const std::string& reel) {
    return reel == "..." || reel.empty();
}

bool IsBlackReel(const std::string& reel) {
    const std::string r = Lower(reel);
    return r == "bl" || r == "blk" || r == "black";
}

std::string DirectoryOf(const std::string& file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Where the automation of one EDL event comes from.
enum class SourceKind { Self, Black, Reel };

struct Edit {
    SourceKind kind = SourceKind::Black;
    int reel = -1;
    int64_t sourceIn = 0;  // frames
    int64_t length = 0;    // frames
    int64_t recordIn = 0;  // frames
};

// Replaces the automation of `target` over [recordIn, recordIn + length) with that of
// `source` over [sourceIn, sourceIn + length), all in quarter frames, using the channel
// operations on a selection of every path and control.
void ApplyEdit(CAutomationEventArray& target, const CAutomationEventArray& source, int64_t sourceIn,
               int64_t length, int64_t recordIn, bool restoreAfter, const CPathMap& map) {
    if (length <= 0) {
        return;
    }
    auto select = [&](CEventFilter& selection) {
        selection.Clear();
        selection.startTime = static_cast<int32_t>(sourceIn);
        selection.endTime = static_cast<int32_t>(sourceIn + length - 1);
        selection.destinationTime = static_cast<int32_t>(recordIn);
    };
    if (target.IsEmpty()) {
        // Nothing to merge into: the source's window, isolated and moved, is the result.
        CAutomationEventArray moved(source);
        if (moved.IsEmpty()) {
            return;
        }
        select(moved.ChannelSelection());
        moved.IsolateChannelData(kRouteModuleBase, map);
        target.Copy(moved);
        return;
    }
    const CEventFilter saved = target.ChannelSelection();
    select(target.ChannelSelection());
    CAutomationEventArray other(source);
    target.MergeChannelData(other, -1, -1, TimeWindow, TimeWindow, kRouteModuleBase, map, 0, 1,
                            restoreAfter ? 1 : 0, 0);
    target.ChannelSelection() = saved;
}

// The paths whose automation an edit takes from its source: every path that the source sets
// up to the end of the source range (quarter frames), because the cut also starts from the
// values the source set before the range.
std::vector<int32_t> PathsTakenFrom(const CAutomationEventArray& source, int64_t sourceIn,
                                    int64_t length) {
    std::vector<int32_t> paths;
    if (length <= 0) {
        return paths;
    }
    const int32_t end = static_cast<int32_t>(sourceIn + length - 1);
    for (const CAutomationEvent& e : source) {
        if (e.path >= 0 && e.timeStamp <= end) {
            paths.push_back(e.path);
        }
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

// The package's arrays that hold one record per path (record p belongs to path p), in a fixed
// order, each with its record size in elements. The path map, the link and gang maps, the
// automation size list and the cut A/B list describe the console or tie paths to each other;
// they are not per-path records. `used` is false for a group array without a name: the
// compound form neither stores nor loads such a group, so an edit brings no data into it from
// either stored form.
template <class Package, class Visit>
void ForEachPathArray(Package& package, Visit&& visit) {
    for (int s = 0; s < CAutomationPackage::kSetCount; ++s) {
        for (int g = 0; g < CAutomationPackage::kGroupCount; ++g) {
            auto& control = package.m_CtlGroups[s][g];
            auto& route = package.m_RteGroups[s][g];
            visit(control.m_Data, CAutomationPackage::kControlRecordSize, !control.m_Name.empty());
            visit(route.m_Data, CAutomationPackage::kRouteRecordSize, !route.m_Name.empty());
        }
    }
    visit(package.m_CtrlParms, CAutomationPackage::kControlRecordSize, true);
    visit(package.m_RteParms, CAutomationPackage::kRouteRecordSize, true);
    for (auto& vector : package.m_VectorData) {
        visit(vector, size_t{1}, true);
    }
}

// Copies the records of `paths` (ascending) from `from` into `to`. A path that `from` holds no
// complete record for keeps the record `to` has. When `to` ends before a path's record it is
// extended with `from`'s records up to that one: the mix had nothing for those paths.
template <class T>
void CarryRecords(std::vector<T>& to, const std::vector<T>& from, size_t record,
                  const std::vector<int32_t>& paths) {
    const size_t available = from.size() / record;
    for (const int32_t path : paths) {
        const size_t p = static_cast<size_t>(path);
        if (p >= available) {
            break;
        }
        const auto begin = static_cast<std::ptrdiff_t>(p * record);
        const auto end = static_cast<std::ptrdiff_t>((p + 1) * record);
        if (to.size() < static_cast<size_t>(end)) {
            const size_t whole = to.size() / record * record;
            to.resize(whole);
            to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(whole),
                      from.begin() + end);
        } else {
            std::copy(from.begin() + begin, from.begin() + end, to.begin() + begin);
        }
    }
}

// The per-path arrays of the mix being conformed, worked on apart from the package so that a
// failed conform leaves them as they were.
class PathData {
  public:
    explicit PathData(const CAutomationPackage& package) {
        ForEachPathArray(package, [&](const auto& array, size_t, bool) {
            using T = typename std::decay_t<decltype(array)>::value_type;
            Arrays<T>().push_back(array);
        });
    }

    // The records of `paths` from the source package's arrays.
    void Carry(const CAutomationPackage& source, const std::vector<int32_t>& paths) {
        if (paths.empty()) {
            return;
        }
        Cursor cursor;
        ForEachPathArray(source, [&](const auto& array, size_t record, bool used) {
            using T = typename std::decay_t<decltype(array)>::value_type;
            auto& to = Arrays<T>()[cursor.Next<T>()];
            if (used) {
                CarryRecords(to, array, record, paths);
            }
        });
    }

    void StoreInto(CAutomationPackage& package) {
        Cursor cursor;
        ForEachPathArray(package, [&](auto& array, size_t, bool) {
            using T = typename std::decay_t<decltype(array)>::value_type;
            array = std::move(Arrays<T>()[cursor.Next<T>()]);
        });
    }

  private:
    // Walks the stored arrays of each element type in visiting order.
    struct Cursor {
        size_t bytes = 0;
        size_t ints = 0;
        template <class T>
        size_t Next() {
            if constexpr (std::is_same_v<T, uint8_t>) {
                return bytes++;
            } else {
                return ints++;
            }
        }
    };
    template <class T>
    std::vector<std::vector<T>>& Arrays() {
        if constexpr (std::is_same_v<T, uint8_t>) {
            return bytes_;
        } else {
            return ints_;
        }
    }

    std::vector<std::vector<uint8_t>> bytes_;
    std::vector<std::vector<int32_t>> ints_;
};

bool LayoutsAgree(int consoleType, bool smallLayout) {
    return consoleType < 1 || consoleType > 7 ||
           objectkit::IsSmallLayout(consoleType) == smallLayout;
}

// The single-edit styles and the cut-list path write their edits here.
class TemporaryEDL {
  public:
    TemporaryEDL() : rate_(objectkit::ReadConsoleTimecodeRate()) {}

    bool Open() {
        path_ = objectkit::TemporaryEDLPath();
        std::error_code ec;
        std::filesystem::create_directories(DirectoryOf(path_), ec);
        CEDLHeader header;
        header.m_Values[EDLHeaderVersion] = 1;
        header.m_Values[EDLHeaderRate] = static_cast<int32_t>(rate_);
        return writer_.Open(path_, header);
    }
    TimecodeRate Rate() const { return rate_; }
    void Add(CEDLEvent event, int64_t sourceIn, int64_t length, int64_t recordIn) {
        writer_.WriteEvent(
            event,
            objectkit::FramesToTimecode(
                static_cast<int32_t>(sourceIn % objectkit::FramesPerDay(rate_)), rate_),
            objectkit::FramesToTimecode(
                static_cast<int32_t>(recordIn % objectkit::FramesPerDay(rate_)), rate_),
            objectkit::FramesToTimecode(
                static_cast<int32_t>((recordIn + length) % objectkit::FramesPerDay(rate_)), rate_));
    }
    bool Close() { return writer_.Close(); }
    const std::string& Path() const { return path_; }

  private:
    TimecodeRate rate_;
    std::string path_;
    CEDLWriter writer_;
};

}  // namespace

namespace objectkit {

std::string TemporaryEDLPath() {
    return files::DataDirectory() + "/edl files/KTL RESERVED TEMP.edl";
}

enConformStatus RunConformEngine(CAutomationPackage& package, const std::string& edlFile,
                                 const std::string& sourceDirectory, bool singleEdit) {
    std::lock_guard guard(package.Lock());
    enConformStatus status = CONFORM_OPEN_EDL;
    std::unique_ptr<CEDLReader> reader;
    try {
        reader = std::make_unique<CEDLReader>(edlFile, EDL_GENERIC);
    } catch (const CFileException&) {
        return status;
    }
    if (!reader->HeaderValid()) {
        return status;
    }
    package.m_EDLHeader = reader->Header();
    package.m_SourceDestItems.clear();
    package.ClearSourcePackages();

    // The events, their reels and their ranges in frames.
    const TimecodeRate rate = ReadConsoleTimecodeRate();
    std::vector<Edit> edits;
    CEDLEvent event;
    CTimecode sourceIn, recordIn, recordOut;
    while (reader->ReadEvent(event, sourceIn, recordIn, recordOut)) {
        Edit edit;
        if (IsSelfReel(event.m_Reel)) {
            edit.kind = SourceKind::Self;
        } else if (IsBlackReel(event.m_Reel)) {
            edit.kind = SourceKind::Black;
        } else {
            edit.kind = SourceKind::Reel;
            edit.reel = package.AddSourceReel(event.m_Reel);
        }
        const int32_t src = TimecodeToFrames(sourceIn, rate);
        const int32_t in = TimecodeToFrames(recordIn, rate);
        const int32_t out = TimecodeToFrames(recordOut, rate);
        if (src < 0 || in < 0 || out < 0) {
            return CONFORM_OPEN_EDL;
        }
        edit.sourceIn = src;
        edit.recordIn = in;
        edit.length = WrapFrames(int64_t{out} - in, rate);
        edits.push_back(edit);

        CSourceDestItem source, destination;
        source.m_pEvent = std::make_unique<CEDLEvent>(event);
        destination.m_pEvent = std::make_unique<CEDLEvent>(event);
        source.m_nReelIndex = destination.m_nReelIndex = edit.reel;
        destination.m_nType = 1;
        source.m_In = src;
        source.m_Out = static_cast<int32_t>(src + edit.length);
        destination.m_In = in;
        destination.m_Out = static_cast<int32_t>(in + edit.length);
        package.m_SourceDestItems.push_back(std::move(source));
        package.m_SourceDestItems.push_back(std::move(destination));
    }
    reader.reset();

    // Source packages: reel + ".aut" beside the EDL. Reel names are outside input: a name
    // that would leave that directory is not followed.
    if (!singleEdit) {
        for (size_t i = 0; i < package.m_SourceReels.size(); ++i) {
            const std::string& reel = package.m_SourceReels[i];
            if (reel.find('/') != std::string::npos || reel == "." || reel == "..") {
                continue;
            }
            // The reel was written by the mix's program: its compound form names its parts
            // as the mix does (the block form needs no names).
            auto source = std::make_unique<CAutomationPackage>();
            source->UseNamesOf(package);
            if (source->Load(sourceDirectory + "/" + reel + ".aut")) {
                package.m_SourcePackages[i] = std::move(source);
            }
        }
    }

    auto finish = [&](enConformStatus result) {
        package.ClearSourcePackages();
        return result;
    };

    // Prepare: the destination and every source must use this console's layout; the work is
    // done on a time-ordered copy of the mix.
    status = CONFORM_PREPARE;
    const bool smallLayout = IsSmallLayout(ConsoleType());
    if (!LayoutsAgree(package.m_nConsoleType, smallLayout)) {
        return finish(status);
    }
    for (const auto& source : package.m_SourcePackages) {
        if (source && !LayoutsAgree(source->m_nConsoleType, smallLayout)) {
            return finish(status);
        }
    }
    CAutomationEventArray original;
    original.Copy(package);
    std::stable_sort(original.begin(), original.end(),
                     [](const CAutomationEvent& a, const CAutomationEvent& b) {
                         return a.timeStamp < b.timeStamp;
                     });
    CAutomationEventArray work;
    work.Copy(original);
    PathData workData(package);
    const CAutomationEventArray black;

    status = CONFORM_APPLY;
    for (const Edit& edit : edits) {
        const CAutomationEventArray* source = &black;
        // The package whose per-path data the edit brings along; black has none. The mix's
        // own package still holds its data from before the conform.
        const CAutomationPackage* sourceData = nullptr;
        if (edit.kind == SourceKind::Self) {
            source = &original;
            sourceData = &package;
        } else if (edit.kind == SourceKind::Reel) {
            const auto& loaded = package.m_SourcePackages[static_cast<size_t>(edit.reel)];
            if (!loaded) {
                return finish(status);  // the reel's automation is missing
            }
            source = sourceData = loaded.get();
        }
        const int64_t sourceIn = edit.sourceIn * kQuarterFrames;
        const int64_t length = edit.length * kQuarterFrames;
        ApplyEdit(work, *source, sourceIn, length, edit.recordIn * kQuarterFrames, true,
                  package.m_PathMap);
        if (sourceData) {
            workData.Carry(*sourceData, PathsTakenFrom(*source, sourceIn, length));
        }
    }
    package.Copy(work);
    workData.StoreInto(package);
    return finish(CONFORM_SUCCESS);
}

}  // namespace objectkit

enConformStatus DoConform(CAutomationPackage* package, std::string& edlFile) {
    if (!package) {
        return CONFORM_OPEN_EDL;
    }
    const std::string ext = edlFile.size() >= 4 ? Lower(edlFile.substr(edlFile.size() - 4)) : "";
    const std::string directory = DirectoryOf(edlFile);
    if (ext != ".cut" && ext != ".txt" && !ext.empty() && ext[0] == '.') {
        return objectkit::RunConformEngine(*package, edlFile, directory, false);
    }
    const CutListMode mode = ext == ".cut" ? CutListMode::EDL : CutListMode::Text;
    CutListMode used = mode;
    std::vector<CCutListEntry> entries;
    if (!ReadCutListEntries(edlFile, mode, entries, &used)) {  // throws when it cannot open
        return CONFORM_READ_FAILED;
    }
    TemporaryEDL temp;
    if (!temp.Open()) {
        return CONFORM_OPEN_EDL;
    }
    // The two halves of a dissolve (types 8 and 9 of a text cut list) share a sequence number.
    std::vector<int32_t> link(entries.size(), -1);
    int32_t sequence = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const CCutListEntry& e = entries[i];
        if (used == CutListMode::Text && e.m_nRawType == CUT_DISSOLVE_IN && e.m_nLink > 0 &&
            static_cast<size_t>(e.m_nLink) <= entries.size() &&
            entries[static_cast<size_t>(e.m_nLink - 1)].m_nRawType == CUT_DISSOLVE_OUT) {
            link[i] = link[static_cast<size_t>(e.m_nLink - 1)] = sequence++;
        }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const CCutListEntry& e = entries[i];
        if (CutListKindOf(e.m_nRawType) < 0) {
            continue;
        }
        CEDLEvent event = e.m_Event;
        event.m_Reel = e.m_Reel;
        event.m_nLink = link[i];
        const int kind = CutListKindOf(e.m_nRawType);
        event.m_EditType = e.m_nRawType == CUT_KEY         ? EDL_EDIT_KEY
                           : kind == CEDLItem::SecondGroup ? EDL_EDIT_DISSOLVE
                                                           : EDL_EDIT_CUT;
        // Frames from here on: the temporary EDL writes and reads them back at the console's
        // rate, so source and record stay on the count the cut list used for both.
        const int64_t sourceIn = e.m_bHasSource ? e.m_nSourceIn : e.m_nStart;
        if (sourceIn < 0) {
            continue;  // a source word that was no timecode
        }
        temp.Add(event, sourceIn, e.m_nLength, e.m_nStart);
    }
    if (!temp.Close()) {
        return CONFORM_OPEN_EDL;
    }
    return objectkit::RunConformEngine(*package, temp.Path(), directory, false);
}

namespace {

struct Range {
    int64_t in;
    int64_t length;
};

Range ItemRange(const CSourceDestItem& item, TimecodeRate rate) {
    const int32_t in = objectkit::WrapFrames(item.m_In, rate);
    // A range that passes midnight ends on the next day.
    return {in, objectkit::WrapFrames(int64_t{item.m_Out} - item.m_In, rate)};
}

CEDLEvent SelfEvent(const CSourceDestItem* item) {
    CEDLEvent event = item && item->m_pEvent ? *item->m_pEvent : CEDLEvent{};
    event.m_Reel.clear();  // written with length 0: read back as "...", the mix itself
    event.m_EditType = EDL_EDIT_CUT;
    return event;
}

CEDLEvent BlackEvent() {
    CEDLEvent event;
    event.m_Reel = "BL";
    event.m_EditType = EDL_EDIT_CUT;
    return event;
}

enConformStatus RunSingleEdit(CAutomationPackage* package, TemporaryEDL& temp) {
    if (!temp.Close()) {
        return CONFORM_OPEN_EDL;
    }
    return objectkit::RunConformEngine(*package, temp.Path(), DirectoryOf(temp.Path()), true);
}

enConformStatus CopyOrMove(CAutomationPackage* package, CSourceDestItem* source,
                           CSourceDestItem* destination, bool move) {
    if (!package || !source || !destination) {
        return CONFORM_OPEN_EDL;
    }
    TemporaryEDL temp;
    if (!temp.Open()) {
        return CONFORM_OPEN_EDL;
    }
    const Range from = ItemRange(*source, temp.Rate());
    const Range to{ItemRange(*destination, temp.Rate()).in, from.length};
    temp.Add(SelfEvent(source), from.in, from.length, to.in);
    if (move) {
        // Clear what the destination does not cover of the vacated range.
        const int64_t fromEnd = from.in + from.length, toEnd = to.in + to.length;
        if (to.in > from.in) {
            temp.Add(BlackEvent(), 0, std::min(to.in, fromEnd) - from.in, from.in);
        }
        if (toEnd < fromEnd) {
            const int64_t start = std::max(toEnd, from.in);
            temp.Add(BlackEvent(), 0, fromEnd - start, start);
        }
    }
    return RunSingleEdit(package, temp);
}

}  // namespace

enConformStatus CopyConformLogicStyle(CAutomationPackage* package, CSourceDestItem* source,
                                      CSourceDestItem* destination) {
    return CopyOrMove(package, source, destination, false);
}

enConformStatus MoveConformLogicStyle(CAutomationPackage* package, CSourceDestItem* source,
                                      CSourceDestItem* destination) {
    return CopyOrMove(package, source, destination, true);
}

enConformStatus DeleteConformLogicStyle(CAutomationPackage* package, CSourceDestItem* item) {
    if (!package || !item) {
        return CONFORM_OPEN_EDL;
    }
    TemporaryEDL temp;
    if (!temp.Open()) {
        return CONFORM_OPEN_EDL;
    }
    const Range range = ItemRange(*item, temp.Rate());
    temp.Add(BlackEvent(), 0, range.length, range.in);
    return RunSingleEdit(package, temp);
}

int CAutomationEventArray::EDLConform(const CEDLItemList& list, const std::string& sourceName,
                                      const std::string& destinationName,
                                      const CAutomationPackage* package, std::string& errorText) {
    const int pathCount = package && package->PathCount() > 0 ? package->PathCount() : 500;
    auto fail = [&](const char* format, int code) {
        char text[512];
        std::snprintf(text, sizeof text, format, code ? std::strerror(code) : "");
        errorText = text;
        return 0;
    };
    constexpr const char* kSaveFailed = "Conform could not save the automation :\n %s";

    // The list is the new cut from frame 0: each edit takes the next stretch of the source
    // automation, in order; gaps take none.
    CAutomationEventArray source;
    errno = 0;
    if (!source.Load(sourceName)) {
        return fail(kSaveFailed, errno ? errno : ENOENT);
    }
    std::stable_sort(source.begin(), source.end(),
                     [](const CAutomationEvent& a, const CAutomationEvent& b) {
                         return a.timeStamp < b.timeStamp;
                     });
    const CPathMap map = package ? package->m_PathMap : CPathMap{};
    CAutomationEventArray generated;
    int64_t sourcePosition = 0;
    for (int i = 0; i < list.GetSize(); ++i) {
        const CEDLItem& item = list[i];
        if (item.m_nKind == CEDLItem::Gap || item.m_nLength <= 0) {
            continue;
        }
        ApplyEdit(generated, source, sourcePosition * kQuarterFrames,
                  int64_t{item.m_nLength} * kQuarterFrames, int64_t{item.m_nStart} * kQuarterFrames,
                  false, map);
        sourcePosition += item.m_nLength;
    }
    CAutomationEventArray kept;
    for (const CAutomationEvent& e : generated) {
        if (e.path >= 0 && e.path < pathCount) {
            kept.Add(e);
        }
    }
    errno = 0;
    if (!kept.Save(destinationName)) {
        return fail(kSaveFailed, errno ? errno : EIO);
    }
    if (!Load(destinationName)) {
        errorText = "Conform failed to load the automation !\n ";
        return 0;
    }
    return 1;
}

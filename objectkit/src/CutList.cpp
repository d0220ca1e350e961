#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <objectkit/EDL.h>

#include "LittleEndian.h"

namespace {

constexpr char kCutListMagic[] = "KTL_CUTLIST_FILE";
constexpr size_t kCutListMagicSize = 16;
constexpr size_t kReelField = 16;

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (s.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr OpenForReading(const std::string& fileName) {
    FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) {
        throw CFileException(fileName, errno);
    }
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        throw CFileException(fileName, EISDIR);
    }
    return FilePtr(f);
}

}  // namespace

CSourceDestItem::CSourceDestItem(const CSourceDestItem& other)
    : m_pEvent(other.m_pEvent ? std::make_unique<CEDLEvent>(*other.m_pEvent) : nullptr),
      m_nType(other.m_nType),
      m_In(other.m_In),
      m_Out(other.m_Out),
      m_nTrack(other.m_nTrack),
      m_nReelIndex(other.m_nReelIndex),
      m_bEnabled(other.m_bEnabled) {}

CSourceDestItem& CSourceDestItem::operator=(const CSourceDestItem& other) {
    if (this != &other) {
        CSourceDestItem copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CEDLItemList::CEDLItemList(const CEDLItemList& other) {
    for (const auto& item : other.items_) {
        Add(*item);
    }
}

CEDLItemList& CEDLItemList::operator=(const CEDLItemList& other) {
    if (this != &other) {
        CEDLItemList copy(other);
        items_ = std::move(copy.items_);
    }
    return *this;
}

int CutListKindOf(int32_t rawType) {
    switch (rawType) {
        case 1:
        case 3:
        case 4:
        case 5:
        case 8:
            return CEDLItem::FirstGroup;
        case 2:
        case 6:
        case 7:
        case 9:
            return CEDLItem::SecondGroup;
        default:
            return -1;
    }
}

void GetSourceDestItems(const std::string& fileName, std::vector<CSourceDestItem>& out,
                        bool keepTimecodes) {
    CEDLReader reader(fileName, EDL_GENERIC);
    const objectkit::TimecodeRate consoleRate = objectkit::ReadConsoleTimecodeRate();
    CEDLEvent event;
    CTimecode sourceIn, recordIn, recordOut;
    while (reader.ReadEvent(event, sourceIn, recordIn, recordOut)) {
        const auto rate = objectkit::EffectiveRate(consoleRate, reader.IsDropFrame());
        int32_t srcIn = objectkit::TimecodeToFrames(sourceIn, rate);
        int32_t recIn = objectkit::TimecodeToFrames(recordIn, rate);
        int32_t recOut = objectkit::TimecodeToFrames(recordOut, rate);
        if (srcIn < 0 || recIn < 0 || recOut < 0) {
            continue;  // a timecode the writer marked invalid
        }
        // A record range that passes midnight ends on the next day.
        int32_t length = objectkit::WrapFrames(int64_t{recOut} - recIn, rate);
        CSourceDestItem source, destination;
        source.m_pEvent = std::make_unique<CEDLEvent>(event);
        destination.m_pEvent = std::make_unique<CEDLEvent>(event);
        source.m_nType = 0;
        destination.m_nType = 1;
        if (keepTimecodes) {
            source.m_In = static_cast<int32_t>(objectkit::PackTimecode(sourceIn));
            source.m_Out = static_cast<int32_t>(
                objectkit::PackTimecode(objectkit::FramesToTimecode(srcIn + length, rate)));
            destination.m_In = static_cast<int32_t>(objectkit::PackTimecode(recordIn));
            destination.m_Out = static_cast<int32_t>(objectkit::PackTimecode(recordOut));
        } else {
            source.m_In = srcIn;
            source.m_Out = srcIn + length;
            destination.m_In = recIn;
            destination.m_Out = recIn + length;
        }
        out.push_back(std::move(source));
        out.push_back(std::move(destination));
    }
}

bool ReadTextCutList(const std::string& fileName, CutListMode mode,
                     std::vector<CCutListEntry>& entries) {
    CEDLReader reader(fileName, mode == CutListMode::Text ? EDL_KTL : EDL_CMX3400);
    struct Read {
        CEDLEvent event;
        CTimecode sourceIn, recordIn, recordOut;
    };
    std::vector<Read> events;
    Read r;
    while (reader.ReadEvent(r.event, r.sourceIn, r.recordIn, r.recordOut)) {
        events.push_back(r);
    }
    if (reader.HasUnreadableLine()) {
        return false;  // a list with a hole would shift every later edit
    }
    // The frame-code mode is known only once the lines are read: convert afterwards.
    const auto rate =
        objectkit::EffectiveRate(objectkit::ReadConsoleTimecodeRate(), reader.IsDropFrame());
    std::vector<CCutListEntry> result;
    for (const Read& e : events) {
        int32_t start = objectkit::TimecodeToFrames(e.recordIn, rate);
        int32_t end = objectkit::TimecodeToFrames(e.recordOut, rate);
        if (start < 0 || end < 0) {
            continue;
        }
        CCutListEntry entry;
        entry.m_nStart = start;
        entry.m_nLength = objectkit::WrapFrames(int64_t{end} - start, rate);
        entry.m_Reel = e.event.m_Reel;
        entry.m_Event = e.event;
        entry.m_nSourceIn = objectkit::TimecodeToFrames(e.sourceIn, rate);
        entry.m_bHasSource = true;
        switch (e.event.m_EditType) {
            case EDL_EDIT_DISSOLVE:
                entry.m_nRawType = CUT_DISSOLVE;
                break;
            case EDL_EDIT_KEY:
                entry.m_nRawType = CUT_KEY;
                break;
            default:
                entry.m_nRawType = CUT_EDIT;
                break;
        }
        // Text mode pairs a dissolve with the outgoing line of the same event number before it.
        if (mode == CutListMode::Text && entry.m_nRawType == CUT_DISSOLVE && !result.empty() &&
            result.back().m_Event.m_nEventNumber == e.event.m_nEventNumber &&
            result.back().m_nRawType == CUT_EDIT) {
            result.back().m_nRawType = CUT_DISSOLVE_OUT;
            entry.m_nRawType = CUT_DISSOLVE_IN;
            entry.m_nLink = static_cast<int32_t>(result.size());  // 1-based number of the 8
        }
        result.push_back(std::move(entry));
    }
    if (result.empty()) {
        return false;
    }
    entries.insert(entries.end(), result.begin(), result.end());
    return true;
}

bool ReadCutListEntries(const std::string& fileName, CutListMode firstMode,
                        std::vector<CCutListEntry>& entries, CutListMode* modeUsed) {
    {
        FilePtr file = OpenForReading(fileName);
        char magic[kCutListMagicSize];
        if (std::fread(magic, 1, sizeof magic, file.get()) == sizeof magic &&
            std::memcmp(magic, kCutListMagic, kCutListMagicSize) == 0) {
            uint8_t header[12];
            if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) {
                return false;
            }
            const uint32_t count = objectkit::le::Get32(header + 8);
            const auto rate = objectkit::ReadConsoleTimecodeRate();
            std::vector<CCutListEntry> result;
            // The count is only trusted as far as the file bears it out: entries are read one
            // by one and a short file ends the list with failure.
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t raw[kCutListEntrySize];
                if (std::fread(raw, 1, sizeof raw, file.get()) != sizeof raw) {
                    return false;
                }
                CCutListEntry entry;
                entry.m_nRawType = static_cast<int32_t>(objectkit::le::Get32(raw));
                entry.m_nStart = objectkit::TimecodeToFrames(
                    objectkit::UnpackTimecode(objectkit::le::Get32(raw + 4)), rate);
                entry.m_nLength = objectkit::DurationToFrames(
                    objectkit::UnpackTimecode(objectkit::le::Get32(raw + 8)), rate);
                entry.m_nLink = static_cast<int32_t>(objectkit::le::Get32(raw + 12));
                const char* reel = reinterpret_cast<const char*>(raw + 16);
                entry.m_Reel.assign(reel, strnlen(reel, kReelField));
                entry.m_Event.m_Reel = entry.m_Reel;
                result.push_back(std::move(entry));
            }
            entries.insert(entries.end(), result.begin(), result.end());
            if (modeUsed) {
                *modeUsed = firstMode;
            }
            return true;
        }
    }
    const CutListMode other = firstMode == CutListMode::Text ? CutListMode::EDL : CutListMode::Text;
    for (CutListMode mode : {firstMode, other}) {
        if (ReadTextCutList(fileName, mode, entries)) {
            if (modeUsed) {
                *modeUsed = mode;
            }
            return true;
        }
    }
    return false;
}

bool WriteCutListFile(const std::string& fileName, const std::vector<CCutListEntry>& entries) {
    const auto rate = objectkit::ReadConsoleTimecodeRate();
    std::vector<uint8_t> data;
    objectkit::le::Writer w{data};
    w.Bytes(kCutListMagic, kCutListMagicSize);
    w.U32(1);
    w.U32(static_cast<uint32_t>(rate));
    w.U32(static_cast<uint32_t>(entries.size()));
    for (const CCutListEntry& e : entries) {
        w.U32(static_cast<uint32_t>(e.m_nRawType));
        w.U32(objectkit::PackTimecode(objectkit::FramesToTimecode(e.m_nStart, rate)));
        // A duration is written as whole labels, without drop-frame skipping.
        const int fps = objectkit::FramesPerSecond(rate);
        CTimecode length{e.m_nLength / fps / 3600, e.m_nLength / fps / 60 % 60,
                         e.m_nLength / fps % 60, e.m_nLength % fps};
        w.U32(objectkit::PackTimecode(length));
        w.U32(static_cast<uint32_t>(e.m_nLink));
        char reel[kReelField] = {};
        std::memcpy(reel, e.m_Reel.data(), std::min(e.m_Reel.size(), kReelField));
        w.Bytes(reel, kReelField);
    }
    std::string tmp = fileName + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) {
        return false;
    }
    fchmod(fd, 0644);
    bool ok = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), fileName.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

void GetCutListItems(const std::string& fileName, CEDLItemList& list) {
    const CutListMode first =
        EndsWithNoCase(fileName, ".txt") ? CutListMode::Text : CutListMode::EDL;
    std::vector<CCutListEntry> entries;
    if (!ReadCutListEntries(fileName, first, entries)) {
        return;
    }
    CEDLItemList items;
    std::vector<int> itemOfEntry(entries.size(), -1);
    int64_t position = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const CCutListEntry& e = entries[i];
        if (e.m_nStart > position) {
            CEDLItem gap;
            gap.m_nKind = CEDLItem::Gap;
            gap.m_nStart = static_cast<int32_t>(position);
            gap.m_nLength = static_cast<int32_t>(e.m_nStart - position);
            items.Add(gap);
            position = e.m_nStart;
        }
        const int kind = CutListKindOf(e.m_nRawType);
        if (kind > 0) {
            CEDLItem item;
            item.m_nKind = kind;
            item.m_nStart = static_cast<int32_t>(position);
            item.m_nLength = e.m_nLength;
            item.m_Reel = e.m_Reel;
            item.m_Clip = e.m_Event.m_Clip;
            item.m_nRawType = e.m_nRawType;
            if (e.m_nLink > 0 && static_cast<size_t>(e.m_nLink) <= i) {
                item.m_nLink = itemOfEntry[static_cast<size_t>(e.m_nLink - 1)];
            }
            itemOfEntry[i] = items.GetSize();
            items.Add(item);
        }
        position += std::max(e.m_nLength, 0);
    }
    for (int i = 0; i < items.GetSize(); ++i) {
        list.Add(items[i]);
    }
}

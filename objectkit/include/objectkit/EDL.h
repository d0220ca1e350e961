// Edit decision lists (text EDLs of several editing systems and the console's binary form),
// the console's cut-list files, and the items that conform works from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <objectkit/Timecode.h>

// Raised when a file cannot be opened: carries the file name and the system's error number.
class CFileException : public std::runtime_error {
  public:
    enum Cause { none = 0, generic = 1, fileNotFound = 2, accessDenied = 5 };
    CFileException(const std::string& fileName, int osError);
    int m_cause;
    long m_lOsError;
    std::string m_strFileName;
};

enum EDLFormat : int {
    EDL_UNKNOWN = 0,
    EDL_GENERIC = 1,  // the console's binary EDL
    EDL_KTL = 2,
    EDL_CMX340 = 3,
    EDL_CMX3400 = 4,
    EDL_SONY_BVE9000 = 5,
    EDL_GVG = 6,
    EDL_AVID = 7,
};
// "UNKNOWN", "GENERIC", "KTL", "CMX340", "CMX3400", "SONY_BVE9000", "GVG", "AVID".
const char* EDLFormatName(int format);

enum EDLEditType : uint8_t { EDL_EDIT_CUT = 1, EDL_EDIT_DISSOLVE = 2, EDL_EDIT_KEY = 4 };

// One event line of an EDL.
struct CEDLEvent {
    int m_nEventNumber = 0;
    int m_nTransitionFrames = 0;   // reserved for the transition length; 0 as read here
    int m_nField2 = 0;             // reserved
    uint8_t m_EditType = 0;        // EDLEditType flags
    uint32_t m_AudioChannels = 0;  // bit n-1 = audio channel n
    bool m_bVideo = false;
    std::string m_Reel;
    int32_t m_nLink = -1;  // the sequence number shared by the two halves of a dissolve
    std::string m_Clip;
    std::string m_Comment;
    int32_t m_nTracks = 1;  // reserved, 1

    bool operator==(const CEDLEvent&) const = default;
};

// The header of a binary EDL.
struct CEDLHeader {
    bool m_bNewForm = true;  // "KTL HDRNEW" (true) or the old "KTL HEADER"
    int32_t m_Values[8] = {};
};
// The writer's use of the binary header values.
enum EDLHeaderValue { EDLHeaderVersion = 0, EDLHeaderEventCount = 1, EDLHeaderRate = 2 };

// Reads one EDL, one event at a time. Text forms skip every line that is not an event line;
// the binary form ("GENERIC") reads its header on construction. Never reads past the end.
class CEDLReader {
  public:
    // Throws CFileException when the file cannot be opened.
    CEDLReader(const std::string& fileName, int format);
    ~CEDLReader();
    CEDLReader(const CEDLReader&) = delete;
    CEDLReader& operator=(const CEDLReader&) = delete;

    int Format() const { return format_; }
    // Binary form: whether the file starts with one of the two headers.
    bool HeaderValid() const { return headerValid_; }
    const CEDLHeader& Header() const { return header_; }
    // True once a text EDL wrote a timecode with ";" or "," (drop-frame timecode).
    bool IsDropFrame() const { return dropFrame_; }
    bool IsEOF() const { return eof_; }
    // True when reading stopped at a text line longer than kMaxLineLength. Such a line is
    // not read at all (no event is made from part of it) and nothing after it is read.
    bool HasUnreadableLine() const { return unreadableLine_; }

    // The next event and its source in, record in and record out; false at the end.
    bool ReadEvent(CEDLEvent& event, CTimecode& sourceIn, CTimecode& recordIn,
                   CTimecode& recordOut);

    // The longest text line read (line end not counted); a longer one stops the reading.
    static constexpr size_t kMaxLineLength = size_t{8} << 20;
    // The longest string field a binary record may carry.
    static constexpr uint32_t kMaxBinaryString = 4096;

    // Parses one text line; false when it is not a valid event line. Exposed for tests.
    static bool ParseEventLine(const std::string& line, int format, CEDLEvent& event,
                               CTimecode& sourceIn, CTimecode& recordIn, CTimecode& recordOut,
                               bool& dropFrame);
    // Applies the channel-field rules of `format`; false when the field is not valid.
    static bool ParseChannelField(std::string field, int format, CEDLEvent& event);
    // Reads a timecode word into tc; sets dropFrame on ";" or ",".
    static void ParseTimecode(const std::string& word, CTimecode& tc, bool& dropFrame);

  private:
    bool ReadLine(std::string& line);
    bool ReadBinaryEvent(CEDLEvent& event, CTimecode& sourceIn, CTimecode& recordIn,
                         CTimecode& recordOut);
    bool ReadBinaryString(std::string& s);

    FILE* file_ = nullptr;
    int format_;
    bool headerValid_ = false;
    bool dropFrame_ = false;
    bool eof_ = false;
    bool unreadableLine_ = false;
    CEDLHeader header_;
};

// Writes the binary EDL form ("KTL HDRNEW").
class CEDLWriter {
  public:
    // False when the file cannot be created.
    bool Open(const std::string& fileName, const CEDLHeader& header);
    bool WriteEvent(const CEDLEvent& event, const CTimecode& sourceIn, const CTimecode& recordIn,
                    const CTimecode& recordOut);
    // Writes the file (to a temporary renamed into place). False on any failure.
    bool Close();

  private:
    std::string fileName_;
    std::vector<uint8_t> data_;
    int32_t events_ = 0;
    bool open_ = false;
};

// One half of an edit: where material comes from (source item) or where it goes (destination
// item). Items come in pairs, source first.
class CSourceDestItem {
  public:
    CSourceDestItem() = default;
    CSourceDestItem(const CSourceDestItem& other);
    CSourceDestItem& operator=(const CSourceDestItem& other);
    CSourceDestItem(CSourceDestItem&&) noexcept = default;
    CSourceDestItem& operator=(CSourceDestItem&&) noexcept = default;
    virtual ~CSourceDestItem() = default;

    std::unique_ptr<CEDLEvent> m_pEvent;  // a copy of the event the item came from, or none
    int32_t m_nType = 0;                  // 0 source, 1 destination
    int32_t m_In = 0;                     // packed timecode value as read, or frames
    int32_t m_Out = 0;                    // exclusive end, same unit as m_In
    int32_t m_nTrack = 0;
    int32_t m_nReelIndex = -1;  // index among the package's source reels, -1 = none
    int32_t m_bEnabled = 1;
};

// Appends the EDL's items, source then destination, read in the binary form. With
// keepTimecodes the positions are packed timecode values as read; otherwise frames at the
// console's rate. Throws CFileException when the file cannot be opened.
void GetSourceDestItems(const std::string& fileName, std::vector<CSourceDestItem>& out,
                        bool keepTimecodes);

// One consecutive piece of a cut list.
struct CEDLItem {
    enum Kind { Gap = 0, FirstGroup = 1, SecondGroup = 2 };
    int m_nKind = Gap;
    int32_t m_nLink = -1;   // index of the item this one is linked with (dissolve halves)
    int32_t m_nLength = 0;  // frames
    std::string m_Reel;
    std::string m_Clip;
    std::string m_Comment;
    int32_t m_nStart = 0;    // record position in frames
    int32_t m_nRawType = 0;  // the cut-list entry's edit type
};

class CEDLItemList {
  public:
    CEDLItemList() = default;
    CEDLItemList(const CEDLItemList& other);
    CEDLItemList& operator=(const CEDLItemList& other);
    CEDLItemList(CEDLItemList&&) noexcept = default;
    CEDLItemList& operator=(CEDLItemList&&) noexcept = default;

    int GetSize() const { return static_cast<int>(items_.size()); }
    const CEDLItem& operator[](int i) const { return *items_.at(static_cast<size_t>(i)); }
    CEDLItem& operator[](int i) { return *items_.at(static_cast<size_t>(i)); }
    void Add(const CEDLItem& item) { items_.push_back(std::make_unique<CEDLItem>(item)); }
    void RemoveAll() { items_.clear(); }

  private:
    std::vector<std::unique_ptr<CEDLItem>> items_;
};

// Edit types of cut-list entries: 1 cut, 2 dissolve, 3 key, 4 and 5 other edits of the first
// group, 6 and 7 of the second; text cut lists mark the outgoing half of a dissolve 8 and the
// incoming half 9 (which refers back to its 8 by 1-based entry number).
enum CutListEditType : int32_t {
    CUT_EDIT = 1,
    CUT_DISSOLVE = 2,
    CUT_KEY = 3,
    CUT_DISSOLVE_OUT = 8,
    CUT_DISSOLVE_IN = 9,
};
// Kind 1 for 1, 3, 4, 5, 8; kind 2 for 2, 6, 7, 9; -1 for any other type.
int CutListKindOf(int32_t rawType);

// One entry of a cut list, read from a "KTL_CUTLIST_FILE" file or from a text EDL.
struct CCutListEntry {
    int32_t m_nRawType = 0;
    int32_t m_nStart = 0;   // record start, frames
    int32_t m_nLength = 0;  // frames
    int32_t m_nLink = 0;    // 1-based number of the entry this one refers to, 0 = none
    std::string m_Reel;
    CEDLEvent m_Event;  // the EDL event behind the entry (text EDLs)
    // Source in of the entry (text EDLs), in frames counted exactly as m_nStart is, so that a
    // drop-frame EDL places both on the same count; -1 when its word was no timecode.
    int32_t m_nSourceIn = -1;
    bool m_bHasSource = false;  // m_nSourceIn was read (text EDLs); else the source is the start
};

// The binary cut-list file: "KTL_CUTLIST_FILE", two header values (format version 1, rate
// code), the entry count, then 32-byte entries: edit type, start (packed timecode), length
// (packed timecode of a duration), link (1-based entry number, 0 = none), reel of 16 bytes.
inline constexpr size_t kCutListEntrySize = 32;

enum class CutListMode { Text, EDL };
// Reads a cut-list file, or a text EDL in `firstMode`, falling back to the other mode when the
// first finds no event (modeUsed tells which one read it). False when nothing could be read
// or a cut-list file's entries run short. Throws CFileException when the file cannot be opened.
bool ReadCutListEntries(const std::string& fileName, CutListMode firstMode,
                        std::vector<CCutListEntry>& entries, CutListMode* modeUsed = nullptr);
// Entries of a text EDL in one mode (false when it has no event).
bool ReadTextCutList(const std::string& fileName, CutListMode mode,
                     std::vector<CCutListEntry>& entries);
// Writes a "KTL_CUTLIST_FILE" file. False on failure.
bool WriteCutListFile(const std::string& fileName, const std::vector<CCutListEntry>& entries);

// Appends the file's cut-list items (gaps and edits with their lengths) to `list`.
// Throws CFileException when the file cannot be opened.
void GetCutListItems(const std::string& fileName, CEDLItemList& list);

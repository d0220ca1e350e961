#include <objectkit/EDL.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "LittleEndian.h"

namespace {

constexpr char kNewHeader[] = "KTL HDRNEW";
constexpr char kOldHeader[] = "KTL HEADER";
constexpr size_t kHeaderMagicSize = 10;

bool Contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}
bool Contains(const std::string& s, char c) {
    return s.find(c) != std::string::npos;
}

void RemoveFirst(std::string& s, const char* part) {
    auto at = s.find(part);
    if (at != std::string::npos) {
        s.erase(at, std::strlen(part));
    }
}

void RemoveAll(std::string& s, char c) {
    s.erase(std::remove(s.begin(), s.end(), c), s.end());
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) {
        return {};
    }
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A decimal integer from the leading digits, held below a million so that no later sum
// overflows; a word without digits reads as 0.
int ParseDecimal(const std::string& s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            break;
        }
        v = std::min(v * 10 + (c - '0'), 999999);
    }
    return v;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

}  // namespace

CFileException::CFileException(const std::string& fileName, int osError)
    : std::runtime_error("cannot open " + fileName + ": " + std::strerror(osError)),
      m_cause(osError == ENOENT ? fileNotFound : (osError == EACCES ? accessDenied : generic)),
      m_lOsError(osError),
      m_strFileName(fileName) {}

const char* EDLFormatName(int format) {
    static const char* const kNames[] = {"UNKNOWN", "GENERIC",      "KTL", "CMX340",
                                         "CMX3400", "SONY_BVE9000", "GVG", "AVID"};
    return format >= 0 && format < 8 ? kNames[format] : "UNKNOWN";
}

CEDLReader::CEDLReader(const std::string& fileName, int format) : format_(format) {
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) {
        throw CFileException(fileName, errno);
    }
    struct stat st {};
    if (fstat(fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        throw CFileException(fileName, EISDIR);
    }
    if (format_ != EDL_GENERIC) {
        return;
    }
    char magic[kHeaderMagicSize];
    uint8_t values[32];
    if (std::fread(magic, 1, sizeof magic, file_) == sizeof magic &&
        (std::memcmp(magic, kNewHeader, kHeaderMagicSize) == 0 ||
         std::memcmp(magic, kOldHeader, kHeaderMagicSize) == 0) &&
        std::fread(values, 1, sizeof values, file_) == sizeof values) {
        header_.m_bNewForm = std::memcmp(magic, kNewHeader, kHeaderMagicSize) == 0;
        for (int i = 0; i < 8; ++i) {
            header_.m_Values[i] = static_cast<int32_t>(objectkit::le::Get32(values + 4 * i));
        }
        headerValid_ = true;
    } else {
        eof_ = true;
    }
}

CEDLReader::~CEDLReader() {
    if (file_) {
        std::fclose(file_);
    }
}

// Lines are read whole: an event's record out is its last word, so a line cut anywhere would
// yield wrong timecodes (or lose the event) without a sign of it. Only a line longer than
// kMaxLineLength, far beyond any editing system's line, is not held; it is not read at all and
// the reading stops there with unreadableLine_ set, so that no event is made from part of it
// and callers can tell a damaged list from a complete one.
bool CEDLReader::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        int c = std::getc(file_);
        if (c == EOF) {
            return any;
        }
        any = true;
        if (c == '\n') {
            return true;
        }
        if (c == '\r') {
            if (format_ == EDL_GVG) {
                // GVG systems end lines with a carriage return alone; take a following line
                // feed with it.
                int next = std::getc(file_);
                if (next != '\n' && next != EOF) {
                    std::ungetc(next, file_);
                }
                return true;
            }
            continue;
        }
        if (line.size() == kMaxLineLength) {
            unreadableLine_ = true;
            line.clear();
            return false;
        }
        line.push_back(static_cast<char>(c));
    }
}

void CEDLReader::ParseTimecode(const std::string& word, CTimecode& tc, bool& dropFrame) {
    if (word.size() < 4) {
        tc.hours = -1;
        return;
    }
    std::string w = word;
    if (Contains(w, ';') || Contains(w, ',')) {
        dropFrame = true;
    }
    for (char& c : w) {
        if (c == ';' || c == ',' || c == '.') {
            c = ':';
        }
    }
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t colon = w.find(':', start);
        parts.push_back(w.substr(start, colon == std::string::npos ? colon : colon - start));
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    size_t n = parts.size();
    tc.frames = ParseDecimal(parts[n - 1]);
    if (n >= 2) {
        tc.seconds = ParseDecimal(parts[n - 2]);
    }
    if (n >= 3) {
        tc.minutes = ParseDecimal(parts[n - 3]);
    }
    if (n == 4) {
        tc.hours = ParseDecimal(parts[0]);
    }
}

bool CEDLReader::ParseChannelField(std::string f, int format, CEDLEvent& event) {
    RemoveAll(f, '/');
    if (Contains(f, 'V')) {
        event.m_bVideo = true;
        RemoveAll(f, 'V');
    }
    switch (format) {
        case EDL_KTL:
        case EDL_CMX340:
            if (f == "NONE") {
                f.clear();
            }
            if (Contains(f, "AA")) {
                event.m_AudioChannels |= 0x3;
                RemoveFirst(f, "AA");
            }
            if (Contains(f, "A2")) {
                event.m_AudioChannels |= 0x2;
                RemoveFirst(f, "A2");
            }
            if (Contains(f, 'A') && !Contains(f, "AUD")) {
                event.m_AudioChannels |= 0x1;
                RemoveFirst(f, "A");
            }
            if (Contains(f, 'B')) {
                event.m_AudioChannels |= 0x1;
                event.m_bVideo = true;
                RemoveFirst(f, "B");
            }
            if (Contains(f, "AUD")) {
                RemoveAll(f, 'A');
                RemoveAll(f, 'U');
                RemoveAll(f, 'D');
            }
            if (Contains(f, '3')) {
                event.m_AudioChannels |= 0x4;
                RemoveAll(f, '3');
            }
            if (Contains(f, '4')) {
                event.m_AudioChannels |= 0x8;
                RemoveAll(f, '4');
            }
            break;
        case EDL_CMX3400:
        case EDL_GVG:
            RemoveAll(f, 'A');
            for (char d = '1'; d <= '8'; ++d) {
                if (Contains(f, d)) {
                    event.m_AudioChannels |= 1u << (d - '1');
                    RemoveAll(f, d);
                }
            }
            RemoveAll(f, 'B');
            if (f == "UD") {
                f.clear();
            }
            break;
        case EDL_SONY_BVE9000:
            RemoveAll(f, 'A');
            for (char d = '1'; d <= '4'; ++d) {
                if (Contains(f, d)) {
                    event.m_AudioChannels |= 1u << (d - '1');
                    RemoveAll(f, d);
                }
            }
            break;
        default:
            break;
    }
    f = Trim(f);
    return f.empty() || EqualsNoCase(f, "none");
}

bool CEDLReader::ParseEventLine(const std::string& raw, int format, CEDLEvent& event,
                                CTimecode& sourceIn, CTimecode& recordIn, CTimecode& recordOut,
                                bool& dropFrame) {
    if (std::count(raw.begin(), raw.end(), ':') <= 4) {
        return false;
    }
    std::string line = raw;
    RemoveAll(line, '*');
    RemoveAll(line, '\x0f');
    std::vector<std::string> words = SplitWords(Trim(line));
    if (words.empty()) {
        return false;
    }
    if (!Contains(words.back(), ':')) {
        std::string last = words.back();
        if (Contains(last, "A3") || Contains(last, "A4")) {
            if (words.size() > 2 && (Contains(words[2], 'V') || Contains(words[2], 'A'))) {
                words[2] += last;
            } else if (words.size() >= 2) {
                words.insert(words.begin() + 2, last);
            }
        }
        words.pop_back();
    }
    if (words.size() < 4) {
        return false;
    }
    const size_t n = words.size() - 1;
    CEDLEvent parsed;
    CTimecode src, recIn, recOut;
    bool drop = false;
    ParseTimecode(words[n - 3], src, drop);
    ParseTimecode(words[n - 1], recIn, drop);
    ParseTimecode(words[n], recOut, drop);
    std::string number = words[0];
    number.erase(0, number.find_first_not_of('0') == std::string::npos
                        ? number.size()
                        : number.find_first_not_of('0'));
    parsed.m_nEventNumber = ParseDecimal(number);
    if (!ParseChannelField(words[2], format, parsed)) {
        return false;
    }
    switch (words[3][0]) {
        case 'C':
            parsed.m_EditType = EDL_EDIT_CUT;
            break;
        case 'D':
            parsed.m_EditType = EDL_EDIT_DISSOLVE;
            break;
        case 'K':
            parsed.m_EditType = EDL_EDIT_KEY;
            break;
        default:
            break;
    }
    parsed.m_Reel = words[1];
    event = std::move(parsed);
    sourceIn = src;
    recordIn = recIn;
    recordOut = recOut;
    dropFrame = dropFrame || drop;
    return true;
}

bool CEDLReader::ReadBinaryString(std::string& s) {
    uint8_t lengthBytes[4];
    if (std::fread(lengthBytes, 1, 4, file_) != 4) {
        return false;
    }
    uint32_t length = objectkit::le::Get32(lengthBytes);
    if (length > kMaxBinaryString) {
        return false;  // not a record we wrote: stop rather than allocate
    }
    s.resize(length);
    return length == 0 || std::fread(s.data(), 1, length, file_) == length;
}

bool CEDLReader::ReadBinaryEvent(CEDLEvent& event, CTimecode& sourceIn, CTimecode& recordIn,
                                 CTimecode& recordOut) {
    uint8_t fixed[21];
    if (std::fread(fixed, 1, 4, file_) != 4 || std::fread(fixed + 4, 1, 17, file_) != 17) {
        return false;
    }
    CEDLEvent e;
    e.m_EditType = fixed[12];
    e.m_bVideo = fixed[16] != 0;
    e.m_AudioChannels = objectkit::le::Get32(fixed + 17);
    std::string dropped;
    if (!header_.m_bNewForm && !ReadBinaryString(dropped)) {
        return false;
    }
    if (!ReadBinaryString(e.m_Reel) || !ReadBinaryString(e.m_Clip)) {
        return false;
    }
    if (e.m_Reel.empty()) {
        e.m_Reel = "...";
    }
    if (header_.m_bNewForm) {
        uint8_t link[4];
        if (std::fread(link, 1, 4, file_) != 4) {
            return false;
        }
        e.m_nLink = static_cast<int32_t>(objectkit::le::Get32(link));
    }
    sourceIn = objectkit::UnpackTimecode(objectkit::le::Get32(fixed));
    recordIn = objectkit::UnpackTimecode(objectkit::le::Get32(fixed + 4));
    recordOut = objectkit::UnpackTimecode(objectkit::le::Get32(fixed + 8));
    event = std::move(e);
    return true;
}

bool CEDLReader::ReadEvent(CEDLEvent& event, CTimecode& sourceIn, CTimecode& recordIn,
                           CTimecode& recordOut) {
    if (eof_ || !file_) {
        return false;
    }
    if (format_ == EDL_GENERIC) {
        if (!ReadBinaryEvent(event, sourceIn, recordIn, recordOut)) {
            eof_ = true;
            return false;
        }
        return true;
    }
    std::string line;
    while (ReadLine(line)) {
        if (ParseEventLine(line, format_, event, sourceIn, recordIn, recordOut, dropFrame_)) {
            return true;
        }
    }
    eof_ = true;
    return false;
}

bool CEDLWriter::Open(const std::string& fileName, const CEDLHeader& header) {
    fileName_ = fileName;
    // The magic starts the buffer by assignment rather than by an append to the emptied
    // buffer: for the latter GCC 12 at -O3 (Release) reports a write past the new allocation
    // (-Wstringop-overflow, -Warray-bounds; GCC bugs 100366 and 106199) that cannot happen.
    data_.assign(kNewHeader, kNewHeader + kHeaderMagicSize);
    events_ = 0;
    objectkit::le::Writer w{data_};
    for (int32_t v : header.m_Values) {
        w.U32(static_cast<uint32_t>(v));
    }
    open_ = true;
    return true;
}

bool CEDLWriter::WriteEvent(const CEDLEvent& event, const CTimecode& sourceIn,
                            const CTimecode& recordIn, const CTimecode& recordOut) {
    if (!open_) {
        return false;
    }
    objectkit::le::Writer w{data_};
    w.U32(objectkit::PackTimecode(sourceIn));
    w.U32(objectkit::PackTimecode(recordIn));
    w.U32(objectkit::PackTimecode(recordOut));
    w.U32(event.m_EditType);
    w.U8(event.m_bVideo ? 1 : 0);
    w.U32(event.m_AudioChannels);
    w.String(event.m_Reel.substr(0, CEDLReader::kMaxBinaryString));
    w.String(event.m_Clip.substr(0, CEDLReader::kMaxBinaryString));
    w.U32(static_cast<uint32_t>(event.m_nLink));
    ++events_;
    return true;
}

bool CEDLWriter::Close() {
    if (!open_) {
        return false;
    }
    open_ = false;
    objectkit::le::Put32(data_.data() + kHeaderMagicSize + 4 * EDLHeaderEventCount,
                         static_cast<uint32_t>(events_));
    std::string tmp = fileName_ + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) {
        return false;
    }
    fchmod(fd, 0644);
    bool ok = true;
    size_t done = 0;
    while (ok && done < data_.size()) {
        ssize_t n = write(fd, data_.data() + done, data_.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), fileName_.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

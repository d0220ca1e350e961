// Saving and loading an event array as the streams of a compound file:
//   "Path Mode"      4 bytes: max paths mode of the writer (0 = 8-bit paths, 1 = 16-bit paths)
//   "File Version"   40 bytes: major, minor, 0, 0, then nine int32 of the local broken-down time
//   "Time And Date"  16 bytes: the local time as eight uint16 (a Win32 SYSTEMTIME)
//   "AutomationData" 20-byte records; files of version 1.1 and 1.2 hold a uint32 length and a
//                    zlib stream of the records instead.
// Other streams of the file belong to the caller and are kept.
#include <sys/time.h>

#include <sys/stat.h>
#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <memory>

#include <zlib.h>

#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>
#include <objectkit/StatusMessages.h>
#include <platform/storage.h>

#include "AutomationFileFormat.h"
#include "LittleEndian.h"

namespace objectkit::files {

namespace {
using platform::storage::CompoundFile;
using platform::storage::Status;

// Short streams are read whole; anything claiming more than this is not one of ours.
constexpr uint64_t kMaxSmallStream = 4096;
// 20-byte records of up to INT_MAX events.
constexpr uint64_t kMaxDataStream = uint64_t{INT_MAX} * kRecordSize;
// zlib cannot expand data by more than about 1032:1; a stated length beyond that is a lie.
constexpr uint64_t kMaxInflateRatio = 1100;

std::vector<uint8_t> U32Bytes(uint32_t v) {
    std::vector<uint8_t> b(4);
    le::Put32(b.data(), v);
    return b;
}
}  // namespace

void EncodeRecord(const CAutomationEvent& e, int pathMode, uint8_t* r) {
    le::Put32(r, kRecordTag);
    le::Put32(r + 4, static_cast<uint32_t>(e.timeStamp));
    le::Put32(r + 8, e.flags);
    if (pathMode == 1) {
        le::Put16(r + 12, static_cast<uint16_t>(e.path));
        r[14] = e.module;
        r[15] = e.control;
    } else {
        r[12] = static_cast<uint8_t>(e.path);
        r[13] = e.module;
        r[14] = e.control;
        r[15] = 0;
    }
    le::Put16(r + 16, e.oldValue);
    le::Put16(r + 18, e.value);
}

void DecodeRecord(const uint8_t* r, int pathMode, CAutomationEvent& e) {
    e.timeStamp = static_cast<int32_t>(le::Get32(r + 4));
    e.flags = r[8];
    if (pathMode == 1) {
        e.path = le::Get16(r + 12);
        e.module = r[14];
        e.control = r[15];
    } else {
        e.path = r[12];
        e.module = r[13];
        e.control = r[14];
    }
    e.oldValue = le::Get16(r + 16);
    e.value = le::Get16(r + 18);
}

std::vector<uint8_t> FileVersionStream(const std::tm& t, uint8_t major, uint8_t minor) {
    std::vector<uint8_t> b(kFileVersionSize, 0);
    b[0] = major;
    b[1] = minor;
    const int fields[9] = {t.tm_sec,  t.tm_min,  t.tm_hour, t.tm_mday, t.tm_mon,
                           t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst};
    for (int i = 0; i < 9; ++i) {
        le::Put32(b.data() + 4 + 4 * i, static_cast<uint32_t>(fields[i]));
    }
    return b;
}

std::vector<uint8_t> TimeAndDateStream(const std::tm& t, int milliseconds) {
    std::vector<uint8_t> b(kTimeAndDateSize, 0);
    const int fields[8] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday,
                           t.tm_hour,        t.tm_min,     t.tm_sec,  milliseconds};
    for (int i = 0; i < 8; ++i) {
        le::Put16(b.data() + 2 * i, static_cast<uint16_t>(fields[i]));
    }
    return b;
}

bool WriteEventStreams(CompoundFile& storage, const CAutomationEventArray& array, int pathMode) {
    timeval now{};
    gettimeofday(&now, nullptr);
    std::tm local{};
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);

    // The records are encoded piece by piece as the file is written, not held whole.
    const uint64_t bytes = static_cast<uint64_t>(array.GetSize()) * kRecordSize;
    const CAutomationEvent* events = array.GetData();
    auto produce = [events, pathMode](uint8_t* out, size_t size, uint64_t offset) {
        uint64_t record = offset / kRecordSize;
        size_t skip = static_cast<size_t>(offset % kRecordSize);
        while (size > 0) {
            if (skip == 0 && size >= kRecordSize) {
                EncodeRecord(events[record], pathMode, out);
                out += kRecordSize;
                size -= kRecordSize;
            } else {
                uint8_t one[kRecordSize];
                EncodeRecord(events[record], pathMode, one);
                const size_t n = std::min(size, kRecordSize - skip);
                std::memcpy(out, one + skip, n);
                out += n;
                size -= n;
                skip = 0;
            }
            ++record;
        }
        return true;
    };
    storage.writeStream(kPathModeStream, U32Bytes(static_cast<uint32_t>(pathMode)));
    const bool ok = storage.writeStream(kAutomationDataStream, bytes, produce) == Status::Ok;
    storage.writeStream(kFileVersionStream, FileVersionStream(local, 1, 4));
    storage.writeStream(kTimeAndDateStream,
                        TimeAndDateStream(local, static_cast<int>(now.tv_usec / 1000)));
    return ok;
}

void EncodeBlockRecord(const CAutomationEvent& e, uint8_t* r) {
    r[0] = e.module;
    r[1] = e.control;
    le::Put16(r + 2, e.value);
    le::Put32(r + 4, static_cast<uint32_t>(e.path));
    le::Put32(r + 8, static_cast<uint32_t>(e.timeStamp));
    r[12] = e.flags;
    r[13] = 0;
    le::Put16(r + 14, e.oldValue);
}

void DecodeBlockRecord(const uint8_t* r, CAutomationEvent& e) {
    e.module = r[0];
    e.control = r[1];
    e.value = le::Get16(r + 2);
    e.path = static_cast<int32_t>(le::Get32(r + 4));
    e.timeStamp = static_cast<int32_t>(le::Get32(r + 8));
    e.flags = r[12];
    e.oldValue = le::Get16(r + 14);
}

}  // namespace objectkit::files

using namespace objectkit::files;
namespace le = objectkit::le;

int CAutomationEventArray::Save(const std::string& file) const {
    const int pathMode = objectkit::ReadMaxPathsMode();
    // All four streams go into the file in one rewrite: they replace the old ones together
    // or not at all.
    std::unique_ptr<CompoundFile> storage;
    if (CompoundFile::open(file, CompoundFile::Mode::ReadWrite, storage) != Status::Ok) {
        return 0;
    }
    const bool ok = WriteEventStreams(*storage, *this, pathMode);
    return storage->close() == Status::Ok && ok ? 1 : 0;
}

int CAutomationEventArray::Load(const std::string& file) {
    int pathMode = 0;
    return Load(file, pathMode);
}

int CAutomationEventArray::Load(const std::string& file, int& pathMode) {
    std::unique_ptr<CompoundFile> storage;
    if (CompoundFile::open(file, CompoundFile::Mode::Read, storage) != Status::Ok) {
        return 0;
    }
    std::vector<uint8_t> bytes;
    uint32_t fileMode = 0;
    if (storage->readStream(kPathModeStream, bytes, kMaxSmallStream) == Status::Ok &&
        bytes.size() >= 4) {
        fileMode = le::Get32(bytes.data());
    }
    pathMode = static_cast<int>(fileMode);
    const int recordMode = fileMode == 1 ? 1 : 0;
    if (recordMode == 1 && objectkit::ReadMaxPathsMode() != 1) {
        return 0;  // a 500-path file cannot be loaded on a 256-path system
    }
    objectkit::PostStatusMessage(objectkit::StatusFileLoad, 0);

    int major = 1, minor = 0;
    if (storage->readStream(kFileVersionStream, bytes, kMaxSmallStream) == Status::Ok &&
        !bytes.empty()) {
        major = bytes[0];
        minor = bytes.size() > 1 ? bytes[1] : 0;
    }
    uint64_t streamSize = 0;
    if (storage->streamSize(kAutomationDataStream, streamSize) != Status::Ok) {
        return 0;
    }
    // The records cannot be more than the file holds; a larger stated size is damage.
    struct stat st {};
    if (stat(file.c_str(), &st) != 0 || streamSize > static_cast<uint64_t>(st.st_size) ||
        streamSize > kMaxDataStream) {
        return 0;
    }
    const bool compressed = major == 1 && (minor == 1 || minor == 2);
    if (!compressed) {
        const size_t count = static_cast<size_t>(streamSize / kRecordSize);
        if (count == 0) {
            return 1;  // the array keeps what it held
        }
        objectkit::PostStatusMessage(objectkit::StatusFileLoad, 50);
        SetSize(static_cast<int>(count));
        // Records are decoded straight from the stream's pieces into the array.
        const size_t step = count >= 15 ? count / 15 : 0;
        size_t next = 0;
        uint8_t partial[kRecordSize];
        size_t partialSize = 0;
        auto decode = [&](const uint8_t* data, size_t size) {
            while (size > 0 && next < count) {
                const uint8_t* record = data;
                if (partialSize > 0 || size < kRecordSize) {
                    const size_t n = std::min(size, kRecordSize - partialSize);
                    std::memcpy(partial + partialSize, data, n);
                    partialSize += n;
                    data += n;
                    size -= n;
                    if (partialSize < kRecordSize) {
                        break;
                    }
                    record = partial;
                    partialSize = 0;
                } else {
                    data += kRecordSize;
                    size -= kRecordSize;
                }
                DecodeRecord(record, recordMode, data_[next]);
                if (step && next > 0 && next % step == 0) {
                    objectkit::PostStatusMessage(
                        objectkit::StatusFileLoad,
                        objectkit::PercentOf(static_cast<long long>(next),
                                             static_cast<long long>(count)));
                }
                ++next;
            }
            return true;
        };
        if (storage->readStream(kAutomationDataStream, decode, kMaxDataStream) != Status::Ok ||
            next != count) {
            RemoveAll();
            return 0;
        }
        return 1;
    }

    if (storage->readStream(kAutomationDataStream, bytes, kMaxDataStream) != Status::Ok) {
        return 0;
    }
    storage->close();
    if (bytes.size() < 4) {
        RemoveAll();
        return 0;
    }
    const uint64_t length = le::Get32(bytes.data());
    if (length < kRecordSize) {
        RemoveAll();
        return 1;
    }
    const uint64_t packed = bytes.size() - 4;
    if (length > packed * kMaxInflateRatio + 64) {
        RemoveAll();
        return 0;
    }
    // The data inflates into room for the stated number of whole records and no more: data
    // that would run past them disagrees with the stated length (uncompress reports it as a
    // full buffer) and counts as damage like any other decompression error.
    const uint64_t room = length / kRecordSize * kRecordSize;
    std::vector<uint8_t> inflated(static_cast<size_t>(room));
    uLongf outLength = static_cast<uLongf>(room);
    if (uncompress(inflated.data(), &outLength, bytes.data() + 4, static_cast<uLong>(packed)) !=
        Z_OK) {
        RemoveAll();
        return 0;
    }
    const size_t count = outLength / kRecordSize;
    SetSize(static_cast<int>(count));
    const size_t step = count >= 15 ? count / 15 : 0;
    for (size_t i = 0; i < count; ++i) {
        DecodeRecord(inflated.data() + i * kRecordSize, recordMode, data_[i]);
        if (step && i > 0 && i % step == 0) {
            objectkit::PostStatusMessage(
                objectkit::StatusFileLoad,
                objectkit::PercentOf(static_cast<long long>(i), static_cast<long long>(count)));
        }
    }
    return 1;
}

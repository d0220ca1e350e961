#include <objectkit/AutomationBlockFile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include <zlib.h>

#include "FileSettings.h"
#include "LittleEndian.h"

namespace {

constexpr char kMagic[9] = "AUTXFILE";
constexpr uint8_t kFill = 0xBB;

// Repeats pread or pwrite until the whole range is moved; false on an error or end of file.
template <typename Bytes, typename Transfer>
bool TransferAll(Transfer transfer, int fd, uint64_t offset, Bytes* data, size_t size) {
    while (size > 0) {
        ssize_t n = transfer(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, uint64_t offset, void* data, size_t size) {
    return TransferAll(::pread, fd, offset, static_cast<uint8_t*>(data), size);
}

}  // namespace

CAutomationBlockFile::CAutomationBlockFile() : compress_(objectkit::files::ReadCompressedAuto()) {}

CAutomationBlockFile::~CAutomationBlockFile() {
    Close();
}

void CAutomationBlockFile::SetHeaderWord(int word, uint32_t value) {
    if (word < 2 || word > 6) {
        throw std::out_of_range("block file header word");
    }
    if (headerWords_[static_cast<size_t>(word - 1)] != value) {
        headerWords_[static_cast<size_t>(word - 1)] = value;
        modified_ = true;
    }
}

bool CAutomationBlockFile::Open(const std::string& name) {
    Close();
    headerWritten_ = false;
    modified_ = false;
    headerWords_ = {1, 0, 0, 0, 0, 0};
    directory_.fill(DirectoryEntry{});

    // Other processes may read the file while we write it (the shared-read opening of the
    // console's programs); nothing stops a second writer, as there.
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);  // still readable; writes will fail
    }
    if (fd < 0) {
        return false;
    }
    uint8_t header[kHeaderSize];
    if (!ReadAll(fd, 0, header, sizeof header) || std::memcmp(header, kMagic, 8) != 0) {
        fd_ = fd;  // new, short or foreign: empty directory, header not yet written
        return true;
    }
    uint32_t count = objectkit::le::Get32(header + 32);
    if (count > static_cast<uint32_t>(kMaxEntries)) {
        ::close(fd);  // the stated directory would overlap the data: not a file we wrote
        return false;
    }
    for (int w = 0; w < 6; ++w) {
        headerWords_[static_cast<size_t>(w)] = objectkit::le::Get32(header + 8 + 4 * w);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = header + kDirectoryOffset + 16 * i;
        DirectoryEntry& entry = directory_[i];
        entry.id = static_cast<int32_t>(objectkit::le::Get32(e));
        entry.offset = objectkit::le::Get32(e + 4);
        entry.size = objectkit::le::Get32(e + 8);
        entry.chunks = objectkit::le::Get32(e + 12);
    }
    headerWritten_ = true;
    fd_ = fd;
    return true;
}

bool CAutomationBlockFile::WriteAll(uint64_t offset, const void* data, size_t size) {
    return TransferAll(::pwrite, fd_, offset, static_cast<const uint8_t*>(data), size);
}

bool CAutomationBlockFile::WriteHeader() {
    uint8_t header[kHeaderSize];
    std::memset(header, kFill, sizeof header);
    std::memcpy(header, kMagic, sizeof kMagic);
    for (int w = 0; w < 6; ++w) {
        objectkit::le::Put32(header + 8 + 4 * w,
                             w == 0 ? 1u : headerWords_[static_cast<size_t>(w)]);
    }
    uint32_t used = 0;
    for (const DirectoryEntry& entry : directory_) {
        if (entry.id < 0) {
            continue;
        }
        uint8_t* e = header + kDirectoryOffset + 16 * used++;
        objectkit::le::Put32(e, static_cast<uint32_t>(entry.id));
        objectkit::le::Put32(e + 4, entry.offset);
        objectkit::le::Put32(e + 8, entry.size);
        objectkit::le::Put32(e + 12, entry.chunks);
    }
    objectkit::le::Put32(header + 32, used);
    if (!WriteAll(0, header, sizeof header)) {
        return false;
    }
    headerWritten_ = true;
    return true;
}

bool CAutomationBlockFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    bool ok = true;
    struct stat st {};
    bool empty = fstat(fd_, &st) == 0 && st.st_size == 0;
    // The header is rewritten only for our own changes or a new file: closing a foreign file
    // that was opened and never written must not stamp a header over its first kilobyte.
    if (modified_ || (!headerWritten_ && empty)) {
        ok = WriteHeader();
    }
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    modified_ = false;
    return ok;
}

int CAutomationBlockFile::FindBlock(int32_t id) const {
    int firstFree = -1;
    for (int i = 0; i < kMaxEntries; ++i) {
        if (directory_[static_cast<size_t>(i)].id == id && id != -1) {
            return i;
        }
        if (firstFree < 0 && directory_[static_cast<size_t>(i)].id == -1) {
            firstFree = i;
        }
    }
    return firstFree;
}

bool CAutomationBlockFile::WriteChunks(DirectoryEntry& entry, const uint8_t* data, uint32_t size,
                                       uint64_t offset) {
    std::vector<uint8_t> buffer(kChunkHeaderSize + kMaxCompressedChunk);
    uint32_t done = 0;
    while (done < size) {
        uint32_t length = std::min(kChunkSize, size - done);
        uLongf compressedLength = length * 110 / 100 + 12;
        if (compress2(buffer.data() + kChunkHeaderSize, &compressedLength, data + done, length,
                      1) != Z_OK) {
            return false;
        }
        if (chunkPause_.count() > 0) {
            std::this_thread::sleep_for(chunkPause_);
        }
        objectkit::le::Put32(buffer.data(), entry.chunks + 1);
        objectkit::le::Put32(buffer.data() + 4, length);
        objectkit::le::Put32(buffer.data() + 8, static_cast<uint32_t>(compressedLength));
        size_t total = kChunkHeaderSize + compressedLength;
        if (!WriteAll(offset, buffer.data(), total)) {
            return false;
        }
        offset += total;
        ++entry.chunks;
        done += length;
    }
    return true;
}

bool CAutomationBlockFile::WriteBlock(int32_t id, const void* data, uint32_t size) {
    if (fd_ < 0 || id == -1 || (size > 0 && data == nullptr)) {
        return false;
    }
    if (!headerWritten_ && !WriteHeader()) {
        return false;
    }
    int index = FindBlock(id);
    if (index < 0) {
        return false;  // all directory entries the header can hold are used
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        return false;
    }
    uint64_t offset = std::max<uint64_t>(static_cast<uint64_t>(st.st_size), kHeaderSize);
    if (offset > UINT32_MAX || offset + size > UINT32_MAX) {
        return false;  // offsets are 32-bit in the directory
    }
    DirectoryEntry& entry = directory_[static_cast<size_t>(index)];
    const DirectoryEntry previous = entry;
    entry = DirectoryEntry{id, static_cast<uint32_t>(offset), size, 0};
    modified_ = true;

    const auto* bytes = static_cast<const uint8_t*>(data);
    bool ok;
    if (!compress_ || size <= kLargestRawBlock) {
        ok = WriteAll(offset, bytes, size);
    } else {
        ok = WriteChunks(entry, bytes, size, offset);
        if (!ok) {
            // compress2 failed (out of memory) or the write did: store the block raw instead,
            // which every reader accepts, over whatever part of it was written.
            entry.chunks = 0;
            ok = ftruncate(fd_, static_cast<off_t>(offset)) == 0 && WriteAll(offset, bytes, size);
        }
    }
    if (!ok) {
        entry = previous;
        ftruncate(fd_, static_cast<off_t>(offset));
    }
    return ok;
}

bool CAutomationBlockFile::ReadBlock(int index, void* destination, uint32_t size) {
    if (fd_ < 0 || index < 0 || index >= kMaxEntries) {
        return false;
    }
    const DirectoryEntry& entry = directory_[static_cast<size_t>(index)];
    if (entry.id == -1 || (size > 0 && destination == nullptr)) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(destination);
    if (entry.chunks == 0) {
        return ReadAll(fd_, entry.offset, out, size);
    }
    if (entry.chunks > (static_cast<uint64_t>(size) + kChunkSize - 1) / kChunkSize + 1) {
        return false;  // more chunks than the destination could take
    }
    std::vector<uint8_t> compressed(kMaxCompressedChunk);
    uint64_t position = entry.offset;
    uint32_t written = 0;
    for (uint32_t chunk = 0; chunk < entry.chunks; ++chunk) {
        uint8_t header[kChunkHeaderSize];
        if (!ReadAll(fd_, position, header, sizeof header)) {
            return false;
        }
        uint32_t length = objectkit::le::Get32(header + 4);
        uint32_t compressedLength = objectkit::le::Get32(header + 8);
        if (compressedLength > kMaxCompressedChunk || length > size - written) {
            return false;
        }
        if (!ReadAll(fd_, position + sizeof header, compressed.data(), compressedLength)) {
            return false;
        }
        uLongf outLength = length;
        if (uncompress(out + written, &outLength, compressed.data(), compressedLength) != Z_OK ||
            outLength != length) {
            return false;
        }
        written += length;
        position += sizeof header + compressedLength;
    }
    // Chunks that hold less than the block's size would leave the rest of it unread.
    return written == size;
}

// The "AUTXFILE" block file: a flat file of numbered blocks, each stored raw or as a run of
// zlib-compressed chunks, found through a directory in a 1024-byte header.
//
//   0     "AUTXFILE\0"
//   8     header word 1 (written as 1), then header words 2-6 (the package's own values)
//   32    number of used directory entries
//   36    directory entries of 16 bytes: id (-1 = free), data offset, size, chunk count
//   ...   0xBB up to 1023
//   1024  block data in writing order
// A compressed block is a run of chunks: 12-byte header (number from 1, uncompressed length,
// compressed length) and the compress2 output; each chunk covers at most 262,144 bytes.
//
// The header has room for 61 directory entries (36 + 61 x 16 = 1012 bytes), so a file holds at
// most 61 blocks: a write that would need a 62nd entry is refused, and a file whose header
// states more entries than that is refused on opening, since a directory that long would have
// run into the first block's data.
//
// One object is used by one thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

class CAutomationBlockFile {
  public:
    static constexpr uint32_t kHeaderSize = 1024;
    static constexpr uint32_t kDirectoryOffset = 36;
    static constexpr int kMaxEntries = 61;
    static constexpr uint32_t kChunkSize = 262144;
    static constexpr uint32_t kLargestRawBlock = 1000;  // blocks up to this size stay raw
    // Room for one compressed chunk: the writer's output buffer (length x 110 / 100 + 12).
    static constexpr uint32_t kMaxCompressedChunk = kChunkSize * 110 / 100 + 12;
    static constexpr uint32_t kChunkHeaderSize = 12;

    struct DirectoryEntry {
        int32_t id = -1;  // -1 = free
        uint32_t offset = 0;
        uint32_t size = 0;    // uncompressed bytes
        uint32_t chunks = 0;  // 0 = stored raw
    };

    // Reads the compression switch: DWORD "CompressedAuto" under HKEY_LOCAL_MACHINE
    // "SOFTWARE\KESTANE\ROOKSERVER", default 1.
    CAutomationBlockFile();
    ~CAutomationBlockFile();
    CAutomationBlockFile(const CAutomationBlockFile&) = delete;
    CAutomationBlockFile& operator=(const CAutomationBlockFile&) = delete;

    // Opens or creates the file for reading and writing. A file without the magic (new, short
    // or foreign) has an empty directory; a header with an impossible entry count is refused.
    bool Open(const std::string& name);
    // Writes the rebuilt header when a block was written (or the file is new) and closes.
    // False when that header could not be written.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    // The index of the entry with this id, else of the first free entry, else -1. The entry
    // at the returned index has id -1 when the block is not in the file.
    int FindBlock(int32_t id) const;
    // Appends the block and points its directory entry at it (replacing an older block of the
    // same id, whose bytes stay unused in the file). False when the directory is full or the
    // file cannot be written.
    bool WriteBlock(int32_t id, const void* data, uint32_t size);
    // Reads the block of entry `index` into `destination`, which holds `size` bytes. False when
    // the entry is free, the file is short, a chunk does not inflate to its stated length, or
    // the stored chunks do not fill exactly `size` bytes.
    bool ReadBlock(int index, void* destination, uint32_t size);

    const DirectoryEntry& Entry(int index) const {
        return directory_.at(static_cast<size_t>(index));
    }
    // Header words 1-6 as read from the file (word 1 is written as 1).
    uint32_t HeaderWord(int word) const { return headerWords_.at(static_cast<size_t>(word - 1)); }
    void SetHeaderWord(int word, uint32_t value);

    bool Compression() const { return compress_; }
    void SetCompression(bool on) { compress_ = on; }
    // Pause after compressing each chunk (10 ms by default), which leaves the processor to the
    // console's real-time work while a large mix is written.
    void SetChunkPause(std::chrono::microseconds pause) { chunkPause_ = pause; }

  private:
    bool WriteHeader();
    bool WriteAll(uint64_t offset, const void* data, size_t size);
    bool WriteChunks(DirectoryEntry& entry, const uint8_t* data, uint32_t size, uint64_t offset);

    int fd_ = -1;
    bool headerWritten_ = false;
    bool modified_ = false;
    bool compress_ = true;
    std::chrono::microseconds chunkPause_{10000};
    std::array<uint32_t, 6> headerWords_{1, 0, 0, 0, 0, 0};
    std::array<DirectoryEntry, kMaxEntries> directory_{};
};

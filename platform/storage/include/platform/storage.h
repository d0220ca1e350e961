// Compound (OLE2 structured storage) files on libgsf, in the standard format that Windows
// programs read and write.
//
// libgsf cannot change a compound file in place, so a file opened for writing collects the
// streams the caller creates and, on close(), writes the whole tree again (every stream,
// storage and class id of the old file, with the caller's streams replacing or joining them)
// to a temporary file in the same directory and renames it into place. A crash or a full disk
// therefore leaves the old file intact.
//
// Opening is exclusive: while one CompoundFile holds a path, in this or another process, a
// second open of that path fails with Status::Locked instead of waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform::storage {

enum class Status {
    Ok,
    NotFound,    // the file or the stream does not exist
    NotStorage,  // the file exists but is not a compound file
    Locked,      // another opener holds the file
    ReadOnly,    // a write on a file opened for reading
    TooLarge,    // the stream exceeds the caller's limit
    IoError,
};
const char* describe(Status status);

// True when the file starts with the compound-file signature.
bool isStorageFile(const std::string& path);

class CompoundFile {
  public:
    enum class Mode {
        Read,       // the file must exist and be a compound file
        ReadWrite,  // opens a compound file, or starts a new one when the path holds none
    };

    // Opens `path`. In ReadWrite mode a missing file, or one that is not a compound file,
    // is replaced by a new compound file when close() commits.
    static Status open(const std::string& path, Mode mode, std::unique_ptr<CompoundFile>& out);

    ~CompoundFile();  // closes, committing pending streams; errors are lost (call close())
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    const std::string& path() const { return path_; }
    Mode mode() const { return mode_; }

    // Names of the streams directly under the root storage, pending ones included.
    std::vector<std::string> streams() const;
    bool hasStream(const std::string& name) const;
    Status streamSize(const std::string& name, uint64_t& size) const;
    // Reads a whole stream of the root storage. A stream larger than maxBytes is not read.
    Status readStream(const std::string& name, std::vector<uint8_t>& out,
                      uint64_t maxBytes = UINT64_MAX) const;
    // Reads a whole stream piece by piece (pieces of at most 1 MB, in order) without holding
    // it in memory; the sink returns false to stop, which gives IoError.
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;
    Status readStream(const std::string& name, const Sink& sink,
                      uint64_t maxBytes = UINT64_MAX) const;

    // Creates the stream, replacing one of the same name; takes effect at close().
    Status writeStream(const std::string& name, std::span<const uint8_t> data);
    Status writeStream(const std::string& name, std::vector<uint8_t>&& data);
    // As writeStream, with the bytes made when close() writes them: the producer fills
    // `buffer` with `size` bytes of the stream from `offset` and returns false on failure.
    // Whatever it reads must stay alive until close().
    using Producer = std::function<bool(uint8_t* buffer, size_t size, uint64_t offset)>;
    Status writeStream(const std::string& name, uint64_t size, Producer producer);

    // Writes pending streams (if any) and releases the file. Safe to call twice.
    Status close();

  private:
    struct Impl;
    explicit CompoundFile(std::unique_ptr<Impl> impl, std::string path, Mode mode);
    std::unique_ptr<Impl> impl_;
    std::string path_;
    Mode mode_;
};

}  // namespace platform::storage

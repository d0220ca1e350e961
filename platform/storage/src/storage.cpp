#include "platform/storage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

namespace platform::storage {

namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kCopyBlock = 64 * 1024;
constexpr size_t kReadPiece = 1 << 20;
constexpr size_t kWritePiece = 256 * 1024;

void initGsf() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Owns one GObject reference.
template <typename T>
struct GRef {
    T* p = nullptr;
    GRef() = default;
    explicit GRef(T* ptr) : p(ptr) {}
    GRef(GRef&& o) noexcept : p(std::exchange(o.p, nullptr)) {}
    GRef& operator=(GRef&& o) noexcept {
        reset();
        p = std::exchange(o.p, nullptr);
        return *this;
    }
    ~GRef() { reset(); }
    void reset() {
        if (p) {
            g_object_unref(p);
        }
        p = nullptr;
    }
    explicit operator bool() const { return p != nullptr; }
};

bool fdHasSignature(int fd) {
    uint8_t head[8];
    ssize_t n = pread(fd, head, sizeof head, 0);
    return n == static_cast<ssize_t>(sizeof head) && std::memcmp(head, kSignature, 8) == 0;
}

std::string dirName(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isDirectory(GsfInput* input) {
    return GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0;
}

bool copyStream(GsfInput* in, GsfOutput* out) {
    std::vector<uint8_t> buffer(kCopyBlock);
    gsf_off_t remaining = gsf_input_size(in);
    while (remaining > 0) {
        size_t n = static_cast<size_t>(std::min<gsf_off_t>(remaining, kCopyBlock));
        if (!gsf_input_read(in, n, buffer.data()) || !gsf_output_write(out, n, buffer.data())) {
            return false;
        }
        remaining -= static_cast<gsf_off_t>(n);
    }
    return true;
}

bool copyTree(GsfInfile* in, GsfOutfile* out);

bool copyChild(GsfInfile* parent, int index, GsfOutfile* out) {
    const char* name = gsf_infile_name_by_index(parent, index);
    GRef<GsfInput> child(gsf_infile_child_by_index(parent, index));
    if (!name || !child) {
        return false;
    }
    bool dir = isDirectory(child.p);
    GRef<GsfOutput> target(gsf_outfile_new_child(out, name, dir));
    if (!target) {
        return false;
    }
    bool ok;
    if (dir) {
        guint8 clsid[16];
        if (GSF_IS_INFILE_MSOLE(child.p) &&
            gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.p), clsid)) {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(target.p), clsid);
        }
        ok = copyTree(GSF_INFILE(child.p), GSF_OUTFILE(target.p));
    } else {
        ok = copyStream(child.p, target.p);
    }
    return gsf_output_close(target.p) && ok;
}

bool copyTree(GsfInfile* in, GsfOutfile* out) {
    int n = gsf_infile_num_children(in);
    for (int i = 0; i < n; ++i) {
        if (!copyChild(in, i, out)) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* describe(Status status) {
    switch (status) {
        case Status::Ok:
            return "ok";
        case Status::NotFound:
            return "not found";
        case Status::NotStorage:
            return "not a compound file";
        case Status::Locked:
            return "locked by another opener";
        case Status::ReadOnly:
            return "opened for reading";
        case Status::TooLarge:
            return "stream too large";
        case Status::IoError:
            return "input/output error";
    }
    return "unknown";
}

bool isStorageFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool yes = fdHasSignature(fd);
    ::close(fd);
    return yes;
}

struct CompoundFile::Impl {
    int fd = -1;                // holds the exclusive lock
    bool createdEmpty = false;  // we made an empty placeholder that must go if nothing is written
    GRef<GsfInput> source;      // the file as it was opened
    GRef<GsfInfile> root;       // null for a new file
    struct Pending {
        std::vector<uint8_t> data;
        uint64_t size = 0;
        CompoundFile::Producer producer;  // set: bytes are made at commit
    };
    std::map<std::string, Pending> pending;
    bool closed = false;

    ~Impl() { release(); }

    void release() {
        root.reset();
        source.reset();
        if (fd >= 0) {
            ::close(fd);  // drops the lock
            fd = -1;
        }
    }

    GRef<GsfInput> child(const std::string& name) const {
        if (!root) {
            return {};
        }
        GRef<GsfInput> c(gsf_infile_child_by_name(root.p, name.c_str()));
        if (c && isDirectory(c.p)) {
            return {};
        }
        return c;
    }

    Status commit(const std::string& path);
};

CompoundFile::CompoundFile(std::unique_ptr<Impl> impl, std::string path, Mode mode)
    : impl_(std::move(impl)), path_(std::move(path)), mode_(mode) {}

CompoundFile::~CompoundFile() {
    close();
}

Status CompoundFile::open(const std::string& path, Mode mode, std::unique_ptr<CompoundFile>& out) {
    initGsf();
    out.reset();
    auto impl = std::make_unique<Impl>();
    // The lock sits on the file's inode. A writer renames a new inode into place while it holds
    // the lock on the old one, so after taking the lock we check that the path still names the
    // inode we locked, and start again if it does not.
    for (int attempt = 0;; ++attempt) {
        int flags = O_CLOEXEC | (mode == Mode::Read ? O_RDONLY : O_RDWR);
        int fd = ::open(path.c_str(), flags);
        bool created = false;
        if (fd < 0 && errno == ENOENT && mode == Mode::ReadWrite) {
            fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
            created = fd >= 0;
            if (fd < 0 && errno == EEXIST && attempt < 5) {
                continue;
            }
        }
        if (fd < 0) {
            return errno == ENOENT ? Status::NotFound : Status::IoError;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return errno == EWOULDBLOCK ? Status::Locked : Status::IoError;
        }
        struct stat held, named;
        if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
            ::close(fd);
            if (attempt < 5) {
                continue;
            }
            return Status::IoError;
        }
        impl->fd = fd;
        impl->createdEmpty = created;
        break;
    }

    if (fdHasSignature(impl->fd)) {
        int dupFd = dup(impl->fd);
        FILE* file = dupFd >= 0 ? fdopen(dupFd, "rb") : nullptr;
        if (!file) {
            if (dupFd >= 0) {
                ::close(dupFd);
            }
            return Status::IoError;
        }
        GError* err = nullptr;
        impl->source = GRef<GsfInput>(gsf_input_stdio_new_FILE(path.c_str(), file, FALSE));
        if (!impl->source) {
            fclose(file);
            return Status::IoError;
        }
        impl->root = GRef<GsfInfile>(gsf_infile_msole_new(impl->source.p, &err));
        if (err) {
            g_error_free(err);
        }
        if (!impl->root && mode == Mode::Read) {
            return Status::NotStorage;
        }
    } else if (mode == Mode::Read) {
        return Status::NotStorage;
    }
    out.reset(new CompoundFile(std::move(impl), path, mode));
    return Status::Ok;
}

std::vector<std::string> CompoundFile::streams() const {
    std::vector<std::string> names;
    if (impl_->root) {
        int n = gsf_infile_num_children(impl_->root.p);
        for (int i = 0; i < n; ++i) {
            GRef<GsfInput> c(gsf_infile_child_by_index(impl_->root.p, i));
            const char* name = gsf_infile_name_by_index(impl_->root.p, i);
            if (c && name && !isDirectory(c.p)) {
                names.emplace_back(name);
            }
        }
    }
    for (const auto& [name, data] : impl_->pending) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    return names;
}

bool CompoundFile::hasStream(const std::string& name) const {
    uint64_t size;
    return streamSize(name, size) == Status::Ok;
}

Status CompoundFile::streamSize(const std::string& name, uint64_t& size) const {
    if (auto it = impl_->pending.find(name); it != impl_->pending.end()) {
        size = it->second.producer ? it->second.size : it->second.data.size();
        return Status::Ok;
    }
    auto c = impl_->child(name);
    if (!c) {
        return Status::NotFound;
    }
    size = static_cast<uint64_t>(gsf_input_size(c.p));
    return Status::Ok;
}

Status CompoundFile::readStream(const std::string& name, std::vector<uint8_t>& out,
                                uint64_t maxBytes) const {
    uint64_t size = 0;
    if (Status st = streamSize(name, size); st != Status::Ok) {
        return st;
    }
    if (size > maxBytes) {
        return Status::TooLarge;
    }
    // The stated size comes from the file: the buffer grows as the bytes actually arrive, so a
    // damaged directory entry cannot make us allocate more than the file holds.
    out.clear();
    out.reserve(static_cast<size_t>(std::min<uint64_t>(size, 64 << 20)));
    Status st = readStream(
        name,
        [&](const uint8_t* data, size_t n) {
            out.insert(out.end(), data, data + n);
            return true;
        },
        maxBytes);
    if (st != Status::Ok) {
        out.clear();
    }
    return st;
}

Status CompoundFile::readStream(const std::string& name, const Sink& sink,
                                uint64_t maxBytes) const {
    if (auto it = impl_->pending.find(name); it != impl_->pending.end()) {
        const Impl::Pending& p = it->second;
        const uint64_t size = p.producer ? p.size : p.data.size();
        if (size > maxBytes) {
            return Status::TooLarge;
        }
        if (!p.producer) {
            return p.data.empty() || sink(p.data.data(), p.data.size()) ? Status::Ok
                                                                        : Status::IoError;
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, kReadPiece)));
        for (uint64_t at = 0; at < size;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(size - at, kReadPiece));
            if (!p.producer(buffer.data(), n, at) || !sink(buffer.data(), n)) {
                return Status::IoError;
            }
            at += n;
        }
        return Status::Ok;
    }
    auto c = impl_->child(name);
    if (!c) {
        return Status::NotFound;
    }
    const gsf_off_t size = gsf_input_size(c.p);
    if (size < 0 || static_cast<uint64_t>(size) > maxBytes) {
        return Status::TooLarge;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<gsf_off_t>(size, kReadPiece)));
    for (gsf_off_t at = 0; at < size;) {
        const size_t n = static_cast<size_t>(std::min<gsf_off_t>(size - at, kReadPiece));
        if (!gsf_input_read(c.p, n, buffer.data()) || !sink(buffer.data(), n)) {
            return Status::IoError;
        }
        at += static_cast<gsf_off_t>(n);
    }
    return Status::Ok;
}

Status CompoundFile::writeStream(const std::string& name, std::span<const uint8_t> data) {
    return writeStream(name, std::vector<uint8_t>(data.begin(), data.end()));
}

Status CompoundFile::writeStream(const std::string& name, std::vector<uint8_t>&& data) {
    if (mode_ != Mode::ReadWrite) {
        return Status::ReadOnly;
    }
    if (impl_->closed) {
        return Status::IoError;
    }
    // The format limits a directory entry name to 31 UTF-16 characters.
    if (name.empty() || name.size() > 31) {
        return Status::IoError;
    }
    Impl::Pending& p = impl_->pending[name];
    p.data = std::move(data);
    p.size = p.data.size();
    p.producer = nullptr;
    return Status::Ok;
}

Status CompoundFile::writeStream(const std::string& name, uint64_t size, Producer producer) {
    if (!producer) {
        return Status::IoError;
    }
    Status st = writeStream(name, std::vector<uint8_t>{});
    if (st == Status::Ok) {
        Impl::Pending& p = impl_->pending[name];
        p.size = size;
        p.producer = std::move(producer);
    }
    return st;
}

Status CompoundFile::Impl::commit(const std::string& path) {
    std::string tmp = dirName(path) + "/." + baseName(path) + ".XXXXXX";
    int tfd = mkstemp(tmp.data());
    if (tfd < 0) {
        return Status::IoError;
    }
    // mkstemp makes the file private; give it the old file's permissions, or the usual ones.
    struct stat st;
    if (fstat(fd, &st) == 0 && !createdEmpty) {
        fchmod(tfd, st.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(tfd, 0666 & ~mask);
    }
    FILE* file = fdopen(tfd, "w+b");
    if (!file) {
        ::close(tfd);
        unlink(tmp.c_str());
        return Status::IoError;
    }
    bool ok = true;
    {
        GRef<GsfOutput> sink(gsf_output_stdio_new_FILE(tmp.c_str(), file, TRUE));
        GRef<GsfOutfile> ole(sink ? gsf_outfile_msole_new(sink.p) : nullptr);
        ok = static_cast<bool>(ole);
        if (ok && root) {
            guint8 clsid[16];
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root.p), clsid)) {
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole.p), clsid);
            }
            int n = gsf_infile_num_children(root.p);
            for (int i = 0; ok && i < n; ++i) {
                const char* name = gsf_infile_name_by_index(root.p, i);
                if (name && pending.count(name)) {
                    continue;  // replaced by the caller's new stream
                }
                ok = copyChild(root.p, i, ole.p);
            }
        }
        std::vector<uint8_t> piece;
        for (auto it = pending.begin(); ok && it != pending.end(); ++it) {
            GRef<GsfOutput> stream(gsf_outfile_new_child(ole.p, it->first.c_str(), FALSE));
            const Pending& p = it->second;
            ok = static_cast<bool>(stream);
            if (ok && !p.producer && !p.data.empty()) {
                ok = gsf_output_write(stream.p, p.data.size(), p.data.data());
            }
            for (uint64_t at = 0; ok && p.producer && at < p.size;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(p.size - at, kWritePiece));
                piece.resize(n);
                ok = p.producer(piece.data(), n, at) && gsf_output_write(stream.p, n, piece.data());
                at += n;
            }
            ok = stream && gsf_output_close(stream.p) && ok;
        }
        if (ole) {
            ok = gsf_output_close(GSF_OUTPUT(ole.p)) && ok;
        }
        if (sink && !gsf_output_is_closed(sink.p)) {  // the OLE writer usually closes it
            ok = gsf_output_close(sink.p) && ok;
        }
    }
    ok = fflush(file) == 0 && ok;
    ok = fsync(fileno(file)) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return Status::IoError;
    }
    createdEmpty = false;
    return Status::Ok;
}

Status CompoundFile::close() {
    if (!impl_ || impl_->closed) {
        return Status::Ok;
    }
    impl_->closed = true;
    Status result = Status::Ok;
    if (!impl_->pending.empty()) {
        result = impl_->commit(path_);
        impl_->pending.clear();
    }
    if (impl_->createdEmpty) {
        // Nothing was written into the file we created for the lock: take it away again.
        struct stat st;
        if (fstat(impl_->fd, &st) == 0 && st.st_size == 0) {
            unlink(path_.c_str());
        }
    }
    impl_->release();
    return result;
}

}  // namespace platform::storage

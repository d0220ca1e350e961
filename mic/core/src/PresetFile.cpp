#include "mic/core/PresetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mic {

namespace {

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads `count` 32-bit entries from `offset`; an entry the data do not hold whole is left alone.
void ReadTable32(const uint8_t* data, size_t size, size_t offset, uint32_t* out, int count) {
    for (int i = 0; i < count; ++i) {
        const size_t at = offset + 4 * static_cast<size_t>(i);
        if (at + 4 > size)
            return;
        out[i] = Get32(data + at);
    }
}

void ReadBytes(const uint8_t* data, size_t size, size_t offset, uint8_t* out, size_t count) {
    if (offset >= size)
        return;
    std::memcpy(out, data + offset, std::min(count, size - offset));
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SavePresetFile(const std::string& path, const PreampState& state) {
    uint8_t file[kPresetFileSize] = {};
    for (int i = 0; i < kChannels; ++i) {
        Put32(file + kOffAssignments + 4 * i, state.assignment[i]);
        Put32(file + kOffSettings + 4 * i, state.setting[i] & 0x7F);
        Put32(file + kOffDirect + 4 * i, state.directSwitch[i]);
        std::memcpy(file + kOffNames + kNameSize * i, state.name[i].data(), kNameSize);
        file[kOffNameShown + i] = state.nameShown[i];
    }
    std::memcpy(file + kOffSequential, state.sequential.data(), kRacks);

    // Written beside the target and renamed over it, so that a crash or a full disk never
    // leaves a torn preset in place of the previous one.
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    struct stat existing {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    ::fchmod(fd, mode);
    const bool written = WriteAll(fd, file, sizeof file) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(name.data(), path.c_str()) != 0) {
        ::unlink(name.data());
        return false;
    }
    const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void LoadPresetBytes(const uint8_t* data, size_t size, PreampState& state, int rack) {
    if (rack < -1 || rack >= kRacks)
        return;
    const int first = rack < 0 ? 0 : ChannelIndex(rack, 0);
    const int count = rack < 0 ? kChannels : kChannelsPerRack;
    ReadTable32(data, size, kOffAssignments + 4 * first, &state.assignment[first], count);
    ReadTable32(data, size, kOffSettings + 4 * first, &state.setting[first], count);
    ReadTable32(data, size, kOffDirect + 4 * first, &state.directSwitch[first], count);
    if (rack < 0) {
        ReadBytes(data, size, kOffSequential, state.sequential.data(), kRacks);
    } else {
        ReadBytes(data, size, kOffSequential + rack, &state.sequential[rack], 1);
    }
    ReadBytes(data, size, kOffNames + kNameSize * first,
              reinterpret_cast<uint8_t*>(state.name[first].data()), kNameSize * count);
    ReadBytes(data, size, kOffNameShown + first, &state.nameShown[first], count);
    // A name field without its NUL (a foreign or damaged file) must still end inside the field.
    for (int i = first; i < first + count; ++i)
        state.name[i][kNameSize - 1] = '\0';
}

bool LoadPresetFile(const std::string& path, PreampState& state, int rack) {
    if (rack < -1 || rack >= kRacks)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    uint8_t file[kPresetFileSize];
    size_t got = 0;
    while (got < sizeof file) {
        const ssize_t n = ::read(fd, file + got, sizeof file - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    LoadPresetBytes(file, got, state, rack);
    return true;
}

std::string StateDirectory() {
    const char* dir = std::getenv("KESTANE_STATE_DIR");
    if (dir && *dir)
        return dir;
    // The machine directory when this user may write there (or may create it); otherwise a
    // per-user state directory, so that an operator without rights to /var/lib still keeps
    // the automatic snapshot instead of losing it silently at every close.
    const std::string machine = "/var/lib/kestane/mic";
    if (::access(machine.c_str(), W_OK) == 0 || ::access("/var/lib/kestane", W_OK) == 0 ||
        (::access("/var/lib/kestane", F_OK) != 0 && ::access("/var/lib", W_OK) == 0))
        return machine;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state)
        return std::string(state) + "/kestane/mic";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.local/state/kestane/mic";
    return machine;
}

std::string DefaultSnapshotPath() {
    return StateDirectory() + "/" + kSnapshotName;
}

std::string FileTitle(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace mic

// The single-instance rule of mic on Linux: a named lock plus a per-user volatile registry
// record of how to wake the running instance.
//
// The lock is an flock() on "<runtime dir>/kestane/<name>Mutex" (<name> = the program's base
// name); the first instance holds it for its whole life and the kernel drops it when the
// process ends, however it ends. Once its window exists, the first instance publishes a 32-bit
// handle under HKCU "Software\KESTANE\Instance Checker", value "<name> Handle" (REG_DWORD), in
// a volatile key so the record vanishes at log-off. The handle is the process id; the window
// listens for wake-ups on the local socket WakeSocketPath(handle). A second start reads the
// record, connects, asks for a wake-up and exits; a stale record (no one listening) is ignored.
#pragma once

#include <cstdint>
#include <string>

namespace mic::app {

inline constexpr const char* kCompanyKey = "Software\\KESTANE";
inline constexpr const char* kCheckerKey = "Software\\KESTANE\\Instance Checker";
inline constexpr const char* kWakeMessage = "InstanceCheckerWakeUpMessage";

// "<runtime dir>/kestane": $XDG_RUNTIME_DIR, else /tmp/kestane-<uid>. Created (0700) on demand.
std::string RuntimeDirectory();
// Where a published handle listens for wake-ups.
std::string WakeSocketPath(const std::string& baseName, uint32_t handle);

class CInstanceChecker {
  public:
    // Builds the names and takes the lock when no other instance holds it.
    explicit CInstanceChecker(std::string baseName);
    // Releases the lock; the first instance also deletes its published handle.
    ~CInstanceChecker();
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    bool IsFirstInstance() const { return first_; }
    const std::string& MutexName() const { return mutexName_; }
    const std::string& HandleValueName() const { return handleValueName_; }

    // Publishes `handle` (a non-zero window handle) in the volatile record.
    bool StoreWindowHandle(uint32_t handle);
    // Reads the record and sends the wake-up message to the published window. False when there
    // is no record or nobody listens at it (nothing is sent then).
    bool WakePreviousInstance() const;
    // The published handle, 0 when none.
    uint32_t PublishedHandle() const;

  private:
    std::string baseName_;
    std::string mutexName_;
    std::string handleValueName_;
    int lockFd_ = -1;
    bool first_ = false;
};

}  // namespace mic::app

#include "InstanceChecker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QLocalSocket>
#include <cstdlib>
#include <cstring>

#include "platform/registry.h"

namespace mic::app {

namespace reg = platform::registry;

std::string RuntimeDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    std::string dir =
        xdg && *xdg ? std::string(xdg) + "/kestane" : "/tmp/kestane-" + std::to_string(getuid());
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

std::string WakeSocketPath(const std::string& baseName, uint32_t handle) {
    return RuntimeDirectory() + "/" + baseName + "-wake-" + std::to_string(handle);
}

CInstanceChecker::CInstanceChecker(std::string baseName)
    : baseName_(std::move(baseName)),
      mutexName_(baseName_ + "Mutex"),
      handleValueName_(baseName_ + " Handle") {
    const std::string path = RuntimeDirectory() + "/" + mutexName_;
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        // Without a place for the lock the rule cannot hold; run rather than refuse to start.
        first_ = true;
        return;
    }
    first_ = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
    if (!first_) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

CInstanceChecker::~CInstanceChecker() {
    if (first_) {
        reg::Key key;
        if (reg::Key::root(reg::Hive::CurrentUser).open(kCheckerKey, key) == reg::Status::Ok) {
            key.deleteValue(handleValueName_);
        }
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
}

bool CInstanceChecker::StoreWindowHandle(uint32_t handle) {
    if (handle == 0) {
        return false;
    }
    const reg::Key root = reg::Key::root(reg::Hive::CurrentUser);
    reg::Key company;
    if (root.create(kCompanyKey, company) != reg::Status::Ok) {
        return false;
    }
    reg::Key checker;
    if (root.create(kCheckerKey, checker, /*isVolatile=*/true) != reg::Status::Ok) {
        return false;
    }
    return reg::setDword(checker, handleValueName_, handle) == reg::Status::Ok;
}

uint32_t CInstanceChecker::PublishedHandle() const {
    reg::Key key;
    if (reg::Key::root(reg::Hive::CurrentUser).open(kCheckerKey, key) != reg::Status::Ok) {
        return 0;
    }
    reg::Value value;
    if (key.query(handleValueName_, value) != reg::Status::Ok || value.data.size() != 4) {
        return 0;
    }
    uint32_t handle = 0;
    std::memcpy(&handle, value.data.data(), 4);
    return handle;
}

bool CInstanceChecker::WakePreviousInstance() const {
    const uint32_t handle = PublishedHandle();
    if (handle == 0) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(WakeSocketPath(baseName_, handle)));
    if (!socket.waitForConnected(1000)) {
        return false;  // stale record: no window to wake
    }
    socket.write(kWakeMessage);
    socket.write("\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

}  // namespace mic::app

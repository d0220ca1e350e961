// Which owners of a server's well-known name have left the bus, learnt from NameOwnerChanged,
// so that calls to an instance of a vanished server fail at once.
#pragma once

#include <mutex>
#include <set>
#include <string>

namespace platform::com::detail {

class ServerWatch {
  public:
    void Left(const std::string& uniqueName) {
        std::lock_guard lock(mutex_);
        gone_.insert(uniqueName);
    }
    bool IsGone(const std::string& uniqueName) {
        std::lock_guard lock(mutex_);
        return gone_.count(uniqueName) != 0;
    }

  private:
    std::mutex mutex_;
    std::set<std::string> gone_;
};

}  // namespace platform::com::detail

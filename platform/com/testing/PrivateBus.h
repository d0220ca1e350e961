// A dbus-daemon of a test's own: started with a session configuration in a temporary
// directory, and made this process's session bus (DBUS_SESSION_BUS_ADDRESS) until it stops.
// Programs the test starts inherit the address.
#pragma once

#include <sys/types.h>
#include <string>

namespace platform::com::testing {

class PrivateBus {
  public:
    // `serviceDir`: where the daemon looks for activatable services (none when empty).
    explicit PrivateBus(const std::string& serviceDir = "");
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return pid_ > 0 && !address_.empty(); }
    const std::string& address() const { return address_; }

  private:
    pid_t pid_ = -1;
    std::string dir_;
    std::string address_;
};

}  // namespace platform::com::testing

#include "BusEnvironment.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <platform/registry.h>
#include <memory>

#include "PrivateBus.h"
#include "TempRegistry.h"

namespace platform::com::testing {
namespace {

class BusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        registry_ = std::make_unique<registry::testing::TempRegistry>();
        bus_ = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus_->running()) << "dbus-daemon did not start";
    }
    void TearDown() override {
        bus_.reset();
        registry_.reset();
    }

  private:
    std::unique_ptr<registry::testing::TempRegistry> registry_;
    std::unique_ptr<PrivateBus> bus_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

}  // namespace

std::string UniqueBusName(const char* stem) {
    static std::atomic<int> counter{0};
    return std::string("org.kestane.test.") + stem + ".p" + std::to_string(getpid()) + "_" +
           std::to_string(counter++);
}

void MapClass(const CLSID& clsid, const std::string& busName) {
    registry::Key key;
    ASSERT_EQ(registry::Key::root(registry::Hive::LocalMachine)
                  .create("Software\\Classes\\CLSID\\" + ToString(clsid), key),
              registry::Status::Ok);
    ASSERT_EQ(registry::setString(key, "BusName", busName), registry::Status::Ok);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        ProcessCurrentThread();
        const LoopWait wait = CurrentThreadWait();
        pollfd pfd{wait.fd, wait.events, 0};
        const int timeout = wait.timeoutMs < 0 || wait.timeoutMs > 50 ? 50 : wait.timeoutMs;
        poll(&pfd, wait.fd >= 0 ? 1 : 0, timeout);
    }
    return true;
}

}  // namespace platform::com::testing

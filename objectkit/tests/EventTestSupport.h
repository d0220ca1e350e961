// Shared helpers of the event, filter and channel operation tests.
#pragma once

#include <objectkit/AutomationEventArray.h>
#include <objectkit/Settings.h>
#include <platform/messages.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#ifdef OBJECTKIT_HAVE_TEMP_REGISTRY
#include <TempRegistry.h>
#include <platform/registry.h>
#endif

namespace objevents_test {

inline CAutomationEvent Ev(int32_t time, int32_t path, int module, int control, int value,
                           uint8_t flags = 0) {
    CAutomationEvent e;
    e.timeStamp = time;
    e.path = path;
    e.module = static_cast<uint8_t>(module);
    e.control = static_cast<uint8_t>(control);
    e.value = static_cast<uint16_t>(value);
    e.flags = flags;
    return e;
}

inline CAutomationEventArray Arr(std::initializer_list<CAutomationEvent> events) {
    CAutomationEventArray a;
    for (const auto& e : events) {
        a.Add(e);
    }
    return a;
}

// (time, path, module, control, value) of every event, for readable comparisons.
using Row = std::tuple<int, int, int, int, int>;
inline std::vector<Row> Rows(const CAutomationEventArray& a) {
    std::vector<Row> rows;
    for (const auto& e : a) {
        rows.emplace_back(e.timeStamp, e.path, e.module, e.control, e.value);
    }
    return rows;
}

inline std::vector<int> Times(const CAutomationEventArray& a) {
    std::vector<int> times;
    for (const auto& e : a) {
        times.push_back(e.timeStamp);
    }
    return times;
}

// A console type fixed for one test, and a private registry hive.
class ConsoleFixture : public ::testing::Test {
  protected:
    void SetUp() override { objectkit::SetConsoleTypeForTests(3); }
    void TearDown() override { objectkit::SetConsoleTypeForTests(0); }

    void SetMachineDword(const char* key, const char* name, uint32_t value) {
#ifdef OBJECTKIT_HAVE_TEMP_REGISTRY
        namespace reg = platform::registry;
        reg::Key k;
        ASSERT_EQ(reg::Key::root(reg::Hive::LocalMachine).create(key, k), reg::Status::Ok);
        ASSERT_EQ(reg::setDword(k, name, value), reg::Status::Ok);
#else
        GTEST_SKIP() << "no registry in this build";
#endif
    }

#ifdef OBJECTKIT_HAVE_TEMP_REGISTRY
    platform::registry::testing::TempRegistry registry_;
#endif
};

// Collects the status messages that reach a window of one class.
class StatusCatcher {
  public:
    struct Message {
        std::string name;
        int code;
        long value;
    };

    explicit StatusCatcher(const char* className) {
        window_ = platform::messages::createWindow(
            queue_, className, true,
            [this](platform::messages::MessageId m, platform::messages::WParam w,
                   platform::messages::LParam l) -> platform::messages::LResult {
                got_.push_back({platform::messages::registeredMessageName(m), static_cast<int>(w),
                                static_cast<long>(l)});
                return 0;
            });
    }
    ~StatusCatcher() { platform::messages::destroyWindow(window_); }

    const std::vector<Message>& Collect() {
        queue_.processPending();
        return got_;
    }
    std::vector<long> ValuesOf(int code) {
        std::vector<long> values;
        for (const auto& m : Collect()) {
            if (m.code == code) {
                values.push_back(m.value);
            }
        }
        return values;
    }

  private:
    platform::messages::MessageQueue queue_;
    platform::messages::WindowHandle window_ = 0;
    std::vector<Message> got_;
};

}  // namespace objevents_test

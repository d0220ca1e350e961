// One bus connection per thread: opened on first use, processed only by its thread, closed
// when the thread ends.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bus_ptr.h"
#include "platform/com/types.h"

namespace platform::com::detail {

// A thread's connection as other threads see it: they may not touch the connection, so the
// slots they are done with wait here until the owner thread next processes it.
class ThreadHome {
  public:
    // Any thread.
    void ReleaseLater(sd_bus_slot* slot);
    // Owner thread.
    void ReleaseParked();
    bool HasParked();
    const std::thread::id owner = std::this_thread::get_id();

  private:
    std::mutex mutex_;
    std::vector<sd_bus_slot*> parked_;
};

// Calling thread: its connection, opened on the configured bus when it has none (or when the
// one it had broke). Null, with `result` set, when the bus cannot be reached.
sd_bus* ThreadBus(HRESULT* result = nullptr);
// Calling thread: its connection if it has an open one; never opens.
sd_bus* ExistingThreadBus();
std::shared_ptr<ThreadHome> CurrentThreadHome();

// Calling thread: a new method call on its connection.
HRESULT NewMethodCall(const std::string& destination, const std::string& path,
                      const char* interface, const char* member, MessagePtr& call);
// Sends `call` and waits for its reply, at most the configured call time-out.
HRESULT CallMethod(sd_bus_message* call, MessagePtr& reply);

}  // namespace platform::com::detail

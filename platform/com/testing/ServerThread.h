// A class server on a thread of its own, for tests and benchmarks.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "LoopThread.h"
#include "platform/com/class_server.h"

namespace platform::com::testing {

class ServerThread {
  public:
    ServerThread(const std::string& busName, const CLSID& clsid, ClassServer::Factory factory);
    // Stops the server (its connection closes, as when a server process ends).
    ~ServerThread();

    HRESULT started() const { return started_; }
    // Runs `work` on the serving thread with the server and waits for it.
    void Run(const std::function<void(ClassServer&)>& work);
    // Queues `work` for the serving thread and returns at once.
    void Post(std::function<void(ClassServer&)> work);
    void Stop();

  private:
    LoopThread thread_;
    std::unique_ptr<ClassServer> server_;  // serving thread only
    HRESULT started_ = E_FAIL;
};

}  // namespace platform::com::testing

// A class server on a thread of its own, for tests and benchmarks: the thread starts the
// server, runs its message pump, and runs the work that other threads hand it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/com/class_server.h"

namespace platform::com::testing {

class ServerThread {
  public:
    ServerThread(std::string busName, const CLSID& clsid, ClassServer::Factory factory);
    // Stops the server (its connection closes, as when a server process ends).
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // The result of starting the server.
    HRESULT started() const { return started_; }
    // Runs `work` on the serving thread with the server and waits for it.
    void Run(const std::function<void(ClassServer&)>& work);
    // Ends the serving thread now (idempotent).
    void Stop();

  private:
    HRESULT started_ = E_FAIL;
    std::uintptr_t window_ = 0;
    std::thread thread_;
};

}  // namespace platform::com::testing

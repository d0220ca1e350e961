#include "ServerThread.h"

namespace platform::com::testing {

ServerThread::ServerThread(const std::string& busName, const CLSID& clsid,
                           ClassServer::Factory factory) {
    thread_.Run([&] { server_ = ClassServer::Start(busName, clsid, factory, &started_); });
}

ServerThread::~ServerThread() {
    Stop();
}

void ServerThread::Stop() {
    thread_.Run([this] { server_.reset(); });
    thread_.Stop();
}

void ServerThread::Post(std::function<void(ClassServer&)> work) {
    thread_.Post([this, work = std::move(work)] {
        if (server_) {
            work(*server_);
        }
    });
}

void ServerThread::Run(const std::function<void(ClassServer&)>& work) {
    thread_.Run([&] {
        if (server_) {
            work(*server_);
        }
    });
}

}  // namespace platform::com::testing

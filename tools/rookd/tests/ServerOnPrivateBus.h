// A rookd server registered under a name of its own and served on a thread of its own, on the
// private bus of the test program.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "BusEnvironment.h"
#include "LoopThread.h"
#include "Registration.h"
#include "RookServer.h"

namespace rookd::testing {

class ServerOnPrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = platform::com::testing::UniqueBusName("rookd");
        ASSERT_TRUE(RegisterServer(name_));
        thread_.Run([&] { server_ = RookServer::Start(name_, &started_); });
        ASSERT_EQ(started_, platform::com::S_OK);
    }
    void TearDown() override {
        thread_.Run([&] { server_.reset(); });
    }
    // Runs `work` with the server on its serving thread.
    void OnServer(const std::function<void(RookServer&)>& work) {
        thread_.Run([&] { work(*server_); });
    }

    std::string name_;  // the server's bus name
    platform::com::testing::LoopThread thread_;
    std::unique_ptr<RookServer> server_;  // serving thread only
    platform::com::HRESULT started_ = platform::com::E_FAIL;
};

}  // namespace rookd::testing

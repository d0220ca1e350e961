// The real programs: rookd on the test's private bus, driven by rookctl, used by a client.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "BusEnvironment.h"
#include "PrivateBus.h"
#include "Registration.h"
#include "RookClient.h"
#include "RunTool.h"
#include "platform/com/bus.h"

using namespace rookd;
using namespace rookd::testing;
using namespace std::chrono_literals;
using platform::com::testing::PumpUntil;
using platform::com::testing::TestSink;
using platform::com::testing::UniqueBusName;

extern char** environ;

namespace {

bool NameHasOwner(const std::string& name) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int has = 0;
    if (sd_bus_call_method(platform::com::CurrentThreadBus(), "org.freedesktop.DBus",
                           "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner", &error,
                           &reply, "s", name.c_str()) >= 0) {
        sd_bus_message_read(reply, "b", &has);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return has != 0;
}

class RookdProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = UniqueBusName("rookd");
        std::vector<std::string> args = {ROOKD_PROGRAM, "--name", name_, "--register"};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid_, ROOKD_PROGRAM, nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(PumpUntil([&] { return NameHasOwner(name_); }))
            << "rookd did not take its name";
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ToolResult Rookctl(const std::string& args) {
        return RunTool(std::string(ROOKCTL_PROGRAM) + " --name " + name_ + " " + args);
    }
    // The exit status of rookd once it ended (-1 when it did not end within `limit`).
    int WaitForExit(std::chrono::seconds limit, int* signal = nullptr) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                if (signal) {
                    *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    std::string name_;
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(RookdProgram, RookctlSetsAMicLineThatAnAttachedClientReceivesAndListsItsCommands) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(Send(data, MakeBlock(276, 16)), S_OK);
    TestSink sink;
    DWORD connection = 0;
    ASSERT_EQ(Advise(data, &sink, &connection), S_OK);

    const ToolResult set = Rookctl("mic-line 3 0 0 13 1");
    EXPECT_EQ(set.status, 0) << set.output;
    EXPECT_NE(set.output.find("pushed 1"), std::string::npos) << set.output;
    ASSERT_TRUE(PumpUntil([&] { return sink.count() == 1; }));
    EXPECT_EQ(std::vector<uint8_t>(sink.blocks[0].begin() + 24, sink.blocks[0].begin() + 28),
              (std::vector<uint8_t>{0, 0, 13, 1}));

    const ToolResult commands = Rookctl("commands MicLineRook");
    EXPECT_EQ(commands.status, 0);
    EXPECT_NE(commands.output.find("MicLineRook instance=1 command=276 size=16"), std::string::npos)
        << commands.output;
    EXPECT_NE(Rookctl("mic-line 121 0 0 3 0").status, 0) << "line 121 does not exist";
    EXPECT_NE(Rookctl("frobnicate").status, 0);
    data->DUnadvise(connection);
    data->Release();
}

TEST_F(RookdProgram, RookctlCallsAProxysOperationAsAClientWouldAndRookdRecordsIt) {
    const ToolResult call = Rookctl("call CFrameRateRookObject SetFrameRate 25");
    EXPECT_EQ(call.status, 0) << call.output;
    const ToolResult commands = Rookctl("commands FrameRateRook");
    EXPECT_NE(commands.output.find("command=72 size=16"), std::string::npos) << commands.output;
    EXPECT_NE(commands.output.find("command=73 size=20"), std::string::npos) << commands.output;

    EXPECT_NE(Rookctl("call CNoSuchRookObject").status, 0);
    EXPECT_NE(Rookctl("call CFrameRateRookObject Frobnicate").status, 0);
    const ToolResult list = Rookctl("proxies");
    EXPECT_NE(list.output.find("CDeskSizeRookObject \"DeskSizeRookObject\""), std::string::npos);
}

TEST_F(RookdProgram, AServerKilledOutrightIsReportedUnavailableWithinABoundedTime) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(Send(data, MakeBlock(192, 224)), S_OK);
    TestSink sink;
    DWORD connection = 0;
    ASSERT_EQ(Advise(data, &sink, &connection), S_OK);

    EXPECT_EQ(Rookctl("die").status, 0);
    int signal = 0;
    EXPECT_EQ(WaitForExit(10s, &signal), 128);
    EXPECT_EQ(signal, SIGKILL);
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> read;
    EXPECT_EQ(Read(data, read), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(Advise(data, &sink, &connection), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(Send(data, MakeBlock(204, 16)), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    data->Release();
}

TEST_F(RookdProgram, EndsCleanlyOnTerminationSignalsAndReleasesItsName) {
    EXPECT_EQ(kill(pid_, SIGTERM), 0);
    EXPECT_EQ(WaitForExit(10s), 0);
    EXPECT_FALSE(NameHasOwner(name_));
}

TEST_F(RookdProgram, ExitFromRookctlEndsItCleanly) {
    EXPECT_EQ(Rookctl("exit").status, 0);
    EXPECT_EQ(WaitForExit(10s), 0);
}

TEST_F(RookdProgram, BusctlShowsEveryInterfaceOfTheContract) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    const std::string busctl =
        "busctl --address=" + std::string(getenv("DBUS_SESSION_BUS_ADDRESS")) + " introspect " +
        name_;
    const ToolResult factory = RunTool(busctl + " /org/kestane/com/factory");
    EXPECT_NE(factory.output.find("org.kestane.com.ClassFactory"), std::string::npos)
        << factory.output;
    EXPECT_NE(factory.output.find(".CreateInstance"), std::string::npos);
    const ToolResult instance = RunTool(busctl + " /org/kestane/com/instance/1");
    for (const char* method : {".GetData", ".SetData", ".DAdvise", ".DUnadvise", ".Release"}) {
        EXPECT_NE(instance.output.find(method), std::string::npos) << method << instance.output;
    }
    EXPECT_NE(instance.output.find("quiuay"), std::string::npos) << "SetData's signature";
    const ToolResult control = RunTool(busctl + " /org/kestane/RookServer");
    EXPECT_NE(control.output.find("org.kestane.RookServer.Control"), std::string::npos);
    data->Release();
}

TEST(RookdActivation, AClientsFirstCallStartsTheServerFromItsServiceFile) {
    const std::string savedAddress = getenv("DBUS_SESSION_BUS_ADDRESS");
    char dir[] = "/tmp/rookd-services-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string name = UniqueBusName("activated");
    {
        FILE* service = std::fopen((std::string(dir) + "/" + name + ".service").c_str(), "w");
        ASSERT_NE(service, nullptr);
        std::fprintf(service, "[D-BUS Service]\nName=%s\nExec=%s --name %s\n", name.c_str(),
                     ROOKD_PROGRAM, name.c_str());
        std::fclose(service);
    }
    ASSERT_TRUE(RegisterServer(name));
    {
        platform::com::testing::PrivateBus bus(dir);
        ASSERT_TRUE(bus.running());
        // A new thread opens its connection on the bus that now has the service.
        std::thread client([&] {
            IDataObject* data = NewInstance();
            ASSERT_NE(data, nullptr) << "the server was not started";
            EXPECT_EQ(Send(data, MakeBlock(276, 16)), S_OK);
            data->Release();
            EXPECT_EQ(RunTool(std::string(ROOKCTL_PROGRAM) + " --name " + name + " exit").status,
                      0);
        });
        client.join();
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", savedAddress.c_str(), 1);
    std::filesystem::remove_all(dir);
}

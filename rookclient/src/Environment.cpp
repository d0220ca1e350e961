#include "rookclient/Environment.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "RookProcess.h"

namespace rookclient {
namespace {

void PlainSleep(std::chrono::milliseconds delay) {
    std::this_thread::sleep_for(delay);
}

void EndProcess(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

Environment& Current() {
    static auto* environment = new Environment{PlainSleep, EndProcess};
    return *environment;
}

}  // namespace

Environment SetEnvironment(Environment environment) {
    if (!environment.sleep) {
        environment.sleep = PlainSleep;
    }
    if (!environment.exitProcess) {
        environment.exitProcess = EndProcess;
    }
    Environment old = std::move(Current());
    Current() = std::move(environment);
    return old;
}

namespace detail {

void Sleep(std::chrono::milliseconds delay) {
    Current().sleep(delay);
}

void ExitProcess(int code) {
    Current().exitProcess(code);
}

}  // namespace detail
}  // namespace rookclient

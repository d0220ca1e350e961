// rookd: the object server stand-in (see Options.cpp for its command line).
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "ControlInterface.h"
#include "Options.h"
#include "Registration.h"
#include "RookServer.h"
#include "platform/com/loop.h"

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Blocks the ending signals and gives a descriptor that becomes readable when one arrives,
// so that the loop ends the server the same way as an Exit call.
int EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int main(int argc, char** argv) {
    rookd::Options options;
    std::string problem;
    if (!rookd::ParseOptions({argv + 1, argv + argc}, options, problem)) {
        std::fprintf(stderr, "rookd: %s (see rookd --help)\n", problem.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(rookd::kUsage, stdout);
        return 0;
    }
    if (!options.bus.empty()) {
        setenv("KESTANE_COM_BUS", options.bus.c_str(), 1);
    }
    if (options.registerClass) {
        if (!rookd::RegisterServer(options.busName, &problem)) {
            std::fprintf(stderr, "rookd: cannot register the server class: %s\n", problem.c_str());
            return 1;
        }
        if (options.registerOnly) {
            return 0;
        }
    }
    const int signals = EndingSignals();
    platform::com::HRESULT hr = 0;
    std::unique_ptr<rookd::RookServer> server = rookd::RookServer::Start(options.busName, &hr);
    if (!server) {
        std::fprintf(stderr, "rookd: cannot serve %s on the bus (0x%08X)\n",
                     options.busName.c_str(), static_cast<unsigned>(hr));
        return 1;
    }
    for (const auto& [object, file] : options.images) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(file, bytes)) {
            std::fprintf(stderr, "rookd: cannot read %s\n", file.c_str());
            return 1;
        }
        server->SetImage(object, std::move(bytes), false);
    }
    for (const auto& [line, fields] : options.micLines) {
        server->SetMicLine(line, fields, false);
    }
    server->AnswerNotReady(options.notReady);
    server->AnswerBooting(options.booting);

    bool exitAsked = false;
    auto control = rookd::ControlInterface::Export(*server, [&] { exitAsked = true; });
    if (!control) {
        std::fprintf(stderr, "rookd: cannot export the control interface\n");
        return 1;
    }
    int code = 0;
    while (!exitAsked) {
        platform::com::ProcessCurrentThread();
        if (exitAsked) {
            break;
        }
        const platform::com::LoopWait wait = platform::com::CurrentThreadWait();
        if (wait.fd < 0) {
            std::fprintf(stderr, "rookd: the bus connection is gone\n");
            code = 1;
            break;
        }
        pollfd fds[2] = {{wait.fd, wait.events, 0}, {signals, POLLIN, 0}};
        poll(fds, 2, wait.timeoutMs);
        if (fds[1].revents & POLLIN) {
            break;
        }
    }
    control.reset();
    server.reset();
    return code;
}

// Console change to the rack, on a private bus:
//   pushed: rookd's server sets a mic line of the "MicLineRook" image and pushes it; mic's
//     mic-line receiver (the rookclient proxy) takes it on the main thread, the notice runs the
//     controller, and the time is taken when the port is handed the first set-channel frame
//     for the assigned channel (goal: p99 under 5 ms);
//   bare signal: the same server thread sends a bare sd-bus signal of the 496 image bytes and
//     the time is taken when the main thread's match sees it: the floor of any push;
//   direct: the same image change applied by a direct controller call, to the same frame.
// The rack answers every frame at once (an instant line), so what is measured is our code and
// the bus, not the serial line's byte times. The three kinds of sample are interleaved, so that
// all meet the same load on a shared machine; the table prints the percentiles of each and the
// ratio of the pushed figure to the bare signal's.
#include <platform/com/activation.h>
#include <platform/com/bus.h>
#include <platform/com/loop.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LoopThread.h"
#include "MicFakes.h"
#include "PrivateBus.h"
#include "Registration.h"
#include "RookServer.h"
#include "TempRegistry.h"
#include "mic/core/MicController.h"
#include "mic/core/MicLineInterface.h"

using Clock = std::chrono::steady_clock;
using namespace mic;

namespace {

constexpr char kBusName[] = "org.kestane.bench.RookServer";
constexpr int kSamples = 2000;  // of each kind
constexpr int kLine = 1;        // console line 1, followed by rack 1 channel 1

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The port: every frame is answered at once; the first set-channel frame for rack 1 channel 1
// after Arm() is timed.
class TimingPort : public CommandPort {
  public:
    void SendCommand(const uint8_t* message) override {
        unanswered = true;
        if (armed && message[0] == 0x81 && message[1] == 0x11 && message[2] == 0) {
            armed = false;
            stamp = Now();
        }
    }
    bool IsOpen() const override { return true; }
    void Arm() {
        armed = true;
        stamp = 0;
    }
    bool unanswered = false;
    bool armed = false;
    int64_t stamp = 0;
};

// The window's side of the notices: queued, run by the loop below.
struct QueueTarget : ConsoleNoticeTarget {
    void Post(std::function<void()> notice) override { queued.push_back(std::move(notice)); }
    void OnButtonFromVantor(int wParam, int lParam) override {
        controller->ApplyConsoleData(wParam, lParam);
    }
    void OnCloseRequest() override {}
    void RunQueued() {
        while (!queued.empty()) {
            auto notice = std::move(queued.front());
            queued.pop_front();
            notice();
        }
    }
    std::deque<std::function<void()>> queued;
    MicController* controller = nullptr;
};

struct Bench {
    platform::registry::testing::TempRegistry registry;
    platform::com::testing::PrivateBus bus;
    platform::com::testing::LoopThread serverThread;
    std::unique_ptr<rookd::RookServer> server;  // serving thread only
    test::FakeServices fakes;
    TimingPort port;
    QueueTarget target;
    std::string dir;
    std::unique_ptr<MicController> controller;
    std::unique_ptr<CMicLineInterface> micLine;
    std::atomic<int64_t> sentAt{0};
    int64_t signalSeen = 0;
    sd_bus_slot* match = nullptr;

    bool Start() {
        if (!bus.running() || !rookd::RegisterServer(kBusName)) {
            return false;
        }
        platform::com::HRESULT started = platform::com::E_FAIL;
        serverThread.Run([&] { server = rookd::RookServer::Start(kBusName, &started); });
        if (started != platform::com::S_OK) {
            return false;
        }
        platform::com::CoInitialize();
        char tmpl[] = "/tmp/bench-console-XXXXXX";
        dir = mkdtemp(tmpl);
        MicConfig config;
        config.settings.autoRestore = false;
        config.settings.portWasStored = true;
        config.consoleIntegration = true;
        config.snapshotPath = dir + "/RestoreSnapshot.mic";
        config.debugLogPath = dir + "/MicDebug.txt";
        micLine = std::make_unique<CMicLineInterface>(&target);
        MicServices services = fakes.Services();
        services.port = &port;
        services.console = micLine.get();
        controller = std::make_unique<MicController>(config, services);
        target.controller = controller.get();
        micLine->MLAttach();
        controller->Initialise();
        sd_bus_match_signal(platform::com::CurrentThreadBus(), &match, kBusName, "/bench",
                            "org.kestane.Bench", "Image", &Bench::OnSignal, this);
        // The rack comes on line from the answered polls; then channel 1 follows line 1.
        if (!Until([&] { return controller->State().rackOnLine[0] != 0; }, 5000)) {
            return false;
        }
        return !controller->AssignConsoleChannel(0, kLine).refused;
    }

    ~Bench() {
        sd_bus_slot_unref(match);
        micLine.reset();
        controller.reset();
        serverThread.Run([&] { server.reset(); });
        platform::com::CoUninitialize();
        if (!dir.empty()) {
            std::string rm = "rm -rf '" + dir + "'";
            [[maybe_unused]] int ignored = std::system(rm.c_str());
        }
    }

    static int OnSignal(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<Bench*>(self)->signalSeen = Now();
        return 0;
    }

    // One turn of mic's main loop: pushes and signals, the queued notices, the rack's answer.
    // The rack acknowledges every frame at once; a frame that wants more than an ACK (the data
    // request of a rack coming on line) times out instead, as if unanswered.
    void Turn() {
        platform::com::ProcessCurrentThread();
        target.RunQueued();
        if (port.unanswered) {
            port.unanswered = false;
            const uint32_t transaction = controller->Reply().transaction.load();
            if (test::FeedReplyByte(controller->Reply(), kAck)) {
                controller->Engine().OnReply(1, transaction);
            } else {
                controller->OnTimer(kTimerTransaction);
            }
        }
    }

    bool Until(const std::function<bool()>& done, int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (Clock::now() > end) {
                return false;
            }
            Turn();
        }
        return true;
    }

    // Latencies in microseconds; negative when the sample failed.
    double Pushed(uint8_t gain) {
        port.Arm();
        serverThread.Post([this, gain] {
            rookd::MicLineFields fields;
            fields.gainStep = gain;
            sentAt = Now();
            server->SetMicLine(kLine, fields, true);
        });
        return Until([&] { return port.stamp != 0; }, 2000) ? (port.stamp - sentAt) / 1e3 : -1;
    }

    double BareSignal() {
        signalSeen = 0;
        serverThread.Post([this] {
            static const std::vector<uint8_t> image(496, 1);
            sd_bus* b = platform::com::CurrentThreadBus();
            sd_bus_message* m = nullptr;
            sd_bus_message_new_signal(b, &m, "/bench", "org.kestane.Bench", "Image");
            sd_bus_message_append_array(m, 'y', image.data(), image.size());
            sentAt = Now();
            sd_bus_send(b, m, nullptr);
            sd_bus_message_unref(m);
        });
        return Until([&] { return signalSeen != 0; }, 2000) ? (signalSeen - sentAt) / 1e3 : -1;
    }

    double Direct(uint8_t gain) {
        uint8_t image[kMicLineImageSize];
        micLine->WithImage([&](const uint8_t* now) { std::copy_n(now, sizeof image, image); });
        image[4 * (kLine - 1) + 2] = gain;
        port.Arm();
        const int64_t start = Now();
        controller->ApplyConsoleImage(image, 0, 0);
        return Until([&] { return port.stamp != 0; }, 2000) ? (port.stamp - start) / 1e3 : -1;
    }

    // Lets the set-channel frame be answered and the ring empty before the next sample.
    void Settle() {
        Until([&] { return controller->Engine().RingEmpty(); }, 1000);
        for (int i = 0; i < 3; ++i) {
            Turn();
        }
    }
};

struct Figures {
    std::vector<double> us;
    int failed = 0;
    void Add(double v) {
        if (v < 0) {
            ++failed;
        } else {
            us.push_back(v);
        }
    }
    double At(double q) {
        if (us.empty()) {
            return 0;
        }
        std::sort(us.begin(), us.end());
        return us[std::min(us.size() - 1, static_cast<size_t>(q * us.size()))];
    }
};

}  // namespace

int main() {
    Bench bench;
    if (!bench.Start()) {
        std::fprintf(stderr, "bench_console_latency: no private bus, server or rack on line\n");
        return 1;
    }
    Figures pushed, bare, direct;
    // A few rounds first, so that the connections and caches are warm. The push sets the gain
    // step of the line to 9, the direct call back to 5: each sample changes the channel.
    for (int i = -50; i < kSamples; ++i) {
        const double p = bench.Pushed(9);
        bench.Settle();
        const double b = bench.BareSignal();
        const double d = bench.Direct(5);
        bench.Settle();
        if (i >= 0) {
            pushed.Add(p);
            bare.Add(b);
            direct.Add(d);
        }
    }
    std::printf("%d samples of each, microseconds (wall time)\n", kSamples);
    std::printf("%-44s %9s %9s %9s %9s %7s\n", "figure", "p50", "p90", "p99", "max", "failed");
    struct Row {
        const char* name;
        Figures* f;
    };
    for (Row row : {Row{"pushed image -> first rack frame", &pushed},
                    Row{"bare sd-bus signal, server -> main thread", &bare},
                    Row{"direct controller call -> first rack frame", &direct}}) {
        std::printf("%-44s %9.1f %9.1f %9.1f %9.1f %7d\n", row.name, row.f->At(0.5), row.f->At(0.9),
                    row.f->At(0.99), row.f->At(1.0), row.f->failed);
    }
    const double p99 = pushed.At(0.99);
    std::printf(
        "\npushed p99 %.2f ms beside the bare signal's p99 %.2f ms: %.2fx; "
        "goal p99 < 5 ms (%s)\n",
        p99 / 1e3, bare.At(0.99) / 1e3, p99 / std::max(bare.At(0.99), 1e-3),
        p99 < 5000 && pushed.failed == 0 ? "met" : "NOT met");
    return pushed.failed == 0 ? 0 : 1;
}

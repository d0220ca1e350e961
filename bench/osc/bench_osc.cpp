// Remote control latency: an OSC set sent over UDP to the first byte of its frame on the wire,
// beside the same change made by a click (a direct controller call on the main thread), with
// every rack on line and polled against the zero-delay simulator. Goal: OSC p99 under 5 ms.
//
// The program polls the remote control's socket from its main loop; here a watcher thread
// polls it and hands the read to the rig's main loop, the same one wake-up of the main thread.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "LineRig.h"
#include "mic/osc/ControllerModel.h"
#include "mic/osc/OscClient.h"
#include "mic/osc/OscServer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

struct Figures {
    std::vector<double> clickUs, oscUs;
};

// Runs `samples` changes of each kind, interleaved so that both see the same machine load.
Figures Measure(int samples) {
    constexpr int kRacks = 16;
    Figures f;
    line_test::LineRig rig({.racks = kRacks});
    std::atomic<bool> armed{false};
    std::atomic<int64_t> firstByteAt{0};
    uint8_t previous = 0;
    int64_t previousAt = 0;
    // The first byte of a set-channel frame: the address byte before command 0x11.
    rig.sim.SetByteObserver([&](uint8_t b, Clock::time_point at) {
        if (b == 0x11 && (previous & 0x80) && armed.exchange(false))
            firstByteAt = previousAt;
        previous = b;
        previousAt = at.time_since_epoch().count();
    });
    if (!rig.Start() || !rig.Eventually(
                            [&] {
                                return rig.mic->Engine().OnLineCount() == kRacks &&
                                       rig.sim.Stats().dataRequests >= kRacks &&
                                       rig.mic->Engine().RingEmpty();
                            },
                            120s))
        return f;

    mic::osc::ControllerModel model(*rig.mic);
    mic::osc::OscServer server(model);
    std::string error;
    mic::osc::OscSettings settings;
    settings.port = 0;
    if (!rig.loop.Run([&] { return server.Start(settings, "bench", error); }))
        return f;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        while (!stop) {
            pollfd p{server.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) > 0)
                rig.loop.Run([&] { server.ReadPending(); });
        }
    });
    mic::osc::OscClient client;
    if (!client.Open("127.0.0.1", server.Port(), error)) {
        stop = true;
        watcher.join();
        return f;
    }

    std::mt19937 rng(7);
    auto sample = [&](const std::function<void()>& change, std::vector<double>& out) {
        rig.Eventually([&] { return rig.mic->Engine().RingEmpty(); }, 10s);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        firstByteAt = 0;
        armed = true;
        const int64_t startedAt = Clock::now().time_since_epoch().count();
        change();
        const auto deadline = Clock::now() + 2s;
        while (firstByteAt.load() == 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(100us);
        armed = false;
        if (firstByteAt.load() != 0)
            out.push_back((firstByteAt.load() - startedAt) / 1000.0);
    };
    for (int i = 0; i < samples; ++i) {
        const int channel = static_cast<int>(rng() % 12);
        sample([&] { rig.loop.Run([&] { rig.mic->ClickPhantom(channel); }); }, f.clickUs);
        // The same toggle of the displayed rack, asked for by a peer.
        const int now = rig.loop.Run(
            [&] { return (rig.mic->State().setting[channel] & mic::kPhantomBit) ? 1 : 0; });
        const std::string path = "/mic/rack/1/channel/" + std::to_string(channel + 1) + "/phantom";
        sample([&] { client.Send({path, {mic::osc::OscValue::Int(1 - now)}}); }, f.oscUs);
        while (client.Receive(0)) {
        }
    }
    stop = true;
    watcher.join();
    return f;
}

void BM_OscSetToWire(benchmark::State& state) {
    Figures f;
    for (auto _ : state) {
        f = Measure(300);
        state.SetIterationTime(1);
    }
    if (f.clickUs.empty() || f.oscUs.empty()) {
        state.SkipWithError("no change reached the wire");
        return;
    }
    const double clickP50 = Percentile(f.clickUs, 0.5), clickP99 = Percentile(f.clickUs, 0.99);
    const double oscP50 = Percentile(f.oscUs, 0.5), oscP99 = Percentile(f.oscUs, 0.99);
    state.counters["osc_p50_us"] = oscP50;
    state.counters["osc_p99_us"] = oscP99;
    state.counters["click_p99_us"] = clickP99;
    state.counters["ratio_p99_osc_to_click"] = oscP99 / clickP99;
    state.counters["ratio_p99_to_5ms_goal"] = oscP99 / 5000.0;
    std::printf(
        "OSC set to wire: p50 %.0f us, p99 %.0f us over %zu sets; click to wire: p50 %.0f us, "
        "p99 %.0f us over %zu clicks; ratio of p99 OSC/click %.2f; p99 against the 5 ms goal "
        "%.2f\n",
        oscP50, oscP99, f.oscUs.size(), clickP50, clickP99, f.clickUs.size(), oscP99 / clickP99,
        oscP99 / 5000.0);
}
BENCHMARK(BM_OscSetToWire)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

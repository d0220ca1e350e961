// The object calls against bare sd-bus of the same payload, on a private bus:
//   SendData/496 and SendData/154560: one SetData round trip through the data-object proxy
//     and the class server, beside one bare method call carrying the same bytes (goal: within
//     1.3x);
//   Push: 496-byte blocks pushed by the class server to an advised sink, delivered on the
//     client's thread, beside bare signals of the same bytes (goal: at least 10,000 per second).
// Wall time (the work is split between threads and processes). Each benchmark measures ours
// and the baseline interleaved, so that both meet the same load on a shared machine; the
// table at the end prints each figure beside its baseline.
#include <benchmark/benchmark.h>
#include <platform/registry.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "LoopThread.h"
#include "PrivateBus.h"
#include "ServerThread.h"
#include "TempRegistry.h"
#include "platform/com/activation.h"
#include "platform/com/bus.h"
#include "platform/com/global_memory.h"
#include "platform/com/loop.h"

using namespace platform::com;
using namespace platform::com::testing;

namespace {

constexpr CLSID kBenchClass{0xBE7C4000, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr char kServerName[] = "org.kestane.bench.Server";
constexpr char kBareName[] = "org.kestane.bench.Bare";
constexpr int kPushBatch = 1000;

struct AcceptingInstance : ServerInstance {
    HRESULT SetData(const FORMATETC&, std::span<const uint8_t> block) override {
        return block.empty() ? E_INVALIDARG : S_OK;
    }
    HRESULT GetData(const FORMATETC&, std::optional<std::vector<uint8_t>>&) override {
        return S_OK;
    }
};

struct CountingSink : IAdviseSink {
    int count = 0;
    HRESULT QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    void OnDataChange(FORMATETC*, STGMEDIUM* medium) override {
        ++count;
        GlobalFree(medium->hGlobal);
    }
    void OnViewChange(DWORD, int32_t) override {}
    void OnRename(void*) override {}
    void OnSave() override {}
    void OnClose() override {}
};

// A bare server: a method that takes the bytes and answers a result, and signals of bytes.
int BareSend(sd_bus_message* m, void*, sd_bus_error*) {
    const void* bytes = nullptr;
    size_t size = 0;
    sd_bus_message_read_array(m, 'y', &bytes, &size);
    return sd_bus_reply_method_return(m, "i", size ? 0 : -1);
}
const sd_bus_vtable kBareVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Send", "ay", "i", BareSend, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Image", "ay", 0),
    SD_BUS_VTABLE_END,
};

void PumpUntil(const int& count, int target) {
    while (count < target) {
        ProcessCurrentThread();
        if (count >= target) {
            break;
        }
        const LoopWait wait = CurrentThreadWait();
        pollfd pfd{wait.fd, wait.events, 0};
        poll(&pfd, 1, wait.timeoutMs < 0 ? 1000 : wait.timeoutMs);
    }
}

struct World {
    platform::registry::testing::TempRegistry registry;
    PrivateBus bus;
    std::unique_ptr<ServerThread> server;
    sd_bus_slot* bareSlot = nullptr;
    IDataObject* data = nullptr;
    InstanceId instance = 0;

    World() {
        platform::registry::Key key;
        platform::registry::Key::root(platform::registry::Hive::LocalMachine)
            .create("Software\\Classes\\CLSID\\" + ToString(kBenchClass), key);
        platform::registry::setString(key, "BusName", kServerName);
        server = std::make_unique<ServerThread>(kServerName, kBenchClass,
                                                [this](InstanceId id, const std::string&) {
                                                    instance = id;
                                                    return std::make_unique<AcceptingInstance>();
                                                });
        // The bare server shares the class server's thread and connection, so that only the
        // code on the way differs.
        server->Run([this](ClassServer&) {
            sd_bus* b = CurrentThreadBus();
            sd_bus_add_object_vtable(b, &bareSlot, "/bench", "org.kestane.Bench", kBareVtable,
                                     nullptr);
            sd_bus_request_name(b, kBareName, 0);
        });
        void* factory = nullptr;
        CoGetClassObject(kBenchClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &factory);
        void* object = nullptr;
        if (factory) {
            static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IDataObject, &object);
            static_cast<IClassFactory*>(factory)->Release();
        }
        data = static_cast<IDataObject*>(object);
    }
    ~World() {
        if (data) {
            data->Release();
        }
        server->Run([this](ClassServer&) { sd_bus_slot_unref(bareSlot); });
        server.reset();
    }
};

World* world = nullptr;

// One SetData through the proxy: false when it failed.
bool SendViaProxy(HGLOBAL block, FORMATETC& format) {
    STGMEDIUM medium{TYMED_HGLOBAL, block, nullptr};
    return world->data->SetData(&format, &medium, 0) == S_OK;
}

// One bare method call carrying the same bytes.
bool SendBare(sd_bus* bus, const std::vector<uint8_t>& bytes) {
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_message_new_method_call(bus, &call, kBareName, "/bench", "org.kestane.Bench", "Send");
    sd_bus_message_append_array(call, 'y', bytes.data(), bytes.size());
    int result = -1;
    const bool ok = sd_bus_call(bus, call, 10000000, nullptr, &reply) >= 0 &&
                    sd_bus_message_read(reply, "i", &result) >= 0 && result == 0;
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return ok;
}

using Clock = std::chrono::steady_clock;

// Times `work` and adds the wall time to `total`.
template <typename Work>
bool Timed(double& total, Work work) {
    const auto start = Clock::now();
    const bool ok = work();
    total += std::chrono::duration<double>(Clock::now() - start).count();
    return ok;
}

// Each iteration makes one proxy call and one bare call of the same size, alternating which
// goes first, so that both meet the same load on a shared machine.
void SendData(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    const std::vector<uint8_t> bytes(size, 1);
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    sd_bus* bus = CurrentThreadBus();
    double com = 0, bare = 0;
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        bool ok = true;
        if (odd) {
            ok = Timed(com, [&] { return SendViaProxy(block, format); }) &&
                 Timed(bare, [&] { return SendBare(bus, bytes); });
        } else {
            ok = Timed(bare, [&] { return SendBare(bus, bytes); }) &&
                 Timed(com, [&] { return SendViaProxy(block, format); });
        }
        if (!ok) {
            state.SkipWithError("a call failed");
            break;
        }
    }
    GlobalFree(block);
    const double n = static_cast<double>(state.iterations());
    state.counters["com_us"] = com / n * 1e6;
    state.counters["bare_us"] = bare / n * 1e6;
    state.counters["ratio"] = com / bare;
}

int OnBareImage(sd_bus_message*, void* counter, sd_bus_error*) {
    ++*static_cast<int*>(counter);
    return 0;
}

// A batch of pushes from the class server to an advised sink on this thread. The batch is
// posted, so that this thread takes pushes in while the server still sends.
double PushBatchViaServer(CountingSink& sink, const std::vector<uint8_t>& block) {
    const int target = sink.count + kPushBatch;
    const auto start = Clock::now();
    world->server->Post([&block](ClassServer& server) {
        for (int i = 0; i < kPushBatch; ++i) {
            server.Push(world->instance, block);
        }
    });
    PumpUntil(sink.count, target);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same number of bare signals of the same bytes, caught by a match on this thread.
double PushBatchBare(int& count, const std::vector<uint8_t>& block) {
    const int target = count + kPushBatch;
    const auto start = Clock::now();
    world->server->Post([&block](ClassServer&) {
        sd_bus* b = CurrentThreadBus();
        for (int i = 0; i < kPushBatch; ++i) {
            sd_bus_message* m = nullptr;
            sd_bus_message_new_signal(b, &m, "/bench", "org.kestane.Bench", "Image");
            sd_bus_message_append_array(m, 'y', block.data(), block.size());
            sd_bus_send(b, m, nullptr);
            sd_bus_message_unref(m);
        }
    });
    PumpUntil(count, target);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each iteration delivers one batch of pushes and one batch of bare signals.
void Push(benchmark::State& state) {
    CountingSink sink;
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    DWORD connection = 0;
    if (world->data->DAdvise(&format, ADVF_NODATA, &sink, &connection) != S_OK) {
        state.SkipWithError("DAdvise failed");
        return;
    }
    int bareCount = 0;
    sd_bus_slot* match = nullptr;
    sd_bus_match_signal(CurrentThreadBus(), &match, kBareName, "/bench", "org.kestane.Bench",
                        "Image", OnBareImage, &bareCount);
    const std::vector<uint8_t> block(496, 7);
    double com = 0, bare = 0;
    for (auto _ : state) {
        com += PushBatchViaServer(sink, block);
        bare += PushBatchBare(bareCount, block);
    }
    const double pushes = static_cast<double>(state.iterations()) * kPushBatch;
    state.counters["com_per_s"] = pushes / com;
    state.counters["bare_per_s"] = pushes / bare;
    state.counters["ratio"] = (pushes / com) / (pushes / bare);
    sd_bus_slot_unref(match);
    world->data->DUnadvise(connection);
}

BENCHMARK(SendData)->Arg(496)->Arg(154560)->UseRealTime()->MinTime(3.0);
BENCHMARK(Push)->UseRealTime()->MinTime(3.0);

// Console output, then one line per figure: ours, the bare sd-bus baseline, the ratio, the goal.
class ComparingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
                runs_.push_back(run);
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-30s %14s %14s %8s  %s\n", "figure (wall time)", "com", "bare sd-bus",
                    "ratio", "goal");
        for (const Run& run : runs_) {
            const auto& c = run.counters;
            const std::string name = run.run_name.str();
            if (c.count("com_us")) {
                const double ratio = c.at("ratio").value;
                std::printf("%-30s %11.1f us %11.1f us %7.2fx  <= 1.30x (%s)\n", name.c_str(),
                            c.at("com_us").value, c.at("bare_us").value, ratio,
                            ratio <= 1.3 ? "met" : "NOT met");
            } else if (c.count("com_per_s")) {
                const double rate = c.at("com_per_s").value;
                std::printf("%-30s %12.0f/s %12.0f/s %7.2fx  >= 10000/s (%s)\n", name.c_str(), rate,
                            c.at("bare_per_s").value, c.at("ratio").value,
                            rate >= 10000 ? "met" : "NOT met");
            }
        }
    }

  private:
    std::vector<Run> runs_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    if (!w.bus.running() || !w.data) {
        std::fprintf(stderr, "bench_com: no private bus or no server instance\n");
        return 1;
    }
    world = &w;
    ComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    world = nullptr;
    return 0;
}

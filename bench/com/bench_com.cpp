// The object calls against bare sd-bus of the same payload, on a private bus:
//   SendData/496 and SendData/154560: one SetData round trip through the data-object proxy
//     and the class server, beside one bare method call carrying the same bytes (goal: within
//     1.3x);
//   Push: 496-byte blocks pushed by the class server to an advised sink, delivered on the
//     client's thread, beside bare signals of the same bytes (goal: at least 10,000 per second).
// Wall time (the work is split between threads and processes); the table at the end prints
// each figure beside its baseline.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

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
    LoopThread bare;
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
        bare.Run([this] {
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
        bare.Run([this] { sd_bus_slot_unref(bareSlot); });
        bare.Stop();
        server.reset();
    }
};

World* world = nullptr;

void SendData_com(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    for (auto _ : state) {
        STGMEDIUM medium{TYMED_HGLOBAL, h, nullptr};
        if (world->data->SetData(&format, &medium, 0) != S_OK) {
            state.SkipWithError("SetData failed");
            break;
        }
    }
    GlobalFree(h);
}

void SendData_baseline(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> bytes(size);
    sd_bus* bus = CurrentThreadBus();
    for (auto _ : state) {
        sd_bus_message* call = nullptr;
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_call(bus, &call, kBareName, "/bench", "org.kestane.Bench", "Send");
        sd_bus_message_append_array(call, 'y', bytes.data(), bytes.size());
        int result = -1;
        if (sd_bus_call(bus, call, 10000000, nullptr, &reply) < 0 ||
            sd_bus_message_read(reply, "i", &result) < 0 || result != 0) {
            state.SkipWithError("bare call failed");
        }
        sd_bus_message_unref(reply);
        sd_bus_message_unref(call);
    }
}

void Push_com(benchmark::State& state) {
    CountingSink sink;
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    DWORD connection = 0;
    if (world->data->DAdvise(&format, ADVF_NODATA, &sink, &connection) != S_OK) {
        state.SkipWithError("DAdvise failed");
        return;
    }
    const std::vector<uint8_t> block(496, 7);
    for (auto _ : state) {
        const int target = sink.count + kPushBatch;
        world->server->Run([&](ClassServer& server) {
            for (int i = 0; i < kPushBatch; ++i) {
                server.Push(world->instance, block);
            }
        });
        PumpUntil(sink.count, target);
    }
    state.counters["pushes/s"] =
        benchmark::Counter(kPushBatch, benchmark::Counter::kIsIterationInvariantRate);
    world->data->DUnadvise(connection);
}

int OnBareImage(sd_bus_message*, void* counter, sd_bus_error*) {
    ++*static_cast<int*>(counter);
    return 0;
}

void Push_baseline(benchmark::State& state) {
    int count = 0;
    sd_bus* bus = CurrentThreadBus();
    sd_bus_slot* match = nullptr;
    sd_bus_match_signal(bus, &match, kBareName, "/bench", "org.kestane.Bench", "Image", OnBareImage,
                        &count);
    const std::vector<uint8_t> block(496, 7);
    for (auto _ : state) {
        const int target = count + kPushBatch;
        world->bare.Run([&] {
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
    }
    state.counters["pushes/s"] =
        benchmark::Counter(kPushBatch, benchmark::Counter::kIsIterationInvariantRate);
    sd_bus_slot_unref(match);
}

BENCHMARK(SendData_com)->Name("SendData/com")->Arg(496)->Arg(154560)->UseRealTime()->MinTime(1.0);
BENCHMARK(SendData_baseline)->Name("SendData/baseline")->Arg(496)->Arg(154560)->UseRealTime()->MinTime(1.0);
BENCHMARK(Push_com)->Name("Push/com")->UseRealTime()->MinTime(1.0);
BENCHMARK(Push_baseline)->Name("Push/baseline")->UseRealTime()->MinTime(1.0);

// Console output, then each "X/com" beside "X/baseline" of the same run.
class ComparingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
                Figure& f = figures_[run.benchmark_name()];
                f.seconds = run.GetAdjustedRealTime();
                auto it = run.counters.find("pushes/s");
                f.rate = it == run.counters.end() ? 0 : it->second.value;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-28s %16s %16s %8s  %s\n", "benchmark (wall time)", "com", "baseline",
                    "ratio", "goal");
        for (const auto& [name, f] : figures_) {
            const size_t at = name.find("/com");
            if (at == std::string::npos) {
                continue;
            }
            const std::string base = name.substr(0, at) + "/baseline" + name.substr(at + 4);
            auto b = figures_.find(base);
            if (b == figures_.end()) {
                continue;
            }
            if (f.rate > 0) {
                std::printf("%-28s %12.0f/s   %12.0f/s   %7.2fx  >= 10000/s (com: %s)\n",
                            name.c_str(), f.rate, b->second.rate, f.rate / b->second.rate,
                            f.rate >= 10000 ? "met" : "NOT met");
            } else {
                const double ratio = f.seconds / b->second.seconds;
                std::printf("%-28s %13.1f us %13.1f us %7.2fx  <= 1.30x (%s)\n", name.c_str(),
                            f.seconds * 1e6, b->second.seconds * 1e6, ratio,
                            ratio <= 1.3 ? "met" : "NOT met");
            }
        }
    }

  private:
    struct Figure {
        double seconds = 0;
        double rate = 0;
    };
    std::map<std::string, Figure> figures_;
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

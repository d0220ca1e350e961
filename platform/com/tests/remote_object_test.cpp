#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <numeric>

#include "BusEnvironment.h"
#include "ServerThread.h"
#include "TestSink.h"
#include "platform/com/activation.h"
#include "platform/com/bus.h"
#include "platform/com/global_memory.h"

using namespace platform::com;
using namespace platform::com::testing;
using namespace std::chrono_literals;

namespace {

HGLOBAL BlockOf(const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, bytes.size());
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

FORMATETC RookFormat() {
    FORMATETC f;
    f.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
    f.dwAspect = static_cast<DWORD>(getpid());
    f.lindex = -1;
    return f;
}

class RemoteObject : public ::testing::Test {
  protected:
    void SetUp() override {
        busName_ = UniqueBusName("remote");
        MapClass(kTestClass, busName_);
        server_ = std::make_unique<ServerThread>(
            busName_, kTestClass, [this](InstanceId id, const std::string&) {
                auto instance = std::make_unique<ScriptedInstance>();
                instances_[id] = instance.get();  // serving thread only
                return instance;
            });
        ASSERT_EQ(server_->started(), S_OK);
    }

    // A new server instance's data object, through the class factory as a client gets it.
    IDataObject* NewDataObject() {
        void* factory = nullptr;
        EXPECT_EQ(
            CoGetClassObject(kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &factory),
            S_OK);
        if (!factory) {
            return nullptr;
        }
        void* unknown = nullptr;
        auto* classFactory = static_cast<IClassFactory*>(factory);
        EXPECT_EQ(classFactory->CreateInstance(nullptr, IID_IUnknown, &unknown), S_OK);
        classFactory->Release();
        if (!unknown) {
            return nullptr;
        }
        void* data = nullptr;
        EXPECT_EQ(static_cast<IUnknown*>(unknown)->QueryInterface(IID_IDataObject, &data), S_OK);
        static_cast<IUnknown*>(unknown)->Release();
        return static_cast<IDataObject*>(data);
    }

    // Runs `work` on the serving thread with the newest instance.
    void OnInstance(const std::function<void(ClassServer&, InstanceId, ScriptedInstance&)>& work) {
        server_->Run([&](ClassServer& server) {
            ASSERT_FALSE(instances_.empty());
            auto& [id, instance] = *instances_.rbegin();
            work(server, id, *instance);
        });
    }

    size_t ServerInstanceCount() {
        size_t count = 0;
        server_->Run([&](ClassServer& server) { count = server.InstanceCount(); });
        return count;
    }

    std::string busName_;
    std::map<InstanceId, ScriptedInstance*> instances_;
    std::unique_ptr<ServerThread> server_;
};

}  // namespace

TEST(ClassLookup, AnUnmappedClassIsNotRegisteredAndAnUnownedNameCannotBeStarted) {
    const CLSID unmapped{0x5E1F7E57, 0x0BAD, 0, {9}};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoGetClassObject(unmapped, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    const CLSID nobodyServes{0x5E1F7E57, 0x0BAD, 1, {9}};
    MapClass(nobodyServes, UniqueBusName("absent"));
    EXPECT_EQ(
        CoGetClassObject(nobodyServes, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &object),
        CO_E_SERVER_EXEC_FAILURE);

    const CLSID badName{0x5E1F7E57, 0x0BAD, 2, {9}};
    MapClass(badName, "not a bus name");
    EXPECT_EQ(CoGetClassObject(badName, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &object),
              REGDB_E_READREGDB);
}

TEST_F(RemoteObject, SetDataCarriesTheFormatAndEveryByteOfSmallAndLargeBlocks) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    const std::vector<uint8_t> small = Pattern(496, 1);
    const std::vector<uint8_t> large = Pattern(154560, 2);
    for (const auto* bytes : {&small, &large}) {
        HGLOBAL h = BlockOf(*bytes);
        FORMATETC format = RookFormat();
        STGMEDIUM medium{TYMED_HGLOBAL, h, nullptr};
        EXPECT_EQ(data->SetData(&format, &medium, 0), S_OK);
        EXPECT_EQ(GlobalSize(h), bytes->size()) << "the caller keeps its block";
        GlobalFree(h);
    }
    OnInstance([&](ClassServer&, InstanceId, ScriptedInstance& instance) {
        ASSERT_EQ(instance.received.size(), 2u);
        EXPECT_EQ(instance.received[0], small);
        EXPECT_EQ(instance.received[1], large);
        EXPECT_EQ(instance.formats[0].cfFormat, RookFormat().cfFormat);
        EXPECT_EQ(instance.formats[0].dwAspect, static_cast<DWORD>(getpid()));
        EXPECT_EQ(instance.formats[0].lindex, -1);
    });

    // A block larger than the calls carry is refused before it is sent, and the connection
    // goes on working.
    HGLOBAL huge = GlobalAlloc(GMEM_MOVEABLE, (size_t{16} << 20) + 1);
    STGMEDIUM hugeMedium{TYMED_HGLOBAL, huge, nullptr};
    FORMATETC hugeFormat = RookFormat();
    EXPECT_EQ(data->SetData(&hugeFormat, &hugeMedium, 0), E_INVALIDARG);
    GlobalFree(huge);
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance& instance) {
        EXPECT_EQ(instance.received.size(), 2u);
        EXPECT_EQ(server.Push(id, std::vector<uint8_t>((size_t{16} << 20) + 1)), 0u);
        instance.image = std::vector<uint8_t>((size_t{16} << 20) + 1);
    });
    STGMEDIUM got;
    EXPECT_EQ(data->GetData(&hugeFormat, &got), E_OUTOFMEMORY);
    EXPECT_EQ(got.hGlobal, nullptr);

    // A medium that is not a live global block never reaches the server.
    FORMATETC format = RookFormat();
    int notABlock = 0;
    STGMEDIUM bogus{TYMED_HGLOBAL, &notABlock, nullptr};
    EXPECT_EQ(data->SetData(&format, &bogus, 0), DV_E_TYMED);
    data->Release();
}

TEST_F(RemoteObject, GetDataGivesTheServersBlockOrNoMediumWithTheServersResult) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    const std::vector<uint8_t> image = Pattern(496, 9);
    OnInstance(
        [&](ClassServer&, InstanceId, ScriptedInstance& instance) { instance.image = image; });
    FORMATETC format = RookFormat();
    STGMEDIUM medium;
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    ASSERT_EQ(medium.tymed, TYMED_HGLOBAL);
    ASSERT_EQ(GlobalSize(medium.hGlobal), image.size());
    EXPECT_EQ(std::memcmp(GlobalLock(medium.hGlobal), image.data(), image.size()), 0);
    GlobalUnlock(medium.hGlobal);
    GlobalFree(medium.hGlobal);

    const HRESULT noData = MakeResult(0xF0000004);
    OnInstance([&](ClassServer&, InstanceId, ScriptedInstance& instance) {
        instance.image.reset();
        instance.getResult = noData;
    });
    EXPECT_EQ(data->GetData(&format, &medium), noData);
    EXPECT_EQ(medium.hGlobal, nullptr);

    // S_OK without a medium is an answer of its own (the server has nothing yet).
    OnInstance([&](ClassServer&, InstanceId, ScriptedInstance& instance) {
        instance.getResult = S_OK;
        instance.image = std::vector<uint8_t>{};
    });
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_NE(medium.hGlobal, nullptr) << "an empty block is still a block";
    EXPECT_EQ(GlobalSize(medium.hGlobal), 0u);
    GlobalFree(medium.hGlobal);
    data->Release();
}

TEST_F(RemoteObject, PushesWaitForTheAdvisingThreadToProcessAndStopAfterDUnadvise) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    TestSink sink;
    FORMATETC format = RookFormat();
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), S_OK);
    EXPECT_NE(connection, 0u);
    EXPECT_GT(sink.refs.load(), 0) << "the connection holds the sink";

    size_t queued = 0;
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance&) {
        for (uint8_t i = 0; i < 3; ++i) {
            queued += server.Push(id, Pattern(496, i));
        }
    });
    EXPECT_EQ(queued, 3u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.count(), 0u) << "nothing is delivered while the thread does not process";
    ASSERT_TRUE(PumpUntil([&] { return sink.count() == 3; }));
    for (uint8_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.blocks[i], Pattern(496, i)) << "pushes keep their order";
    }
    EXPECT_EQ(sink.formats[0].cfFormat, format.cfFormat);
    EXPECT_EQ(sink.formats[0].tymed, TYMED_HGLOBAL);

    EXPECT_EQ(data->DUnadvise(connection), S_OK);
    EXPECT_EQ(data->DUnadvise(connection), OLE_E_NOCONNECTION);
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance&) {
        EXPECT_EQ(server.AdviseCount(id), 0u);
        EXPECT_EQ(server.Push(id, Pattern(16, 0)), 0u);
    });
    PumpUntil([&] { return sink.refs.load() == 0; }, 2s);
    EXPECT_EQ(sink.refs.load(), 0) << "the sink is released with its connection";
    EXPECT_EQ(sink.count(), 3u);
    data->Release();
}

TEST_F(RemoteObject, APushThatArrivesDuringASynchronousCallIsDeliveredAtTheNextProcessing) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    TestSink sink;
    FORMATETC format = RookFormat();
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), S_OK);
    // The server pushes five blocks and only then answers GetData: the client's call reads
    // them off the socket before its reply and parks them.
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance& instance) {
        instance.beforeGetAnswer = [&server, id] {
            for (uint8_t i = 0; i < 5; ++i) {
                server.Push(id, Pattern(496, i));
            }
        };
    });
    STGMEDIUM medium;
    EXPECT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(sink.count(), 0u) << "a push never runs inside the caller's synchronous call";
    EXPECT_EQ(CurrentThreadWait().timeoutMs, 0) << "parked pushes must make the loop run at once";
    ProcessCurrentThread();
    ASSERT_EQ(sink.count(), 5u);
    for (uint8_t i = 0; i < 5; ++i) {
        EXPECT_EQ(sink.blocks[i], Pattern(496, i));
    }
    data->DUnadvise(connection);
    data->Release();
}

TEST_F(RemoteObject, PushesAreDeliveredOnTheThreadThatAdvisedAndNoOther) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    TestSink sink;
    std::atomic<bool> advised{false};
    std::atomic<bool> stop{false};
    std::thread::id advisingThread;
    std::thread other([&] {
        advisingThread = std::this_thread::get_id();
        FORMATETC format = RookFormat();
        DWORD connection = 0;
        EXPECT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), S_OK);
        advised = true;
        PumpUntil([&] { return stop.load(); }, 20s);
        EXPECT_EQ(data->DUnadvise(connection), S_OK);
    });
    while (!advised) {
        std::this_thread::sleep_for(5ms);
    }
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance&) {
        for (uint8_t i = 0; i < 4; ++i) {
            server.Push(id, Pattern(32, i));
        }
    });
    // The main thread processes its own connection meanwhile; it must receive nothing.
    EXPECT_TRUE(PumpUntil([&] { return sink.count() == 4; }));
    stop = true;
    other.join();
    ASSERT_EQ(sink.threads.size(), 4u);
    for (const auto& id : sink.threads) {
        EXPECT_EQ(id, advisingThread);
    }
    data->Release();
}

TEST_F(RemoteObject, AServerThatLeftTheBusIsReportedUnavailableWithinABoundedTime) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    server_->Stop();
    const auto start = std::chrono::steady_clock::now();
    FORMATETC format = RookFormat();
    STGMEDIUM medium;
    TestSink sink;
    DWORD connection = 0;
    HGLOBAL h = BlockOf(Pattern(16, 0));
    STGMEDIUM block{TYMED_HGLOBAL, h, nullptr};
    EXPECT_EQ(data->GetData(&format, &medium), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(data->SetData(&format, &block, 0), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(connection, 0u);
    GlobalFree(h);
    data->Release();
    PumpUntil([&] { return sink.refs.load() == 0; }, 2s);
    EXPECT_EQ(sink.refs.load(), 0) << "a refused connection does not keep the sink";
}

TEST_F(RemoteObject, AnInstanceEndsWhenItsProxyIsReleasedOrItsClientLeavesTheBus) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(ServerInstanceCount(), 1u);
    data->Release();
    EXPECT_TRUE(PumpUntil([&] { return ServerInstanceCount() == 0; }));

    IDataObject* forgotten = nullptr;
    std::thread client([&] {
        forgotten = NewDataObject();  // not released before its thread's connection ends
        EXPECT_NE(forgotten, nullptr);
    });
    client.join();
    EXPECT_TRUE(PumpUntil([&] { return ServerInstanceCount() == 0; }))
        << "a client's instances go with its connection";
    if (forgotten) {
        forgotten->Release();
    }
}

TEST_F(RemoteObject, ASinkAcceptsPushesOnlyFromTheServerItAdvised) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    TestSink sink;
    FORMATETC format = RookFormat();
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), S_OK);
    sd_bus* mine = CurrentThreadBus();
    const char* myName = nullptr;
    ASSERT_GE(sd_bus_get_unique_name(mine, &myName), 0);
    const std::string target = myName;

    int refused = 0;
    std::thread intruder([&] {
        sd_bus* bus = CurrentThreadBus();
        const uint8_t bytes[16] = {1};
        for (int n = 1; n <= 100; ++n) {
            const std::string path = "/org/kestane/com/sink/" + std::to_string(n);
            sd_bus_message* call = nullptr;
            sd_bus_message_new_method_call(bus, &call, target.c_str(), path.c_str(),
                                           "org.kestane.com.AdviseSink", "OnDataChange");
            sd_bus_message_append(call, "quiu", format.cfFormat, 0u, -1, 1u);
            sd_bus_message_append_array(call, 'y', bytes, sizeof bytes);
            sd_bus_call_async(
                bus, nullptr, call,
                [](sd_bus_message* reply, void* counter, sd_bus_error*) {
                    const sd_bus_error* e = sd_bus_message_get_error(reply);
                    if (e && sd_bus_error_has_name(e, SD_BUS_ERROR_ACCESS_DENIED)) {
                        ++*static_cast<int*>(counter);
                    }
                    return 0;
                },
                &refused, 2000000);
            sd_bus_message_unref(call);
        }
        PumpUntil([&] { return refused > 0; }, 5s);
    });
    // The main thread serves its sink while the intruder calls.
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        intruder.join();
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 10s);
    waiter.join();
    EXPECT_EQ(refused, 1) << "exactly the one exported sink refused the stranger";
    EXPECT_EQ(sink.count(), 0u);
    data->DUnadvise(connection);
    data->Release();
}

TEST_F(RemoteObject, ASinkThatPostsQuitEndsTheMessagePumpWithItsCode) {
    IDataObject* data = NewDataObject();
    ASSERT_NE(data, nullptr);
    TestSink sink;
    sink.onPush = [] { PostQuitMessage(7); };
    FORMATETC format = RookFormat();
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&format, ADVF_NODATA, &sink, &connection), S_OK);
    OnInstance([&](ClassServer& server, InstanceId id, ScriptedInstance&) {
        server.Push(id, std::vector<uint8_t>{});
    });
    EXPECT_EQ(RunMessagePump(), 7);
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_TRUE(sink.blocks[0].empty()) << "an empty push is an empty block, not a lost one";
    data->DUnadvise(connection);
    data->Release();
}

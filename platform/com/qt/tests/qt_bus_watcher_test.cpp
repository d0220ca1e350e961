#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "BusEnvironment.h"
#include "ServerThread.h"
#include "TestSink.h"
#include "platform/com/activation.h"
#include "platform/com/qt_bus_watcher.h"

using namespace platform::com;
using namespace platform::com::testing;

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "platform_com_qt_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

class QtLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        const std::string name = UniqueBusName("qt");
        MapClass(kTestClass, name);
        server_ = std::make_unique<ServerThread>(
            name, kTestClass, [this](InstanceId id, const std::string&) {
                auto instance = std::make_unique<ScriptedInstance>();
                instance_ = instance.get();
                id_ = id;
                return instance;
            });
        ASSERT_EQ(server_->started(), S_OK);
        void* factory = nullptr;
        ASSERT_EQ(
            CoGetClassObject(kTestClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &factory),
            S_OK);
        void* object = nullptr;
        static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IDataObject, &object);
        static_cast<IClassFactory*>(factory)->Release();
        data_ = static_cast<IDataObject*>(object);
        ASSERT_NE(data_, nullptr);
        format_.cfFormat = RegisterClipboardFormat("RookObjectClipboardFormat");
        ASSERT_EQ(data_->DAdvise(&format_, ADVF_NODATA, &sink_, &connection_), S_OK);
    }
    void TearDown() override {
        if (data_) {
            data_->DUnadvise(connection_);
            data_->Release();
        }
    }
    // Runs the Qt loop until PostQuitMessage ends it (or a watchdog, which answers -1).
    int Exec() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        watchdog.start(10000);
        return QCoreApplication::exec();
    }

    std::unique_ptr<ServerThread> server_;
    ScriptedInstance* instance_ = nullptr;  // serving thread only
    InstanceId id_ = 0;
    IDataObject* data_ = nullptr;
    TestSink sink_;
    FORMATETC format_;
    DWORD connection_ = 0;
};

}  // namespace

TEST_F(QtLoop, PushesParkedByASynchronousCallInASlotAreDeliveredBeforeTheLoopSleeps) {
    server_->Run([&](ClassServer& server) {
        instance_->beforeGetAnswer = [&server, this] {
            for (uint8_t i = 0; i < 3; ++i) {
                server.Push(id_, std::vector<uint8_t>(496, i));
            }
        };
    });
    QtBusWatcher watcher;
    sink_.onPush = [this] {
        if (sink_.count() == 3) {
            PostQuitMessage(5);
        }
    };
    // The slot's GetData reads the three pushes off the socket before its reply and parks
    // them; nothing on the socket will ever wake the loop for them. The call comes once the
    // loop has settled, so that no earlier wake-up can deliver them by chance.
    QTimer::singleShot(300, [this] {
        STGMEDIUM medium;
        data_->GetData(&format_, &medium);
    });
    EXPECT_EQ(Exec(), 5) << "the parked pushes were stranded";
    ASSERT_EQ(sink_.count(), 3u);
    EXPECT_EQ(sink_.blocks[2], std::vector<uint8_t>(496, 2));
}

TEST_F(QtLoop, PushesWakeTheLoopAndPostQuitMessageEndsIt) {
    QtBusWatcher watcher;
    sink_.onPush = [this] {
        if (sink_.count() == 20) {
            PostQuitMessage(3);
        }
    };
    // A large burst fills the socket, so delivery runs over several wake-ups.
    QTimer::singleShot(0, [this] {
        server_->Run([this](ClassServer& server) {
            for (uint8_t i = 0; i < 20; ++i) {
                server.Push(id_, std::vector<uint8_t>(154560, i));
            }
        });
    });
    EXPECT_EQ(Exec(), 3);
    ASSERT_EQ(sink_.count(), 20u);
    EXPECT_EQ(sink_.blocks[19].size(), 154560u);
    EXPECT_EQ(sink_.threads[0], std::this_thread::get_id());
}

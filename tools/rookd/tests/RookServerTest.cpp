#include <gtest/gtest.h>

#include "BusEnvironment.h"
#include "LoopThread.h"
#include "Registration.h"
#include "RookClient.h"
#include "ServerOnPrivateBus.h"

using namespace rookd;
using namespace rookd::testing;
using platform::com::testing::LoopThread;
using platform::com::testing::PumpUntil;
using platform::com::testing::TestSink;
using platform::com::testing::UniqueBusName;

namespace {

class RookServerOnTheBus : public rookd::testing::ServerOnPrivateBus {};

std::vector<uint8_t> Attach(uint32_t command, size_t size = 16) {
    return MakeBlock(command, size);
}

}  // namespace

TEST_F(RookServerOnTheBus, AMicLineImageReachesAnAttachedAdvisedClientAndGetDataGivesItToo) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(Send(data, Attach(276)), S_OK);
    std::vector<uint8_t> read;
    EXPECT_EQ(Read(data, read), SERVER_E_NO_DATA) << "no image before the console sets one";
    EXPECT_TRUE(read.empty());
    TestSink sink;
    DWORD connection = 0;
    ASSERT_EQ(Advise(data, &sink, &connection), S_OK);

    size_t pushed = 0;
    OnServer([&](RookServer& s) { s.SetMicLine(5, {0, 1, 40, 1}, true, &pushed); });
    EXPECT_EQ(pushed, 1u);
    ASSERT_TRUE(PumpUntil([&] { return sink.count() == 1; }));
    const std::vector<uint8_t>& image = sink.blocks[0];
    ASSERT_EQ(image.size(), 496u);
    EXPECT_EQ(ReadHeader(image)->command, 276u);
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 32, image.begin() + 36),
              (std::vector<uint8_t>{0, 1, 40, 1}));
    EXPECT_EQ(Read(data, read), S_OK);
    EXPECT_EQ(read, image);
    data->DUnadvise(connection);
    data->Release();
}

TEST_F(RookServerOnTheBus, ACloseRequestGoesToClientMonitorsOnlyAndIsNotKeptAsTheirImage) {
    IDataObject* monitor = NewInstance();
    IDataObject* micLine = NewInstance();
    ASSERT_TRUE(monitor && micLine);
    std::vector<uint8_t> attach = Attach(192, 224);
    std::memcpy(attach.data() + 24, "mic", 3);
    ASSERT_EQ(Send(monitor, attach), S_OK);
    ASSERT_EQ(Send(micLine, Attach(276)), S_OK);
    TestSink monitorSink, micSink;
    DWORD c1 = 0, c2 = 0;
    ASSERT_EQ(Advise(monitor, &monitorSink, &c1), S_OK);
    ASSERT_EQ(Advise(micLine, &micSink, &c2), S_OK);

    OnServer([](RookServer& s) { s.PushCloseRequest(2); });
    ASSERT_TRUE(PumpUntil([&] { return monitorSink.count() == 1; }));
    EXPECT_EQ(monitorSink.blocks[0], CloseRequestBlock(2));
    std::vector<uint8_t> read;
    EXPECT_EQ(Read(monitor, read), SERVER_E_NO_DATA);
    PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(micSink.count(), 0u);
    monitor->DUnadvise(c1);
    micLine->DUnadvise(c2);
    monitor->Release();
    micLine->Release();
}

TEST_F(RookServerOnTheBus, NotReadyAndBootingAnswersComeInOrderThenAdviseSucceeds) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(Send(data, Attach(276)), S_OK);
    OnServer([](RookServer& s) {
        s.AnswerNotReady(2);
        s.AnswerBooting(1);
    });
    TestSink sink;
    DWORD connection = 0;
    EXPECT_EQ(Advise(data, &sink, &connection), SERVER_E_NOT_READY);
    EXPECT_EQ(Advise(data, &sink, &connection), SERVER_E_NOT_READY);
    EXPECT_EQ(Advise(data, &sink, &connection), SERVER_E_BOOTING);
    EXPECT_EQ(connection, 0u);
    EXPECT_EQ(Advise(data, &sink, &connection), S_OK);
    EXPECT_NE(connection, 0u);
    data->DUnadvise(connection);
    data->Release();
}

TEST_F(RookServerOnTheBus, EveryWholeBlockIsRecordedUnderItsObjectAndFaultyOnesAreRefused) {
    IDataObject* data = NewInstance();
    ASSERT_NE(data, nullptr);
    const std::vector<uint8_t> early = Attach(180);  // before any attach: not yet an object's
    EXPECT_EQ(Send(data, early), S_OK);
    EXPECT_EQ(Send(data, Attach(276)), S_OK);
    std::vector<uint8_t> shutdown = Attach(204);
    EXPECT_EQ(Send(data, shutdown), S_OK);
    EXPECT_EQ(Send(data, std::vector<uint8_t>(15, 0xFF)), E_INVALIDARG) << "shorter than a header";
    EXPECT_EQ(Send(data, {}), E_INVALIDARG);

    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    FORMATETC foreign = RookFormat();
    foreign.cfFormat = 1;
    STGMEDIUM medium{TYMED_HGLOBAL, h, nullptr};
    EXPECT_EQ(data->SetData(&foreign, &medium, 0), DV_E_FORMATETC);
    GlobalFree(h);

    OnServer([&](RookServer& s) {
        const auto mic = s.Commands("MicLineRook");
        ASSERT_EQ(mic.size(), 2u);
        EXPECT_EQ(mic[0].command, 276u);
        EXPECT_EQ(mic[1].block, shutdown);
        const auto all = s.Commands("");
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[0].block, early);
        EXPECT_EQ(all[0].object, "");
        EXPECT_LT(all[0].sequence, all[1].sequence);
    });
    data->Release();
    ASSERT_TRUE(PumpUntil([&] {
        bool bound = true;
        OnServer(
            [&](RookServer& s) { bound = !s.Objects().empty() && s.Objects()[0].instances != 0; });
        return !bound;
    })) << "a released instance no longer counts for its object";
}

// CSerialPort against a pty whose other end the test plays, and against failing system calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "mic/core/SerialPort.h"

#if __has_include(<platform/registry.h>)
#include <platform/registry.h>
#define HAVE_REGISTRY 1
#endif

using namespace mic;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// The far end of the line: the master side of a pty.
struct FarEnd {
    int fd = -1;
    std::string path;
    FarEnd() {
        int slave = -1;
        char name[256];
        if (openpty(&fd, &slave, name, nullptr, nullptr) == 0) {
            path = name;
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            // Keep the slave open so that the port's closing and reopening is no hang-up.
            keep = slave;
        }
    }
    ~FarEnd() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        if (keep >= 0)
            ::close(keep);
        fd = keep = -1;
    }
    void Write(const Bytes& b) { ASSERT_EQ(::write(fd, b.data(), b.size()), (ssize_t)b.size()); }
    Bytes Read(size_t count, std::chrono::milliseconds wait = 5000ms) {
        Bytes got;
        auto deadline = std::chrono::steady_clock::now() + wait;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 10);
            uint8_t buf[256];
            ssize_t n = ::read(fd, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    int keep = -1;
};

// Records each hand-over, as the protocol engine would see it.
struct RecordingSink : ReplySink {
    ReplyState* reply = nullptr;
    std::mutex mu;
    std::condition_variable cv;
    struct Seen {
        uint32_t port;
        uint32_t mode;
        uint32_t count;
        Bytes buffer;
        uint32_t transaction;
    };
    std::vector<Seen> seen;
    std::function<void()> during;
    void OnReplyReady(uint32_t port, const uint8_t* buf, uint32_t transaction) override {
        Seen s{port, reply->replyMode, reply->replyCount, {}, transaction};
        for (uint32_t i = 0; i < std::min<uint32_t>(s.count, kReplyBufferSize); ++i)
            s.buffer.push_back(reply->replyBuffer[i]);
        if (s.count == 0)
            s.buffer.push_back(buf[0]);
        if (during)
            during();
        std::lock_guard lock(mu);
        seen.push_back(std::move(s));
        cv.notify_all();
    }
    bool WaitFor(size_t n, std::chrono::milliseconds wait = 5000ms) {
        std::unique_lock lock(mu);
        return cv.wait_for(lock, wait, [&] { return seen.size() >= n; });
    }
    size_t Count() {
        std::lock_guard lock(mu);
        return seen.size();
    }
};

struct Boxes {
    std::mutex mu;
    std::vector<std::pair<std::string, std::string>> shown;
    SerialNotifier Notifier() {
        return [this](const std::string& text, const std::string& title) {
            std::lock_guard lock(mu);
            shown.emplace_back(text, title);
        };
    }
    size_t Count() {
        std::lock_guard lock(mu);
        return shown.size();
    }
    std::string Text(size_t i) {
        std::lock_guard lock(mu);
        return i < shown.size() ? shown[i].first : std::string();
    }
};

// Real calls, with the failures a test asks for.
struct Faults : platform::serial::PosixSysCalls {
    std::atomic<int> tcgetattrError{0};
    std::atomic<int> tcsetattrError{0};
    std::atomic<int> writeError{0};
    std::atomic<int> tcflushError{0};
    std::atomic<bool> answerProbe{false};
    std::atomic<int> polls{0};
    std::atomic<bool> probeWritten{false};
    int tcgetattr(int fd, termios* t) override {
        if (tcgetattrError)
            return errno = tcgetattrError, -1;
        return PosixSysCalls::tcgetattr(fd, t);
    }
    int tcsetattr(int fd, int when, const termios* t) override {
        if (tcsetattrError)
            return errno = tcsetattrError, -1;
        return PosixSysCalls::tcsetattr(fd, when, t);
    }
    int tcflush(int fd, int queue) override {
        if (tcflushError)
            return errno = tcflushError, -1;
        return PosixSysCalls::tcflush(fd, queue);
    }
    ssize_t write(int fd, const void* buf, size_t n) override {
        if (n == 1 && *static_cast<const uint8_t*>(buf) == kProbeByte)
            probeWritten = true;
        if (writeError)
            return errno = writeError, -1;
        return PosixSysCalls::write(fd, buf, n);
    }
    ssize_t read(int fd, void* buf, size_t n) override {
        if (answerProbe && probeWritten.exchange(false)) {
            *static_cast<uint8_t*>(buf) = kProbeByte;
            return 1;
        }
        return PosixSysCalls::read(fd, buf, n);
    }
    int poll(pollfd* fds, nfds_t n, int timeout) override {
        ++polls;
        return PosixSysCalls::poll(fds, n, timeout);
    }
};

class SerialPortOnPty : public ::testing::Test {
  protected:
    FarEnd far;
    ReplyState reply;
    RecordingSink sink;
    Boxes boxes;
    Faults faults;  // outlives the port that may use it
    std::unique_ptr<CSerialPort> port;

    void SetUp() override {
        ASSERT_GE(far.fd, 0);
        sink.reply = &reply;
        MakePort(platform::serial::systemCalls());
    }
    void MakePort(platform::serial::SysCalls& sys) {
        port = std::make_unique<CSerialPort>(reply, sys);
        port->SetNotifier(boxes.Notifier());
        port->SetDeviceResolver([this](uint32_t) { return far.path; });
    }
    void OpenAndStart() {
        ASSERT_TRUE(port->OpenPort(&sink, 3));
        EXPECT_EQ(far.Read(1), Bytes{kProbeByte}) << "the probe goes out";
        ASSERT_TRUE(port->StartReader());
    }
    void Send(const Bytes& frame, uint32_t mode) {
        reply.replyMode = mode;
        reply.awaiting = kAwaitingReply;
        Bytes msg = frame;
        msg.push_back(0xFF);
        port->SendCommand(msg.data());
    }
};

}  // namespace

TEST_F(SerialPortOnPty, HandsOverAnAnswerAfterConsumingTheEcho) {
    OpenAndStart();
    EXPECT_TRUE(port->IsOpen());
    reply.transaction = 41;
    Send({0x81, 0x01}, kReplySingleByte);
    ASSERT_EQ(far.Read(2), (Bytes{0x81, 0x01})) << "the 0xFF terminator is not sent";
    far.Write({0x81, 0x01, 0x06});
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.seen[0].port, 3u);
    EXPECT_EQ(sink.seen[0].mode, kReplyNothing);
    EXPECT_EQ(sink.seen[0].buffer[0], 0x06);
    EXPECT_EQ(sink.seen[0].transaction, 41u) << "the answer is handed over as its frame's";
    EXPECT_EQ(reply.awaiting, kIdle);
}

TEST_F(SerialPortOnPty, WaitsForASlowEchoSoThatItsPayloadIsNotTakenForTheAnswer) {
    OpenAndStart();
    // Set channel 4: its channel byte is 0x04, the ACK byte. The echo trickles back byte by
    // byte as it would at the baud rate, and the rack refuses the frame.
    Bytes frame = {0x81, 0x11, 0x04, 0x43, 0x7F, 0x46};
    Send(frame, kReplySingleByte);
    ASSERT_EQ(far.Read(frame.size()), frame);
    for (uint8_t b : frame) {
        far.Write({b});
        std::this_thread::sleep_for(2ms);
    }
    far.Write({0x05});
    ASSERT_TRUE(sink.WaitFor(1));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.seen[0].mode, kReplySingleByte) << "NACK, not an ACK made of the echo";
}

TEST_F(SerialPortOnPty, DoesNotLetALeftoverByteAnswerTheNextCommand) {
    OpenAndStart();
    int handOvers = 0;
    // Like the protocol engine, the owner prepares its next command inside the hand-over.
    sink.during = [&] {
        if (++handOvers == 1)
            Send({0x82, 0x01}, kReplySingleByte);
    };
    Send({0x81, 0x01}, kReplySingleByte);
    ASSERT_EQ(far.Read(2), (Bytes{0x81, 0x01}));
    far.Write({0x81, 0x01, 0x04, 0x04});  // a doubled ACK: the second one is stale
    ASSERT_EQ(far.Read(2), (Bytes{0x82, 0x01}));
    far.Write({0x82, 0x01, 0x05});
    ASSERT_TRUE(sink.WaitFor(2));
    EXPECT_EQ(sink.seen[0].mode, kReplyNothing) << "first poll: ACK";
    EXPECT_EQ(sink.seen[1].mode, kReplySingleByte)
        << "second poll: its own NACK, not the stale ACK";
}

// A stray ACK reaches the driver while the owner's step is still busy; the send that follows
// must not leave it to be taken for the answer to the new command, whether the purge works or
// fails and the bytes have to be read away.
TEST_F(SerialPortOnPty, DiscardsBytesThatArrivedWhileTheOwnerTookItsTimeToSendAgain) {
    MakePort(faults);
    for (bool purgeFails : {false, true}) {
        SCOPED_TRACE(purgeFails ? "purge fails" : "purge works");
        faults.tcflushError = 0;
        sink.seen.clear();
        OpenAndStart();
        faults.tcflushError = purgeFails ? EIO : 0;
        int handOvers = 0;
        sink.during = [&] {
            if (++handOvers == 1) {
                far.Write({0x04, 0x04, 0x04});
                std::this_thread::sleep_for(5ms);
                Send({0x82, 0x01}, kReplySingleByte);
            }
        };
        Send({0x81, 0x01}, kReplySingleByte);
        ASSERT_EQ(far.Read(2), (Bytes{0x81, 0x01}));
        far.Write({0x81, 0x01, 0x04});
        ASSERT_EQ(far.Read(2), (Bytes{0x82, 0x01}));
        far.Write({0x82, 0x01, 0x05});
        ASSERT_TRUE(sink.WaitFor(2));
        EXPECT_EQ(sink.seen[1].mode, kReplySingleByte) << "its own NACK, not a stray ACK";
        sink.during = nullptr;
        port->StopReader();
    }
}

TEST_F(SerialPortOnPty, GivesUpOnAnEchoThatStopsComingAndHearsTheAnswerAfterIt) {
    OpenAndStart();
    Bytes frame = {0x81, 0x11, 0x02, 0x43, 0x7F, 0x44};
    Send(frame, kReplySingleByte);
    ASSERT_EQ(far.Read(frame.size()), frame);
    far.Write({0x81, 0x11});  // the rest of the echo is lost on the line
    std::this_thread::sleep_for(300ms);
    far.Write({0x04});
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.seen[0].mode, kReplyNothing) << "the ACK after the broken echo counts";
}

TEST_F(SerialPortOnPty, AssemblesADataBlockThatArrivesInPieces) {
    OpenAndStart();
    Send({0x82, 0x14}, kReplyDataBlock);
    ASSERT_EQ(far.Read(2).size(), 2u);
    Bytes block(37);
    for (int i = 0; i < 37; ++i)
        block[i] = static_cast<uint8_t>(i + 1);
    far.Write({0x82, 0x14});
    far.Write(Bytes(block.begin(), block.begin() + 10));
    std::this_thread::sleep_for(5ms);
    far.Write(Bytes(block.begin() + 10, block.end()));
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.seen[0].count, 37u);
    EXPECT_EQ(sink.seen[0].buffer, block);
}

TEST_F(SerialPortOnPty, TakesAtMostWhatTheSendBufferHolds) {
    OpenAndStart();
    reply.replyMode = kReplyNothing;
    Bytes longest(127, 0x22);
    longest[0] = 0x81;
    longest.push_back(0xFF);
    port->SendCommand(longest.data());
    EXPECT_EQ(reply.echoLength, 127);
    EXPECT_EQ(far.Read(127).size(), 127u);

    // No terminator within reach: the copy stops at the buffer, never beyond it.
    Bytes unterminated(300, 0x33);
    port->SendCommand(unterminated.data());
    EXPECT_EQ(reply.echoLength, 127);
    EXPECT_EQ(far.Read(200, 300ms).size(), 127u);
}

TEST_F(SerialPortOnPty, StopsAndReopensCleanly) {
    EXPECT_FALSE(port->StopReader()) << "no reader yet";
    OpenAndStart();
    EXPECT_TRUE(port->StopReader());
    EXPECT_FALSE(port->ReaderAlive());
    EXPECT_FALSE(port->StopReader());
    // Opening again while a reader runs stops it first.
    ASSERT_TRUE(port->OpenPort(&sink, 3));
    ASSERT_TRUE(port->StartReader());
    ASSERT_TRUE(port->OpenPort(&sink, 4));
    EXPECT_EQ(port->PortNumber(), 4u);
    ASSERT_TRUE(port->StartReader());
    Send({0x81, 0x01}, kReplySingleByte);
    far.Read(4);  // the probes and the frame
    far.Write({0x81, 0x01, 0x04});
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.seen[0].port, 4u);
}

TEST_F(SerialPortOnPty, CanBeStoppedFromInsideTheHandOver) {
    OpenAndStart();
    std::atomic<bool> stopped{false};
    sink.during = [&] { stopped = port->StopReader(); };
    Send({0x81, 0x01}, kReplySingleByte);
    far.Read(2);
    far.Write({0x81, 0x01, 0x04});
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_TRUE(stopped);
    for (int i = 0; i < 500 && port->ReaderAlive(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(port->ReaderAlive());
}

TEST_F(SerialPortOnPty, ReopensWithoutWaitingForAHandOverThatWaitsForTheMainThread) {
    OpenAndStart();
    // The owner's step runs on a main thread, which is busy reopening the port: the reader
    // cannot finish its hand-over until the reopen is done.
    std::mutex gateMu;
    std::condition_variable gateCv;
    bool open = false;
    std::atomic<int> handOvers{0};
    sink.during = [&] {
        if (++handOvers == 1) {
            std::unique_lock lock(gateMu);
            gateCv.wait(lock, [&] { return open; });
        }
    };
    Send({0x81, 0x01}, kReplySingleByte);
    far.Read(2);
    far.Write({0x81, 0x01, 0x04});
    for (int i = 0; i < 500 && handOvers == 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(handOvers, 1);

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(port->OpenPort(&sink, 3));  // the same device again
    ASSERT_TRUE(port->StartReader());
    // Generous: waiting for the stuck reader would take its full stop time (seconds).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    {
        std::lock_guard lock(gateMu);
        open = true;
    }
    gateCv.notify_all();

    // The new reader, not the old one, gets the next answer.
    far.Read(1);  // the new probe
    Send({0x81, 0x01}, kReplySingleByte);
    ASSERT_EQ(far.Read(2), (Bytes{0x81, 0x01}));
    far.Write({0x81, 0x01, 0x06});
    ASSERT_TRUE(sink.WaitFor(2));
    // The released old hand-over and the new one record in either order.
    std::lock_guard lock(sink.mu);
    EXPECT_TRUE(std::any_of(sink.seen.begin(), sink.seen.end(),
                            [](const auto& s) { return s.buffer[0] == 0x06; }));
}

TEST_F(SerialPortOnPty, ReportsAVanishedDeviceOnceAndCanBeOpenedAgain) {
    OpenAndStart();
    far.Close();
    for (int i = 0; i < 500 && boxes.Count() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    // Sends after the loss are not reported again, and the reader does not spin on the hang-up.
    for (int i = 0; i < 5; ++i) {
        Send({0x81, 0x01}, kReplySingleByte);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Text(0).find("ReadFile()"), std::string::npos) << boxes.Text(0);
    EXPECT_TRUE(port->LineLost());
    EXPECT_FALSE(port->IsOpen());

    FarEnd replacement;
    port->SetDeviceResolver([&](uint32_t) { return replacement.path; });
    ASSERT_TRUE(port->OpenPort(&sink, 3));
    ASSERT_TRUE(port->StartReader());
    EXPECT_TRUE(port->IsOpen());
    Send({0x81, 0x01}, kReplySingleByte);
    replacement.Read(3);
    replacement.Write({0x81, 0x01, 0x04});
    EXPECT_TRUE(sink.WaitFor(1));
}

TEST_F(SerialPortOnPty, DoesNotOpenWhatIsNotThere) {
    port->SetDeviceResolver([](uint32_t) { return std::string("/nonexistent/ttyS0"); });
    EXPECT_FALSE(port->OpenPort(&sink, 1));
    EXPECT_FALSE(port->StartReader());
    EXPECT_EQ(boxes.Count(), 0u) << "the owner shows the Port Error dialog, not the port";
}

TEST_F(SerialPortOnPty, ReportsTheFirstFailingConfigurationStepAndStillOpens) {
    MakePort(faults);
    faults.tcgetattrError = EIO;
    faults.tcsetattrError = EIO;
    EXPECT_TRUE(port->OpenPort(&sink, 3));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Text(0),
              "WARNING:  GetCommState() Failed with the following error: \n"
              "Input/output error\nPort: 3\n");
    EXPECT_EQ(boxes.shown[0].second, "Application Error");

    faults.tcgetattrError = 0;
    EXPECT_TRUE(port->OpenPort(&sink, 3));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_NE(boxes.Text(1).find("SetCommState()"), std::string::npos);

    faults.tcsetattrError = 0;
    EXPECT_TRUE(port->OpenPort(&sink, 3, 12345));
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_NE(boxes.Text(2).find("BuildCommDCB()"), std::string::npos);
}

TEST_F(SerialPortOnPty, RefusesALineThatAnswersTheProbe) {
    MakePort(faults);
    faults.answerProbe = true;
    EXPECT_FALSE(port->OpenPort(&sink, 2));
    faults.answerProbe = false;
    EXPECT_TRUE(port->OpenPort(&sink, 2));
}

TEST_F(SerialPortOnPty, ReportsEachWriteFailureButALostDeviceOnlyOnce) {
    MakePort(faults);
    OpenAndStart();
    faults.writeError = ENOSPC;
    Send({0x81, 0x01}, kReplyNothing);
    Send({0x81, 0x01}, kReplyNothing);
    for (int i = 0; i < 500 && boxes.Count() < 1; ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(50ms);
    size_t afterSoftErrors = boxes.Count();
    EXPECT_GE(afterSoftErrors, 1u);
    EXPECT_NE(boxes.Text(0).find("WriteFile()"), std::string::npos);

    faults.writeError = EIO;
    for (int i = 0; i < 5; ++i) {
        Send({0x81, 0x01}, kReplyNothing);
        std::this_thread::sleep_for(10ms);
    }
    for (int i = 0; i < 500 && !port->LineLost(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(port->LineLost());
    EXPECT_EQ(boxes.Count(), afterSoftErrors + 1);
    int polls = faults.polls;
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(faults.polls - polls, 20) << "an idle lost line does not wake the reader";
}

#ifdef HAVE_REGISTRY
TEST(SerialDevicePaths, ComeFromTheMachineHiveWithTtySDefaults) {
    auto dir =
        std::filesystem::temp_directory_path() / ("serial-hive-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("KESTANE_REGISTRY_DIR", dir.c_str(), 1);
    platform::registry::resetForTests();
    EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(SerialDevicePath(5), "") << "5 is no port";
    EXPECT_FALSE(SerialPortWantsRs485(1));

    platform::registry::Key key;
    ASSERT_EQ(platform::registry::Key::root(platform::registry::Hive::LocalMachine)
                  .create(kSerialPortsKey, key),
              platform::registry::Status::Ok);
    ASSERT_EQ(platform::registry::setString(key, "COM2", "/dev/ttyUSB0"),
              platform::registry::Status::Ok);
    ASSERT_EQ(platform::registry::setDword(key, "COM2 RS485", 1), platform::registry::Status::Ok);
    ASSERT_EQ(platform::registry::setDword(key, "COM3", 7), platform::registry::Status::Ok);
    EXPECT_EQ(SerialDevicePath(2), "/dev/ttyUSB0");
    EXPECT_TRUE(SerialPortWantsRs485(2));
    EXPECT_EQ(SerialDevicePath(3), "/dev/ttyS2") << "a value of the wrong type is ignored";

    platform::registry::resetForTests();
    ::unsetenv("KESTANE_REGISTRY_DIR");
    std::filesystem::remove_all(dir);
}
#endif

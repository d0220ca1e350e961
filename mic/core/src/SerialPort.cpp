// CSerialPort: opening policy of the device, the reader thread, command sending and the
// synchronous reply hand-over. Reply assembly itself is in SerialPortAssembly.cpp.
#include "mic/core/SerialPort.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/serial/EventFd.h"
#include "platform/serial/SerialDevice.h"

namespace mic {

namespace {

using platform::serial::EventFd;
using platform::serial::isDeviceLost;
using platform::serial::SerialDevice;
using Clock = std::chrono::steady_clock;

constexpr const char* kErrorTitle = "Application Error";
// The echo of a frame follows its first byte at the line's pace (about 0.5 ms a byte). It is
// waited for, not merely polled for: an echo byte read late would otherwise be taken for the
// rack's answer (a set-channel frame for channel 4 carries a 0x04 = ACK). This is the longest
// gap allowed between two echo bytes.
constexpr int kEchoWaitMs = 50;
constexpr int kEchoMaxReads = 255;
// Write time-out, as the line's write total constant.
constexpr int kWriteTimeoutMs = 1000;
// How long StopReader waits for the reader to end before leaving it to end on its own.
constexpr int kStopWaitMs = 2000;
// Input draining stops after this many bytes, so a chattering line cannot hold a send back.
constexpr size_t kDrainLimit = 4096;
// A send that follows a read which emptied the input queue within this time skips the purge:
// the queue is known to be empty but for what arrived since, and that is less than a fifth of a
// byte's time at 19200 baud (the window between a purge and the write is of the same kind).
// The purge is one of the four system calls of a transaction with a zero-delay far end.
constexpr auto kFreshlyEmptied = std::chrono::microseconds(100);

}  // namespace

struct CSerialPort::Line {
    Line(ReplyState& reply, platform::serial::SysCalls& sys, ReplySink* owner, uint32_t port)
        : device(sys), assembler(reply), owner(owner), portNumber(port) {}

    SerialDevice device;
    EventFd shutdown;
    EventFd send;
    std::mutex lock;  // the port lock: one device operation at a time
    std::atomic<bool> alive{false};
    std::atomic<bool> lost{false};
    // A command is prepared and not yet written: whatever arrives now answers an older one.
    std::atomic<bool> sendPending{false};
    std::atomic<bool> stopping{false};    // StopReader asked this reader to end
    std::atomic<bool> inHandOver{false};  // the reader waits for the owner's transaction step
    std::thread thread;
    std::atomic<std::thread::id> readerId{};
    CReplyAssembler assembler;
    ReplySink* const owner;
    const uint32_t portNumber;
    bool watchInput = true;

    // Reader thread only: bytes read from the device and not yet processed.
    uint8_t in[256];
    size_t inPos = 0;
    size_t inLen = 0;
    bool lastReadFull = false;
    Clock::time_point emptiedAt{};  // when a read last left the input queue empty
};

std::string CSerialPort::ErrorText(std::string_view step, int error, uint32_t portNumber) {
    std::string text = "WARNING:  ";
    text += step;
    text += " Failed with the following error: \n";
    text += std::strerror(error);
    text += "\nPort: ";
    text += std::to_string(portNumber);
    text += "\n";
    return text;
}

CSerialPort::CSerialPort(ReplyState& reply, platform::serial::SysCalls& sys)
    : reply_(reply),
      sys_(sys),
      notifier_([](const std::string& text, const std::string& title) {
          std::fprintf(stderr, "%s: %s", title.c_str(), text.c_str());
      }),
      resolver_(SerialDevicePath) {}

CSerialPort::~CSerialPort() {
    auto finish = [](const std::shared_ptr<Line>& line) {
        if (!line) {
            return;
        }
        line->shutdown.signal();
        if (line->thread.joinable()) {
            line->thread.join();
        }
    };
    finish(line_);
    for (auto& line : retired_) {
        finish(line);
    }
}

void CSerialPort::SetNotifier(SerialNotifier notifier) {
    notifier_ = std::move(notifier);
}

void CSerialPort::SetDeviceResolver(std::function<std::string(uint32_t)> resolver) {
    resolver_ = std::move(resolver);
}

void CSerialPort::SetRs485(bool on) {
    rs485_ = on ? 1 : 0;
}

bool CSerialPort::ReaderAlive() const {
    return line_ && line_->alive.load();
}

bool CSerialPort::LineLost() const {
    return line_ && line_->lost.load();
}

bool CSerialPort::IsOpen() const {
    return line_ && line_->device.isOpen() && line_->alive.load() && !line_->lost.load();
}

void CSerialPort::Report(std::string_view step, int error, uint32_t portNumber) {
    if (notifier_) {
        notifier_(ErrorText(step, error, portNumber), kErrorTitle);
    }
}

void CSerialPort::LineGone(Line& line, std::string_view step, int error) {
    // A vanished device (USB adapter pulled, hang-up) would report on every byte and every
    // send: say it once, stop watching the device, keep everything else as it is. Opening
    // the port again starts afresh.
    if (!line.lost.exchange(true)) {
        Report(step, error != 0 ? error : EIO, line.portNumber);
    }
}

void CSerialPort::JoinFinished() {
    std::erase_if(retired_, [](const std::shared_ptr<Line>& line) {
        if (line->alive.load()) {
            return false;
        }
        if (line->thread.joinable()) {
            line->thread.join();
        }
        return true;
    });
}

bool CSerialPort::OpenPort(ReplySink* owner, uint32_t portNumber, uint32_t baudRate, char parity,
                           uint32_t dataBits, uint32_t stopBits, uint32_t eventMask,
                           uint32_t sendBufferSize) {
    reply_.replyCount.store(0);
    // A running reader is stopped first. It must really have ended before its device is closed
    // (a descriptor closed under a thread still polling it can be reused by any other open);
    // one that is stuck in a hand-over is set aside and joined once it has ended.
    if (line_) {
        StopReader();
        if (line_->alive.load()) {
            // Its descriptor stays open until the reader has ended; let the path be opened
            // again meanwhile.
            std::lock_guard lock(line_->lock);
            line_->device.releaseExclusive();
            retired_.push_back(std::move(line_));
        }
        line_.reset();
    }
    JoinFinished();

    portNumber_.store(portNumber);
    {
        std::lock_guard lock(sendLock_);
        sendBuffer_.assign(std::max<uint32_t>(sendBufferSize, 2), 0);
    }

    auto line = std::make_shared<Line>(reply_, sys_, owner, portNumber);
    if (!line->shutdown.valid() || !line->send.valid()) {
        return false;
    }
    line->watchInput = (eventMask & kEventRxChar) != 0;
    line->device.setNoticeHandler([port = portNumber](std::string_view text) {
        std::fprintf(stderr, "serial COM%u: %.*s\n", port, static_cast<int>(text.size()),
                     text.data());
    });

    std::lock_guard lock(line->lock);
    devicePath_ = resolver_ ? resolver_(portNumber) : std::string();
    if (devicePath_.empty() || line->device.open(devicePath_) != 0) {
        return false;  // the owner shows the "Port Error" dialog
    }
    line_ = line;
    SerialDevice& dev = line->device;

    // Configuration: the first failing step is reported and the later ones are skipped; the
    // port stays open and the probe alone decides the result.
    char settingsText[64];
    std::snprintf(settingsText, sizeof settingsText, "baud=%u parity=%c data=%u stop=%u", baudRate,
                  parity, dataBits, stopBits);
    termios attrs{};
    if (int e = dev.getAttributes(attrs); e != 0) {
        Report("GetCommState()", e, portNumber);
    } else {
        platform::serial::LineSettings settings;
        int built = platform::serial::parseLineSettings(settingsText, settings)
                        ? platform::serial::buildAttributes(settings, attrs)
                        : EINVAL;
        if (built != 0) {
            Report("BuildCommDCB()", built, portNumber);
        } else if (int s = dev.setAttributes(attrs); s != 0) {
            Report("SetCommState()", s, portNumber);
        }
    }
    // RTS is held low except while a command and its echo are on the line.
    dev.setRts(false);
    if (rs485_ == 1 || (rs485_ < 0 && SerialPortWantsRs485(portNumber))) {
        if (int e = dev.setRs485(true); e != 0) {
            Report("RS-485 mode", e, portNumber);
        }
    }
    dev.purge();

    // Probe: a byte written with the line driver off must not come back. Something that
    // answers it is not our line (a modem, a loop-back plug).
    const uint8_t probe = kProbeByte;
    dev.writeAll(&probe, 1, kWriteTimeoutMs);
    uint8_t answer = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    dev.read(&answer, 1);
    return answer == 0;
}

bool CSerialPort::StartReader() {
    JoinFinished();
    if (!line_ || !line_->device.isOpen() || line_->alive.load()) {
        return false;
    }
    if (line_->thread.joinable()) {
        line_->thread.join();
    }
    line_->alive.store(true);
    try {
        line_->thread = std::thread(&CSerialPort::ReaderMain, this, line_);
    } catch (const std::system_error&) {
        line_->alive.store(false);
        return false;
    }
    return true;
}

bool CSerialPort::StopReader() {
    JoinFinished();
    if (!line_ || !line_->alive.load()) {
        return false;
    }
    line_->stopping.store(true);
    line_->shutdown.signal();
    if (line_->readerId.load() == std::this_thread::get_id()) {
        return true;  // asked from inside the hand-over: the reader ends when it returns
    }
    // A reader inside a hand-over most likely waits for this very thread to run the step; it
    // is not waited for (it ends by itself once the hand-over returns, and is joined later).
    auto deadline = Clock::now() + std::chrono::milliseconds(kStopWaitMs);
    while (line_->alive.load() && !line_->inHandOver.load() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!line_->alive.load() && line_->thread.joinable()) {
        line_->thread.join();
    }
    return true;
}

void CSerialPort::SendCommand(const uint8_t* message) {
    {
        std::lock_guard lock(sendLock_);
        if (sendBuffer_.empty()) {
            return;  // never opened
        }
        std::fill(sendBuffer_.begin(), sendBuffer_.end(), 0);
        // At most capacity - 1 bytes are taken, so the terminator always fits and a message
        // without one cannot run the copy past either buffer.
        const size_t limit = sendBuffer_.size() - 1;
        size_t n = 0;
        while (n < limit && message[n] != 0xFF) {
            sendBuffer_[n] = message[n];
            ++n;
        }
        sendBuffer_[n] = 0xFF;
        reply_.echoLength.store(static_cast<int32_t>(n));
        reply_.replyCount.store(0);
        reply_.replyBuffer[0].store(0);
    }
    if (line_) {
        line_->sendPending.store(true);
        // A command prepared during a hand-over (the usual case: the owner's transaction step
        // sends the next frame) is seen by the reader as soon as the hand-over returns; only a
        // command from elsewhere (a time-out) has to wake it.
        if (!line_->inHandOver.load()) {
            line_->send.signal();
        }
    }
}

void CSerialPort::ReaderMain(std::shared_ptr<Line> linePtr) {
    Line& line = *linePtr;
    line.readerId.store(std::this_thread::get_id());
    // The reader should win against the window for the CPU: the line waits for nobody.
    // Raising priority needs privileges; without them it runs at normal priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
    {
        std::lock_guard lock(line.lock);
        line.device.purge();
    }
    while (!line.stopping.load()) {
        if (line.sendPending.load()) {
            ServeSend(line, false);
            continue;
        }
        const bool watch = line.watchInput && !line.lost.load();
        pollfd fds[3] = {
            {line.shutdown.fd(), POLLIN, 0},
            {watch ? line.device.fd() : -1, POLLIN, 0},
            {line.send.fd(), POLLIN, 0},
        };
        int r = sys_.poll(fds, 3, -1);
        if (r < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            char step[48];
            std::snprintf(step, sizeof step, "Unexpected Error = #%d !!", error);
            Report(step, error, line.portNumber);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (fds[0].revents & POLLIN) {
            break;
        }
        if (fds[1].revents != 0) {
            if (fds[1].revents & POLLIN) {
                ServeInput(line);
            }
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                ServeInput(line);  // whatever arrived before the hang-up
                LineGone(line, "ReadFile()", (fds[1].revents & POLLNVAL) ? EBADF : EIO);
            }
            continue;
        }
        if (fds[2].revents & POLLIN) {
            ServeSend(line, true);
        }
    }
    line.alive.store(false);
}

bool CSerialPort::ReadDevice(Line& line) {
    platform::serial::ReadResult r;
    {
        std::lock_guard lock(line.lock);
        r = line.device.read(line.in, sizeof line.in);
    }
    line.inPos = line.inLen = 0;
    if (r.error != 0) {
        if (isDeviceLost(r.error)) {
            LineGone(line, "ReadFile()", r.error);
        } else {
            Report("ReadFile()", r.error, line.portNumber);
        }
        return false;
    }
    line.inLen = r.count;
    line.lastReadFull = r.count == sizeof line.in;
    if (!line.lastReadFull) {
        line.emptiedAt = Clock::now();
    }
    return true;
}

bool CSerialPort::NextByte(Line& line, uint8_t& byte, bool mayRead) {
    if (line.inPos < line.inLen) {
        byte = line.in[line.inPos++];
        return true;
    }
    if (!mayRead || line.lost.load() || !ReadDevice(line) || line.inLen == 0) {
        return false;
    }
    byte = line.in[line.inPos++];
    return true;
}

void CSerialPort::ConsumeEcho(Line& line, int reads) {
    // The limit is on the gap between echo bytes, not on the whole echo: a long frame at the
    // baud rate, or a busy machine between the bytes of a pty, still has its echo consumed.
    auto deadline = Clock::now() + std::chrono::milliseconds(kEchoWaitMs);
    int consumed = 0;
    int attempts = 0;
    while (consumed < reads && attempts < kEchoMaxReads) {
        uint8_t scratch;
        ++attempts;
        if (NextByte(line, scratch, true)) {
            ++consumed;
            deadline = Clock::now() + std::chrono::milliseconds(kEchoWaitMs);
            continue;
        }
        if (line.lost.load()) {
            return;
        }
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        line.device.waitReadable(static_cast<int>(left));
    }
}

void CSerialPort::ServeInput(Line& line) {
    uint8_t byte;
    // One read takes what is waiting; another is made only when it filled the buffer (a read
    // that returns less has emptied the queue, and poll() reports what comes later).
    bool first = true;
    while (NextByte(line, byte, first || line.lastReadFull)) {
        first = false;
        // Bytes still queued when the owner has already prepared its next command (typically
        // from inside the hand-over) cannot be that command's answer, yet in its reply mode a
        // stray 0x04 would complete it before it is even written. They are left to the send,
        // which discards everything that is waiting.
        if (line.sendPending.load()) {
            line.inPos = line.inLen;
            return;
        }
        ByteAction action = line.assembler.Process(byte);
        if (action == ByteAction::Echo) {
            ConsumeEcho(line, line.assembler.EchoReads());
            {
                std::lock_guard lock(line.lock);
                line.device.setRts(false);
            }
            line.assembler.EchoDone();
        } else if (action == ByteAction::Complete) {
            // A reader that is being stopped hands nothing over: the main thread may be
            // waiting for it to end.
            if (line.owner != nullptr && !line.stopping.load()) {
                line.inHandOver.store(true);
                line.owner->OnReplyReady(
                    line.portNumber, reinterpret_cast<const uint8_t*>(reply_.replyBuffer.data()),
                    line.assembler.Transaction());
                line.inHandOver.store(false);
            }
            if (line.stopping.load()) {
                return;  // a reopened port may own the device now: read nothing more
            }
        }
    }
}

void CSerialPort::ServeSend(Line& line, bool signalled) {
    if (signalled) {
        line.send.reset();
    }
    if (!line.sendPending.exchange(false)) {
        return;  // already sent, when the command was seen before its wake-up
    }
    if (line.lost.load()) {
        return;  // already reported; the protocol's time-outs take the racks off line
    }
    // Input draining: whatever is waiting now is stale (an answer that came too late, noise).
    // The purge below discards it in the driver; read it away only if the purge fails. Right
    // after a read that emptied the queue (the next command prepared inside the hand-over)
    // there is nothing to discard.
    line.inPos = line.inLen = 0;
    const bool freshlyEmptied = Clock::now() - line.emptiedAt < kFreshlyEmptied;
    int purged = 0;
    {
        std::lock_guard lock(line.lock);
        line.device.setRts(true);
        if (!freshlyEmptied) {
            purged = line.device.purge();
        }
    }
    for (size_t drained = 0; purged != 0 && drained < kDrainLimit; drained += line.inLen) {
        if (!ReadDevice(line)) {
            if (line.lost.load()) {
                return;
            }
            break;
        }
        if (line.inLen == 0) {
            break;
        }
    }
    line.inPos = line.inLen = 0;

    uint8_t frame[256];
    size_t length = 0;
    {
        std::lock_guard lock(sendLock_);
        while (length < sendBuffer_.size() && length < sizeof frame &&
               sendBuffer_[length] != 0xFF) {
            frame[length] = sendBuffer_[length];
            ++length;
        }
    }
    int error;
    {
        std::lock_guard lock(line.lock);
        error = line.device.writeAll(frame, length, kWriteTimeoutMs);
    }
    // RTS stays up: reply assembly lowers it when the echo is back.
    if (error != 0) {
        if (isDeviceLost(error)) {
            LineGone(line, "WriteFile()", error);
        } else {
            Report("WriteFile()", error, line.portNumber);
        }
    }
}

bool CSerialPortControl::OpenAndStart(uint32_t portNumber) {
    if (!port_.OpenPort(&owner_, portNumber, 19200, 'N', 8, 1, kOwnerEventMask,
                        kOwnerSendBufferSize)) {
        return false;
    }
    return port_.StartReader();
}

void CSerialPortControl::Stop() {
    port_.StopReader();
}

}  // namespace mic

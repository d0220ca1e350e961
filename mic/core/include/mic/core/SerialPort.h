// CSerialPort: the serial line to the pre-amp racks. Opens "COMn" (mapped to a device path),
// runs a reader thread that waits, in this order of priority, for shutdown, input from the
// line and a command to send; writes each command with RTS raised, consumes the line's echo
// of it, lowers RTS, assembles the reply in the shared ReplyState and hands a complete reply
// to the owner synchronously (the reader waits until the owner's transaction step has run).
//
// Threads: OpenPort, StartReader, StopReader, SendCommand and the destructor belong to the
// owner's (main) thread; the reader thread calls the ReplySink and the notifier.
//
// Device paths: "COMn" is looked up in the machine hive, key "Software\Kestane Vantor\Serial
// Ports", REG_SZ value "COMn" (for example COM1 = /dev/ttyUSB0); without a value COM1-COM4
// are /dev/ttyS0-/dev/ttyS3. A REG_DWORD "COMn RS485" = 1 turns on the kernel's RS-485 mode
// for adapters that switch the line direction themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "mic/core/CommandPort.h"
#include "mic/core/MicSettings.h"
#include "mic/core/ReplyState.h"
#include "platform/serial/SysCalls.h"

namespace mic {

inline constexpr const char* kSerialPortsKey = "Software\\Kestane Vantor\\Serial Ports";
inline constexpr uint32_t kEventRxChar = 0x0001;
inline constexpr uint32_t kEventCts = 0x0008;
inline constexpr uint32_t kOwnerEventMask = kEventRxChar | kEventCts;
inline constexpr uint32_t kOwnerSendBufferSize = 128;
inline constexpr uint8_t kProbeByte = 0xAA;

// Device path of COM`portNumber`: the machine hive's value, else /dev/ttyS(n-1).
std::string SerialDevicePath(uint32_t portNumber);
// The "COMn RS485" option of the machine hive.
bool SerialPortWantsRs485(uint32_t portNumber);

// Shows a message box (text, title). Called from the reader thread as well as the main thread;
// the host marshals it to its window. It should not block the reader for long.
using SerialNotifier = std::function<void(const std::string& text, const std::string& title)>;

// What the reader does with one received byte.
enum class ByteAction {
    Dropped,   // ignored (or reply count reset)
    Stored,    // kept as a reply byte; the reply is not complete yet
    Complete,  // the reply is complete: hand it over
    Echo,      // start of our own frame's echo: consume EchoReads() more bytes, lower RTS
};

// Reply assembly, one byte at a time, on the shared ReplyState (reader thread).
class CReplyAssembler {
  public:
    explicit CReplyAssembler(ReplyState& reply) : reply_(reply) {}
    ByteAction Process(uint8_t byte);
    // After ByteAction::Echo: the number of further echo bytes to read and discard.
    int EchoReads() const { return echoReads_; }
    // After ByteAction::Complete: the transaction the completed reply belongs to.
    uint32_t Transaction() const { return transaction_; }
    // Called once the echo has been consumed.
    void EchoDone() { reply_.replyCount.store(0); }

  private:
    ReplyState& reply_;
    int echoReads_ = 0;
    uint32_t transaction_ = 0;
};

class CSerialPort : public CommandPort {
  public:
    // `reply` is the record shared with the protocol engine; `sys` carries every system call on
    // the device (tests pass a failing one).
    explicit CSerialPort(ReplyState& reply,
                         platform::serial::SysCalls& sys = platform::serial::systemCalls());
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Main thread, before OpenPort.
    void SetNotifier(SerialNotifier notifier);
    // Main thread, before OpenPort. Replaces the machine-hive lookup (the simulator's pty).
    void SetDeviceResolver(std::function<std::string(uint32_t)> resolver);
    // Main thread, before OpenPort. Forces the kernel RS-485 mode on or off for every port.
    void SetRs485(bool on);

    // Main thread. Opens, configures, purges and probes COM`portNumber`; stops a running
    // reader first. True when the port is open and the probe byte did not come back.
    bool OpenPort(ReplySink* owner, uint32_t portNumber, uint32_t baudRate = 19200,
                  char parity = 'N', uint32_t dataBits = 8, uint32_t stopBits = 1,
                  uint32_t eventMask = kOwnerEventMask,
                  uint32_t sendBufferSize = kOwnerSendBufferSize);
    // Main thread. False when no port is open or the thread cannot be created.
    bool StartReader();
    // Main thread. False when no reader was running. Waits for the reader to end unless it is
    // in the middle of a reply hand-over that the main thread would have to serve: it then
    // ends on its own once the hand-over returns (and is joined later).
    bool StopReader();

    // Main thread. Copies the command (ended by 0xFF, at most sendBufferSize - 1 bytes are
    // taken), prepares the ReplyState and wakes the reader. Does not wait.
    void SendCommand(const uint8_t* message) override;
    // Main thread.
    bool IsOpen() const override;

    // Any thread.
    uint32_t PortNumber() const { return portNumber_.load(); }
    bool ReaderAlive() const;
    // The device went away (unplugged, hung up) since it was opened; reported once.
    bool LineLost() const;
    const std::string& DevicePath() const { return devicePath_; }

    // The text of an "Application Error" box for a failed step.
    static std::string ErrorText(std::string_view step, int error, uint32_t portNumber);

  private:
    struct Line;
    void ReaderMain(std::shared_ptr<Line> line);
    void ServeInput(Line& line);
    void ServeSend(Line& line, bool signalled);
    bool NextByte(Line& line, uint8_t& byte, bool mayRead);
    bool ReadDevice(Line& line);
    void ConsumeEcho(Line& line, int reads);
    void Report(std::string_view step, int error, uint32_t portNumber);
    void LineGone(Line& line, std::string_view step, int error);
    void JoinFinished();

    ReplyState& reply_;
    platform::serial::SysCalls& sys_;
    SerialNotifier notifier_;
    std::function<std::string(uint32_t)> resolver_;
    int rs485_ = -1;  // -1: as the machine hive says

    std::shared_ptr<Line> line_;                  // the open line (main thread)
    std::vector<std::shared_ptr<Line>> retired_;  // stopped lines whose reader may still run
    std::atomic<uint32_t> portNumber_{0};
    std::string devicePath_;

    std::mutex sendLock_;  // guards sendBuffer_ between SendCommand and the reader
    std::vector<uint8_t> sendBuffer_;
};

// PortControl for the controller: COMn at 19200 8N1 with the owner's mask and buffer size.
class CSerialPortControl : public PortControl {
  public:
    CSerialPortControl(CSerialPort& port, ReplySink& owner) : port_(port), owner_(owner) {}
    bool OpenAndStart(uint32_t portNumber) override;
    void Stop() override;

  private:
    CSerialPort& port_;
    ReplySink& owner_;
};

}  // namespace mic

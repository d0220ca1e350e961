// The pre-amp protocol master: transmit ring, direct sends, the transaction step run on every
// reply and every firing of timer 1, resends, the rack on-line rule, polling with a discovery
// scan, the version scan, the halt while the Setup / Test window is open, and the debug log.
// Everything runs on the main thread except OnReplyReady, which the serial reader calls.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "mic/core/CommandPort.h"
#include "mic/core/Frames.h"
#include "mic/core/PreampState.h"
#include "mic/core/ReplyState.h"
#include "mic/core/TransmitRing.h"

namespace mic {

class MicTimers;
class MainThreadInvoker;

// Consequences of protocol events, carried out by the controller. Main thread.
class ProtocolHost {
  public:
    virtual ~ProtocolHost() = default;
    // The rack's answer counter reached 4 while it was off line (already marked on line).
    virtual void RackCameOnLine(int rack) = 0;
    // The rack's answer counter fell to 0 while it was on line (already marked off line).
    virtual void RackWentOffLine(int rack) = 0;
    // A poll was answered (ACK, ACK with data).
    virtual void PollAnswered(int rack) = 0;
    // A data block with a good checksum arrived for `rack`; `displayed` is reply mode 4.
    virtual void DataBlockArrived(int rack, const uint8_t* block, bool displayed) = 0;
    // The version scan passed rack 15.
    virtual void VersionScanFinished() = 0;
};

inline constexpr const char* kDebugLogName = "MicDebug.txt";
inline constexpr const char* kVersionUnknown = "Version Unknown";

class ProtocolEngine : public ReplySink {
  public:
    ProtocolEngine(PreampState& state, ReplyState& reply, ProtocolHost& host, MicTimers& timers);
    ~ProtocolEngine() override;

    // Main thread. The port frames go to (nullptr: frames are dropped, as with no line).
    void SetPort(CommandPort* port, uint32_t portNumber);
    // Main thread, before the reader starts. Without an invoker, replies run in place.
    void SetInvoker(MainThreadInvoker* invoker);

    // Main thread. Start-up state: ring emptied, indices and retries 0, counters 0, no rack
    // on line, next poll to rack 0.
    void Reset();

    // Main thread. Queued commands; the first three are refused (false) while halted.
    bool QueueSetChannel(int rack, int channel);
    bool QueueSetDirect(int rack, int channel);
    bool QueueDataRequest(int rack);
    void QueueFullChannelState(int rack);

    // Main thread. Direct sends: start a transaction at once.
    void SendPoll(int rack);
    void SendVersionRequest(int rack);
    void SendTest(int rack);

    // Main thread. Timer 1 fired. A time-out whose transaction already has its reply on the
    // way to this thread (the reader completed it and waits for the hand-over) changes
    // nothing: the hand-over runs the step.
    void OnTransactionTimer();
    // Reader thread. A reply is complete; runs the transaction step on the main thread.
    void OnReplyReady(uint32_t portNumber, const uint8_t* reply, uint32_t transaction) override;
    // Main thread. The transaction step for a reply handed over by the reader. A reply of any
    // transaction but the one in flight (dealt with by its time-out, or abandoned) changes
    // nothing.
    void OnReply(uint32_t portNumber, uint32_t transaction);

    // Main thread. Guards of the operator rules.
    bool Collecting() const { return reply_.awaiting.load() == kReceivingReply; }
    bool RingFull() const { return ring_.Full(); }
    bool RingEmpty() const { return ring_.Empty(); }
    bool PollInFlight() const { return expected_ == kCmdPoll; }

    // Main thread. A rack was displayed: transaction state back to idle, next poll to `rack`.
    void ResetTransactionFor(int rack);
    void ResetRetryCounter() { retries_ = 0; }
    // Main thread. Timer 1 to 200 ms unless a poll is in flight (console data applied).
    void PushTimerForConsole();

    // Main thread. Version scan from rack 0: only when the ring is empty and not halted.
    bool StartVersionScan();
    bool VersionScanRunning() const { return versionScan_; }
    const std::string& Version(int rack) const { return versions_[rack]; }
    // Main thread. Halt while the Setup / Test window is open.
    void SetHalted(bool halted);
    bool Halted() const { return halted_; }

    // Main thread. Debug log on (opens and truncates the file; false if it cannot be opened)
    // or off (closes it).
    bool SetDebugLog(bool on);
    bool DebugLogOn() const { return log_ != nullptr; }
    void SetDebugLogPath(std::string path) { logPath_ = std::move(path); }

    // Main thread. Inspection for the window, tests and the fuzzer.
    int LinkCounter(int rack) const { return counters_[rack]; }
    int OnLineCount() const { return onLineCount_; }
    uint32_t RetryCounter() const { return retries_; }
    int LastPolledRack() const { return polledRack_; }
    uint8_t ExpectedCommand() const { return expected_; }
    // The number of the transaction in flight (or last finished); it changes with every frame
    // sent and whenever a transaction is abandoned.
    uint32_t Transaction() const { return transaction_; }
    const TransmitRing& Ring() const { return ring_; }

  private:
    void Step();
    void Finish();
    void SendNext();
    void Poll();
    void Resend();
    void Hand(const uint8_t* frame, size_t length);
    void NextTransaction();
    void Abandon();
    void Transmit(const Frame& f, uint32_t mode, uint8_t expected, uint32_t awaiting,
                  uint32_t timeoutMs);
    void CountAnswer(int rack, bool good);
    void StepVersion();
    void StepDataBlock(int frameRack, uint32_t mode);
    void LogFrame(const uint8_t* bytes);
    void Log(const char* text);

    PreampState& state_;
    ReplyState& reply_;
    ProtocolHost& host_;
    MicTimers& timers_;
    MainThreadInvoker* invoker_ = nullptr;
    CommandPort* port_ = nullptr;
    uint32_t portNumber_ = 0;

    TransmitRing ring_;
    uint32_t retries_ = 0;
    uint8_t expected_ = 0;
    uint32_t transaction_ = 0;
    // Written by the reader: the transaction whose completed reply it is handing over (0:
    // none). Lets a time-out that the reply beat leave the step to the hand-over.
    std::atomic<uint32_t> handingOver_{0};
    std::array<int, kRacks> counters_{};
    int onLineCount_ = 0;
    int polledRack_ = 0;
    int pollCounter_ = 0;
    int discoveryRack_ = 0;
    int aimedRack_ = -1;  // the next poll goes here (a rack was just displayed)
    bool halted_ = false;
    int haltedRack_ = 0;
    bool versionScan_ = false;
    int versionRack_ = 0;
    int versionFailures_ = 0;
    std::array<std::string, kRacks> versions_;
    std::string logPath_ = kDebugLogName;
    std::FILE* log_ = nullptr;
};

}  // namespace mic

#include "mic/core/ProtocolEngine.h"

#include <algorithm>

#include "mic/core/MicTimers.h"

namespace mic {

namespace {

constexpr uint32_t kMaxResends = 2;  // three sends in all
constexpr int kVersionTriesPerRack = 3;
constexpr int kLinkCounterMax = 4;

}  // namespace

ProtocolEngine::ProtocolEngine(PreampState& state, ReplyState& reply, ProtocolHost& host,
                               MicTimers& timers)
    : state_(state), reply_(reply), host_(host), timers_(timers) {
    Reset();
}

ProtocolEngine::~ProtocolEngine() {
    SetDebugLog(false);
}

void ProtocolEngine::SetPort(CommandPort* port, uint32_t portNumber) {
    port_ = port;
    portNumber_ = portNumber;
}

void ProtocolEngine::SetInvoker(MainThreadInvoker* invoker) {
    invoker_ = invoker;
}

void ProtocolEngine::Reset() {
    ring_.Clear();
    retries_ = 0;
    expected_ = 0;
    counters_.fill(0);
    onLineCount_ = 0;
    state_.rackOnLine.fill(0);
    polledRack_ = 0;
    pollCounter_ = 0;
    discoveryRack_ = 0;
    aimedRack_ = -1;
    versionScan_ = false;
    reply_.awaiting = kIdle;
    reply_.replyMode = kReplyNothing;
    NextTransaction();
}

// A new number for the record: after the mode and `awaiting` of what comes next are in place
// (the reader relies on that order), before anything goes to the port.
void ProtocolEngine::NextTransaction() {
    if (++transaction_ == 0)
        transaction_ = 1;  // 0 means "no transaction" to the hand-over marker
    reply_.transaction = transaction_;
}

// The transaction in flight is given up: a reply that is still on its way belongs to nobody.
void ProtocolEngine::Abandon() {
    reply_.replyMode = kReplyNothing;
    reply_.awaiting = kIdle;
    expected_ = 0;
    NextTransaction();
}

// --- queued commands -------------------------------------------------------------------------

bool ProtocolEngine::QueueSetChannel(int rack, int channel) {
    if (halted_ || rack < 0 || rack >= kRacks || channel < 0 || channel >= kChannelsPerRack)
        return false;
    const int i = ChannelIndex(rack, channel);
    ring_.AppendSetChannel(
        MakeSetChannel(rack, channel, state_.ReadSetting(i), state_.assignment[i]));
    return true;
}

bool ProtocolEngine::QueueSetDirect(int rack, int channel) {
    if (halted_ || rack < 0 || rack >= kRacks || channel < 0 || channel >= kChannelsPerRack)
        return false;
    ring_.Append(MakeSetDirect(rack, channel, state_.directSwitch[ChannelIndex(rack, channel)]));
    return true;
}

bool ProtocolEngine::QueueDataRequest(int rack) {
    if (halted_ || rack < 0 || rack >= kRacks)
        return false;
    ring_.Append(MakeShortFrame(rack, kCmdDataRequest));
    return true;
}

void ProtocolEngine::QueueFullChannelState(int rack) {
    if (rack < 0 || rack >= kRacks)
        return;
    // Not refused while halted: a reset made in the Setup / Test window goes out afterwards.
    for (int c = 0; c < kChannelsPerRack; ++c) {
        const int i = ChannelIndex(rack, c);
        ring_.AppendSetChannel(
            MakeSetChannel(rack, c, state_.ReadSetting(i), state_.assignment[i]));
        ring_.Append(MakeSetDirect(rack, c, state_.directSwitch[i]));
    }
}

// --- sending ---------------------------------------------------------------------------------

void ProtocolEngine::Hand(const uint8_t* frame, size_t length) {
    reply_.replyCount = 0;
    reply_.replyBuffer[0] = 0;
    if (!port_)
        return;
    uint8_t copy[kSlotSize + 1];
    std::copy_n(frame, length, copy);
    copy[length] = kFrameEnd;
    port_->SendCommand(copy);
}

void ProtocolEngine::Transmit(const Frame& f, uint32_t mode, uint8_t expected, uint32_t awaiting,
                              uint32_t timeoutMs) {
    expected_ = expected;
    reply_.replyMode = mode;
    reply_.awaiting = awaiting;
    NextTransaction();
    timers_.SetTimer(kTimerTransaction, timeoutMs);
    Hand(f.bytes.data(), f.length);
}

void ProtocolEngine::SendPoll(int rack) {
    if (rack < 0 || rack >= kRacks)
        return;
    polledRack_ = rack;
    LogFrame(MakeShortFrame(rack, kCmdPoll).bytes.data());
    Transmit(MakeShortFrame(rack, kCmdPoll), kReplySingleByte, kCmdPoll, kAwaitingReply,
             kTimeoutPollMs);
}

void ProtocolEngine::SendVersionRequest(int rack) {
    if (rack < 0 || rack >= kRacks)
        return;
    if (halted_) {
        Transmit(MakeShortFrame(rack, kCmdVersion), kReplyNothing, kCmdVersion, kIdle,
                 kTimeoutHaltedVersionMs);
    } else {
        Transmit(MakeShortFrame(rack, kCmdVersion), kReplyText, kCmdVersion, kAwaitingReply,
                 kTimeoutVersionMs);
    }
}

void ProtocolEngine::SendTest(int rack) {
    if (rack < 0 || rack >= kRacks)
        return;
    // The test frame is a poll whose answer nobody waits for.
    Transmit(MakeShortFrame(rack, kCmdPoll), kReplyNothing, kCmdTest, kIdle, kTimeoutTestMs);
}

void ProtocolEngine::SendNext() {
    if (halted_ || reply_.awaiting.load() != kIdle)
        return;
    // A hole in the pending range (an emptied slot) would stall the ring for good: skip it.
    while (!ring_.Empty() && !ring_.Front())
        ring_.PopFront();
    if (const TransmitRing::Slot* slot = ring_.Front()) {
        const uint8_t code = (*slot)[1];
        uint32_t mode = kReplySingleByte;
        if (code == kCmdDataRequest) {
            mode = (reply_.replyBuffer[0].load() == kAckWithData &&
                    polledRack_ == static_cast<int>(state_.displayedRack))
                       ? kReplyDataBlockAlt
                       : kReplyDataBlock;
        }
        LogFrame(slot->data());
        reply_.awaiting = kAwaitingReply;
        expected_ = code;
        reply_.replyMode = mode;
        NextTransaction();
        timers_.SetTimer(kTimerTransaction, kTimeoutCommandMs);
        size_t length = 0;
        while (length < kSlotAddressCopy && (*slot)[length] != kFrameEnd)
            ++length;
        Hand(slot->data(), length);
        ring_.PopFront();
        return;
    }
    Poll();
}

void ProtocolEngine::Poll() {
    if (aimedRack_ >= 0) {
        const int rack = aimedRack_;
        aimedRack_ = -1;
        SendPoll(rack);
        return;
    }
    if (++pollCounter_ > onLineCount_)
        pollCounter_ = 0;
    if (onLineCount_ > 0 && pollCounter_ != 0) {
        for (int k = 1; k <= kRacks; ++k) {
            const int rack = (polledRack_ + k) % kRacks;
            if (state_.rackOnLine[rack]) {
                SendPoll(rack);
                return;
            }
        }
    }
    const int rack = discoveryRack_;
    discoveryRack_ = (discoveryRack_ + 1) % kRacks;
    SendPoll(rack);
}

// --- transaction step ------------------------------------------------------------------------

// The step runs from two places: timer 1 and the reader's hand-over. When the main thread is
// held up, both can be waiting for it at once; whichever runs second must not take the
// transaction that the first one started for its own (it would be abandoned unanswered and
// its rack counted as failing). So the hand-over carries the number of its transaction, and
// each path acts only for the transaction in flight.
void ProtocolEngine::OnTransactionTimer() {
    if (halted_) {
        haltedRack_ = (haltedRack_ + 1) % kRacks;
        SendVersionRequest(haltedRack_);
        return;
    }
    // The reply came in time and waits for this thread; the timer stays set, so should the
    // hand-over be cancelled, the next firing deals with the completed record.
    if (handingOver_.load() == transaction_)
        return;
    Step();
}

void ProtocolEngine::OnReplyReady(uint32_t portNumber, const uint8_t* /*reply*/,
                                  uint32_t transaction) {
    if (!invoker_) {
        OnReply(portNumber, transaction);
        return;
    }
    handingOver_.store(transaction);
    invoker_->CallAndWait([this, portNumber, transaction] { OnReply(portNumber, transaction); });
    // Cleared here too in case the hand-over was cancelled without running.
    uint32_t mine = transaction;
    handingOver_.compare_exchange_strong(mine, 0);
}

void ProtocolEngine::OnReply(uint32_t portNumber, uint32_t transaction) {
    uint32_t mine = transaction;
    handingOver_.compare_exchange_strong(mine, 0);
    if (transaction != transaction_ || portNumber < 1 || portNumber > 4 || halted_)
        return;
    Step();
}

void ProtocolEngine::Step() {
    const uint32_t mode = reply_.replyMode.load();
    const uint32_t awaiting = reply_.awaiting.load();
    if (mode == kReplyNothing)
        retries_ = 0;
    const int frameRack = RackOfAddress(ring_.Previous()[kSlotAddressCopy]);

    if (mode == kReplyNothing && awaiting == kIdle) {
        if (expected_ == kCmdTest) {
        } else if (expected_ == kCmdPoll) {
            const int rack = polledRack_;
            // The busy picture gives way first: a load queued by this very answer (a rack
            // coming on line) shows busy until its frames have gone out.
            host_.PollAnswered(rack);
            CountAnswer(rack, true);
            if (reply_.replyBuffer[0].load() == kAckWithData &&
                rack == static_cast<int>(state_.displayedRack)) {
                Log("\nRx=AckWithData");
                QueueDataRequest(rack);
            }
        } else {
            Log("\nRx=ACK");
            CountAnswer(frameRack, true);
        }
        Finish();
        return;
    }

    switch (expected_) {
        case kCmdPoll:
            if (awaiting == kIdle)
                Log("\nRx=NACK!");
            CountAnswer(polledRack_, false);
            break;
        case kCmdVersion:
            StepVersion();
            return;
        case kCmdSetChannel:
        case kCmdSetDirect:
            Log("\nRx=NoResponse");
            CountAnswer(frameRack, false);
            Resend();
            break;
        case kCmdDataRequest:
            StepDataBlock(frameRack, mode);
            break;
        default:
            Log("\nError - Unrecognised Tx !!");
            if (awaiting == kIdle)
                Resend();
            break;
    }
    Finish();
}

void ProtocolEngine::Finish() {
    reply_.replyMode = kReplyNothing;
    reply_.awaiting = kIdle;
    expected_ = 0;
    SendNext();
}

void ProtocolEngine::Resend() {
    if (retries_ < kMaxResends) {
        ++retries_;
        ring_.StepBack();
    } else {
        retries_ = 0;
    }
}

void ProtocolEngine::StepDataBlock(int frameRack, uint32_t mode) {
    if (reply_.replyCount.load() < kDataBlockSize) {
        Log("\nRx=NoResponse");
        Resend();
        return;
    }
    uint8_t block[kDataBlockSize];
    for (size_t i = 0; i < kDataBlockSize; ++i)
        block[i] = reply_.replyBuffer[i].load();
    Log("\nRx=");
    if (log_) {
        for (size_t i = 0; i < kDataBlockSize - 1; ++i)
            std::fprintf(log_, "%x ", block[i]);
    }
    if (Checksum7(block, kDataBlockSize - 1) != block[kDataBlockSize - 1] || frameRack < 0) {
        Resend();
        return;
    }
    // Each frame gets its own three sends: a good block ends this frame's retries.
    retries_ = 0;
    host_.DataBlockArrived(
        frameRack, block,
        mode == kReplyDataBlockAlt && frameRack == static_cast<int>(state_.displayedRack));
}

void ProtocolEngine::StepVersion() {
    Log("\nRx=");
    const int rack = versionRack_;
    bool valid = false;
    char text[kVersionTextSize];
    if (reply_.replyCount.load() >= kVersionTextSize + 1) {
        uint8_t bytes[kVersionTextSize + 1];
        for (size_t i = 0; i <= kVersionTextSize; ++i)
            bytes[i] = reply_.replyBuffer[i].load();
        valid = bytes[0] >= 0x20 && Checksum7(bytes, kVersionTextSize) == bytes[kVersionTextSize];
        std::copy_n(bytes, kVersionTextSize, text);
    }
    bool next = true;
    if (valid) {
        if (log_) {
            for (char c : text)
                std::fprintf(log_, "%c", c);
        }
        versions_[rack].assign(text, kVersionTextSize);
        retries_ = 0;
        versionFailures_ = 0;
    } else {
        Log("NoResponse");
        versions_[rack] = kVersionUnknown;
        if (++versionFailures_ < kVersionTriesPerRack) {
            next = false;
        } else {
            versionFailures_ = 0;
        }
    }
    if (!versionScan_) {
        // A version answer outside a scan (none should come): just finish.
        Finish();
        return;
    }
    if (next)
        ++versionRack_;
    if (versionRack_ >= kRacks) {
        versionScan_ = false;
        versionRack_ = kRacks - 1;
        haltedRack_ = versionRack_;
        Abandon();
        host_.VersionScanFinished();
        SendNext();
        return;
    }
    SendVersionRequest(versionRack_);
}

bool ProtocolEngine::StartVersionScan() {
    if (!ring_.Empty() || halted_ || versionScan_)
        return false;
    versionScan_ = true;
    versionRack_ = 0;
    versionFailures_ = 0;
    SendVersionRequest(0);
    return true;
}

void ProtocolEngine::SetHalted(bool halted) {
    if (halted_ == halted)
        return;
    halted_ = halted;
    if (!halted)
        Abandon();
}

void ProtocolEngine::ResetTransactionFor(int rack) {
    const uint8_t code = expected_;
    const uint32_t awaiting = reply_.awaiting.load();
    // A queued frame still unanswered would otherwise be forgotten: send it again.
    if (awaiting != kIdle &&
        (code == kCmdSetChannel || code == kCmdSetDirect || code == kCmdDataRequest)) {
        ring_.StepBack();
    }
    Abandon();
    retries_ = 0;
    if (rack >= 0 && rack < kRacks)
        aimedRack_ = rack;
}

void ProtocolEngine::PushTimerForConsole() {
    if (expected_ != kCmdPoll)
        timers_.SetTimer(kTimerTransaction, kTimeoutCommandMs);
}

// --- on-line rule ----------------------------------------------------------------------------

void ProtocolEngine::CountAnswer(int rack, bool good) {
    if (rack < 0 || rack >= kRacks)
        return;
    int& counter = counters_[rack];
    if (good) {
        if (counter < kLinkCounterMax)
            ++counter;
        if (counter == kLinkCounterMax && !state_.rackOnLine[rack]) {
            state_.rackOnLine[rack] = 1;
            onLineCount_ = std::min(onLineCount_ + 1, kRacks);
            host_.RackCameOnLine(rack);
        }
    } else {
        if (counter > 0)
            --counter;
        if (counter == 0 && state_.rackOnLine[rack]) {
            state_.rackOnLine[rack] = 0;
            onLineCount_ = std::max(onLineCount_ - 1, 0);
            host_.RackWentOffLine(rack);
        }
    }
}

// --- debug log -------------------------------------------------------------------------------

bool ProtocolEngine::SetDebugLog(bool on) {
    if (log_) {
        std::fclose(log_);
        log_ = nullptr;
    }
    if (!on)
        return true;
    log_ = std::fopen(logPath_.c_str(), "w");
    return log_ != nullptr;
}

void ProtocolEngine::Log(const char* text) {
    if (log_)
        std::fputs(text, log_);
}

void ProtocolEngine::LogFrame(const uint8_t* bytes) {
    if (!log_)
        return;
    std::fputs("\nTx=", log_);
    for (size_t i = 0; i < kSlotAddressCopy && bytes[i] != kFrameEnd; ++i)
        std::fprintf(log_, "%x ", bytes[i]);
}

}  // namespace mic

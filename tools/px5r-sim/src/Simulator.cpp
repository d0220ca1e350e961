#include "px5r/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

namespace px5r {

namespace {

using Clock = std::chrono::steady_clock;
using Ns = std::chrono::nanoseconds;

// Frame length by command code, address and command byte included.
int FrameLength(uint8_t command) {
    switch (command) {
        case 0x01:
            return 2;  // poll (also the Setup / Test frame)
        case 0x10:
            return 2;  // version request
        case 0x14:
            return 2;  // data request
        case 0x11:
            return 6;  // set channel: channel, setting, assignment, checksum
        case 0x13:
            return 5;  // set direct switch: channel, switch, checksum
        default:
            return 0;  // unknown: the racks ignore the frame
    }
}

uint8_t Sum7(const uint8_t* bytes, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum & 0x7F);
}

bool ValidRack(int rack) {
    return rack >= 0 && rack < kRacks;
}

}  // namespace

std::array<uint8_t, 37> DataBlock(const RackState& state) {
    std::array<uint8_t, 37> block{};
    for (int c = 0; c < kChannels; ++c) {
        const ChannelState& ch = state.channels[c];
        block[2 * c] = ch.setting & 0x7F;
        block[2 * c + 1] = ch.assignment & 0x7F;
        block[24 + c] = static_cast<uint8_t>(((ch.directSwitch & 1) << 5) | (ch.status & 0x0F));
    }
    block[36] = Sum7(block.data(), 36);
    return block;
}

std::array<uint8_t, 12> VersionAnswer(const RackState& state) {
    std::array<uint8_t, 12> answer{};
    for (size_t i = 0; i < kVersionLength; ++i) {
        char c = i < state.version.size() ? state.version[i] : ' ';
        answer[i] = static_cast<uint8_t>(c >= 0x20 && c <= 0x7E ? c : ' ');
    }
    answer[10] = Sum7(answer.data(), 10);
    answer[11] = 0x0D;
    return answer;
}

class Simulator::Line {
  public:
    explicit Line(SimOptions options) : options_(options), rng_(options.seed) {
        for (int r = 0; r < kRacks; ++r) {
            racks_[r].present = r < options.racks;
        }
        wireTime_ = options.wireTime;
        answerDelayNs_ = static_cast<int64_t>(options.answerDelayUs) * 1000;
    }

    ~Line() { Stop(); }

    bool Start() {
        if (running_) {
            return true;
        }
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            return false;
        }
        // The slave starts raw so that nothing the racks send is echoed or translated by the
        // line discipline before the controller has configured it. We keep our own slave
        // descriptor open so that the master never sees a hang-up while the controller
        // closes and reopens the device.
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) {
            ::close(master);
            ::close(slave);
            return false;
        }
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        epoll_event onMaster{.events = EPOLLIN, .data = {.u32 = kInputEvent}};
        epoll_event onWake{.events = EPOLLIN, .data = {.u32 = kWakeEvent}};
        if (epoll_ < 0 || epoll_ctl(epoll_, EPOLL_CTL_ADD, master, &onMaster) != 0 ||
            epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &onWake) != 0) {
            if (epoll_ >= 0) {
                ::close(epoll_);
            }
            ::close(wake_);
            ::close(master);
            ::close(slave);
            epoll_ = wake_ = -1;
            return false;
        }
        master_ = master;
        slave_ = slave;
        slavePath_ = name;
        stop_ = false;
        running_ = true;
        Touch();
        thread_ = std::thread([this] { Run(); });
        return true;
    }

    void Stop() {
        if (!running_) {
            return;
        }
        stop_ = true;
        Wake();
        thread_.join();
        ::close(master_);
        ::close(slave_);
        ::close(wake_);
        ::close(epoll_);
        master_ = slave_ = wake_ = epoll_ = -1;
        running_ = false;
    }

    bool Running() const { return running_; }
    std::string SlavePath() const { return slavePath_; }

    RackState Rack(int rack) const {
        std::lock_guard lock(mu_);
        return ValidRack(rack) ? racks_[rack] : RackState{};
    }
    std::array<RackState, kRacks> Racks() const {
        std::lock_guard lock(mu_);
        return racks_;
    }
    SimStats Stats() const {
        std::lock_guard lock(mu_);
        return stats_;
    }

    void FrontPanel(int rack, int channel, const ChannelState& state) {
        if (!ValidRack(rack) || channel < 0 || channel >= kChannels) {
            return;
        }
        std::lock_guard lock(mu_);
        racks_[rack].channels[channel] = state;
        racks_[rack].pendingData = true;
    }
    void SetRack(int rack, const RackState& state) {
        if (!ValidRack(rack)) {
            return;
        }
        std::lock_guard lock(mu_);
        racks_[rack] = state;
    }
    void SetPresent(int rack, bool present) {
        if (!ValidRack(rack)) {
            return;
        }
        std::lock_guard lock(mu_);
        racks_[rack].present = present;
    }
    void DropAnswers(int rack, int count) {
        std::lock_guard lock(mu_);
        if (rack < 0) {
            dropAny_ = std::max(0, count);
        } else if (ValidRack(rack)) {
            drop_[rack] = std::max(0, count);
        }
    }
    void SetDropRate(double p) {
        std::lock_guard lock(mu_);
        dropRate_ = std::clamp(p, 0.0, 1.0);
    }
    void CorruptChecksums(int rack, int count) {
        std::lock_guard lock(mu_);
        if (rack < 0) {
            corruptAny_ = std::max(0, count);
        } else if (ValidRack(rack)) {
            corrupt_[rack] = std::max(0, count);
        }
    }
    void InjectNoise(int count) {
        std::vector<uint8_t> bytes;
        {
            std::lock_guard lock(mu_);
            for (int i = 0; i < count; ++i) {
                bytes.push_back(static_cast<uint8_t>(rng_() & 0x7F));
            }
            stats_.noiseBytes += static_cast<uint64_t>(std::max(0, count));
            stats_.bytesSent += static_cast<uint64_t>(std::max(0, count));
        }
        InjectBytes(bytes);
    }
    void InjectBytes(const std::vector<uint8_t>& bytes) {
        {
            std::lock_guard lock(mu_);
            injected_.insert(injected_.end(), bytes.begin(), bytes.end());
        }
        Wake();
    }
    void SetNoiseRate(double p) {
        std::lock_guard lock(mu_);
        noiseRate_ = std::clamp(p, 0.0, 1.0);
    }
    void SetAnswerDelayUs(uint32_t us) { answerDelayNs_ = static_cast<int64_t>(us) * 1000; }
    void SetWireTime(bool on) { wireTime_ = on; }
    void SetEchoProbe(bool on) { echoProbe_ = on; }
    void SetByteObserver(ByteObserver observer) { observer_ = std::move(observer); }

    bool WaitIdle(int idleMs, int timeoutMs) const {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto now = Clock::now();
            auto last = Clock::time_point(Ns(lastActivity_.load()));
            bool queueEmpty;
            {
                std::lock_guard lock(mu_);
                queueEmpty = outQueued_ == 0 && injected_.empty();
            }
            if (queueEmpty && now - last >= std::chrono::milliseconds(idleMs)) {
                return true;
            }
            if (now >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

  private:
    struct Out {
        Clock::time_point at;
        uint8_t byte;
    };

    void Wake() {
        uint64_t one = 1;
        if (wake_ >= 0) {
            [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
        }
    }
    void Touch() { lastActivity_ = Clock::now().time_since_epoch().count(); }

    // Time at which the next byte put on the line is complete, and advances the line clock.
    Clock::time_point Slot(Clock::time_point earliest) {
        if (!wireTime_) {
            return earliest;
        }
        lineFree_ = std::max(lineFree_, earliest) + Ns(kByteTimeNs);
        return lineFree_;
    }

    void Run() {
        // Byte times are about 520 us; the default timer slack of 50 us would smear them.
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        uint8_t buf[512];
        while (!stop_) {
            // Without output due, wait for input or a wake-up only: no timer to arm. The two
            // descriptors stay registered in an epoll set: re-arming a poll() on the pty for
            // every byte costs a noticeable share of a zero-delay transaction.
            timespec ts{};
            timespec* timeout = nullptr;
            if (!out_.empty()) {
                int64_t ns = std::max<int64_t>(0, (out_.front().at - Clock::now()).count());
                ts = {static_cast<time_t>(ns / 1'000'000'000),
                      static_cast<long>(ns % 1'000'000'000)};
                timeout = &ts;
            }
            epoll_event events[2];
            int r = Wait(events, timeout);
            if (r < 0 && errno != EINTR) {
                break;
            }
            bool input = false;
            bool woken = false;
            for (int i = 0; i < r; ++i) {
                (events[i].data.u32 == kWakeEvent ? woken : input) = true;
            }
            if (woken) {
                uint64_t v;
                [[maybe_unused]] ssize_t n = ::read(wake_, &v, sizeof v);
                std::vector<uint8_t> injected;
                {
                    std::lock_guard lock(mu_);
                    injected.swap(injected_);
                }
                auto now = Clock::now();
                for (uint8_t b : injected) {
                    Schedule(Slot(now), b);
                }
            }
            if (input) {
                ssize_t n = ::read(master_, buf, sizeof buf);
                auto now = Clock::now();
                for (ssize_t i = 0; i < n; ++i) {
                    Received(buf[i], now);
                }
                if (n > 0) {
                    Touch();
                }
            }
            Flush();
        }
    }

    static constexpr uint32_t kInputEvent = 0;
    static constexpr uint32_t kWakeEvent = 1;

    // epoll_pwait2 keeps the sub-millisecond time-outs of wire-time pacing; a kernel without it
    // gets millisecond time-outs rounded up.
    int Wait(epoll_event* events, const timespec* timeout) {
        if (havePwait2_) {
            int r = epoll_pwait2(epoll_, events, 2, timeout, nullptr);
            if (r >= 0 || errno != ENOSYS) {
                return r;
            }
            havePwait2_ = false;
        }
        int ms = timeout == nullptr ? -1
                                    : static_cast<int>(timeout->tv_sec * 1000 +
                                                       (timeout->tv_nsec + 999'999) / 1'000'000);
        return epoll_wait(epoll_, events, 2, ms);
    }

    void Schedule(Clock::time_point at, uint8_t byte) {
        // Wire time keeps the queue in time order; without it every byte is due at once.
        out_.push_back({at, byte});
        std::lock_guard lock(mu_);
        outQueued_ = out_.size();
    }

    void Flush() {
        auto now = Clock::now();
        uint8_t chunk[512];
        size_t n = 0;
        while (!out_.empty() && out_.front().at <= now && n < sizeof chunk) {
            chunk[n++] = out_.front().byte;
            out_.pop_front();
        }
        size_t done = 0;
        while (done < n) {
            ssize_t w = ::write(master_, chunk + done, n - done);
            if (w > 0) {
                done += static_cast<size_t>(w);
            } else if (w < 0 && errno == EAGAIN) {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 10);
                if (stop_) {
                    break;
                }
            } else if (w < 0 && errno != EINTR) {
                break;  // nobody listens on the slave side: the bytes are lost, as on a wire
            }
        }
        if (n > 0) {
            Touch();
        }
        std::lock_guard lock(mu_);
        outQueued_ = out_.size();
    }

    void Received(uint8_t byte, Clock::time_point now) {
        if (observer_) {
            observer_(byte, now);
        }
        bool isProbe = byte == kProbeByte && frame_.empty();
        {
            std::lock_guard lock(mu_);
            ++stats_.bytesReceived;
            if (isProbe) {
                ++stats_.probesSeen;
            }
        }
        if (!isProbe || echoProbe_) {
            Schedule(Slot(now), byte);
        }
        if (isProbe) {
            return;
        }
        if (byte & 0x80) {
            frame_.assign(1, byte);
            return;
        }
        if (frame_.empty()) {
            return;  // not part of a frame we saw start
        }
        frame_.push_back(byte);
        int length = FrameLength(frame_[1]);
        if (length == 0) {
            frame_.clear();
            return;
        }
        if (static_cast<int>(frame_.size()) == length) {
            std::vector<uint8_t> frame;
            frame.swap(frame_);
            Answer(frame, now);
        }
    }

    void Answer(const std::vector<uint8_t>& frame, Clock::time_point now) {
        std::vector<uint8_t> answer;
        {
            std::lock_guard lock(mu_);
            ++stats_.framesReceived;
            int rack = (frame[0] & 0x7F) - 1;
            if (!ValidRack(rack)) {
                return;
            }
            RackState& rs = racks_[rack];
            bool checksumOk = true;
            switch (frame[1]) {
                case 0x01:
                    ++stats_.polls;
                    break;
                case 0x10:
                    ++stats_.versionRequests;
                    break;
                case 0x11:
                    ++stats_.setChannels;
                    break;
                case 0x13:
                    ++stats_.setDirects;
                    break;
                case 0x14:
                    ++stats_.dataRequests;
                    break;
            }
            if (!rs.present) {
                return;
            }
            switch (frame[1]) {
                case 0x01:
                    answer.push_back(rs.pendingData ? 0x06 : 0x04);
                    break;
                case 0x10: {
                    auto v = VersionAnswer(rs);
                    answer.assign(v.begin(), v.end());
                    checksumOk = false;  // marks a checksummed answer for corruption below
                    break;
                }
                case 0x11: {
                    uint8_t ch = frame[2];
                    if (ch < kChannels && Sum7(&frame[2], 3) == frame[5]) {
                        rs.channels[ch].setting = frame[3];
                        rs.channels[ch].assignment = frame[4];
                        answer.push_back(0x04);
                    } else {
                        answer.push_back(0x05);
                        ++stats_.naks;
                    }
                    break;
                }
                case 0x13: {
                    uint8_t ch = frame[2];
                    if (ch < kChannels && frame[3] <= 1 && Sum7(&frame[2], 2) == frame[4]) {
                        rs.channels[ch].directSwitch = frame[3];
                        answer.push_back(0x04);
                    } else {
                        answer.push_back(0x05);
                        ++stats_.naks;
                    }
                    break;
                }
                case 0x14: {
                    auto b = DataBlock(rs);
                    answer.assign(b.begin(), b.end());
                    rs.pendingData = false;
                    checksumOk = false;
                    break;
                }
            }
            if (Consume(drop_[rack]) || Consume(dropAny_) || Chance(dropRate_)) {
                ++stats_.answersDropped;
                return;
            }
            if (!checksumOk && (Consume(corrupt_[rack]) || Consume(corruptAny_))) {
                size_t at = frame[1] == 0x10 ? 10 : 36;
                answer[at] = static_cast<uint8_t>((answer[at] + 1) & 0x7F);
            }
            if (Chance(noiseRate_)) {
                answer.push_back(static_cast<uint8_t>(rng_() & 0x7F));
                ++stats_.noiseBytes;
            }
            ++stats_.answersSent;
            stats_.bytesSent += answer.size();
        }
        auto at = (wireTime_ ? std::max(lineFree_, now) : now) + Ns(answerDelayNs_.load());
        for (uint8_t b : answer) {
            Schedule(Slot(at), b);
        }
    }

    // Caller holds mu_.
    static bool Consume(int& counter) {
        if (counter > 0) {
            --counter;
            return true;
        }
        return false;
    }
    bool Chance(double p) {
        return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p;
    }

    SimOptions options_;
    mutable std::mutex mu_;
    std::array<RackState, kRacks> racks_{};
    SimStats stats_;
    std::array<int, kRacks> drop_{};
    std::array<int, kRacks> corrupt_{};
    int dropAny_ = 0;
    int corruptAny_ = 0;
    double dropRate_ = 0;
    double noiseRate_ = 0;
    std::mt19937_64 rng_;
    std::vector<uint8_t> injected_;
    size_t outQueued_ = 0;

    std::atomic<bool> wireTime_{false};
    std::atomic<bool> echoProbe_{false};
    std::atomic<int64_t> answerDelayNs_{0};
    std::atomic<int64_t> lastActivity_{0};
    std::atomic<bool> stop_{false};

    ByteObserver observer_;  // set before Start, then read by the line thread only

    // Line thread only.
    std::vector<uint8_t> frame_;
    std::deque<Out> out_;
    Clock::time_point lineFree_{};
    bool havePwait2_ = true;

    // Start / Stop (caller's thread).
    bool running_ = false;
    std::thread thread_;
    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;
    int epoll_ = -1;
    std::string slavePath_;
};

Simulator::Simulator(SimOptions options) : line_(std::make_unique<Line>(options)) {}
Simulator::~Simulator() = default;
bool Simulator::Start() {
    return line_->Start();
}
void Simulator::Stop() {
    line_->Stop();
}
bool Simulator::Running() const {
    return line_->Running();
}
std::string Simulator::SlavePath() const {
    return line_->SlavePath();
}
RackState Simulator::Rack(int rack) const {
    return line_->Rack(rack);
}
std::array<RackState, kRacks> Simulator::Racks() const {
    return line_->Racks();
}
SimStats Simulator::Stats() const {
    return line_->Stats();
}
void Simulator::FrontPanel(int rack, int channel, const ChannelState& state) {
    line_->FrontPanel(rack, channel, state);
}
void Simulator::SetRack(int rack, const RackState& state) {
    line_->SetRack(rack, state);
}
void Simulator::SetPresent(int rack, bool present) {
    line_->SetPresent(rack, present);
}
void Simulator::DropAnswers(int rack, int count) {
    line_->DropAnswers(rack, count);
}
void Simulator::SetDropRate(double p) {
    line_->SetDropRate(p);
}
void Simulator::CorruptChecksums(int rack, int count) {
    line_->CorruptChecksums(rack, count);
}
void Simulator::InjectNoise(int count) {
    line_->InjectNoise(count);
}
void Simulator::InjectBytes(const std::vector<uint8_t>& bytes) {
    line_->InjectBytes(bytes);
}
void Simulator::SetNoiseRate(double p) {
    line_->SetNoiseRate(p);
}
void Simulator::SetAnswerDelayUs(uint32_t us) {
    line_->SetAnswerDelayUs(us);
}
void Simulator::SetWireTime(bool on) {
    line_->SetWireTime(on);
}
void Simulator::SetEchoProbe(bool on) {
    line_->SetEchoProbe(on);
}
void Simulator::SetByteObserver(ByteObserver observer) {
    line_->SetByteObserver(std::move(observer));
}
bool Simulator::WaitIdle(int idleMs, int timeoutMs) const {
    return line_->WaitIdle(idleMs, timeoutMs);
}

}  // namespace px5r

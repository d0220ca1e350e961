// Simulated PX5R pre-amp racks on a pseudo-terminal.
//
// The simulator owns the master side of a pty and plays the half-duplex line with up to 16
// racks on it: every byte the controller writes is echoed back (the line driver hears itself),
// and the addressed rack answers polls, set channel, set direct switch, data requests and
// version requests. Faults are available on demand for tests: answer delay, dropped answers,
// bad checksums, noise bytes, racks leaving and rejoining the line, and wire-time pacing at
// 19200 baud (about 520 us per byte).
//
// Typical use (`mic --simulate N`, tests):
//     px5r::Simulator sim(px5r::SimOptions{.racks = 4});
//     if (!sim.Start()) ...;                   // opens the pty, starts the line thread
//     std::string dev = sim.SlavePath();       // open this as the serial device
//     ...
//     sim.Stop();                              // also done by the destructor
//
// Every method is safe to call from any thread while the simulator runs.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace px5r {

inline constexpr int kRacks = 16;
inline constexpr int kChannels = 12;
inline constexpr size_t kVersionLength = 10;
inline constexpr uint8_t kProbeByte = 0xAA;
// One byte on the wire at 19200 baud, 8N1: 10 bits.
inline constexpr uint32_t kByteTimeNs = 520833;

struct ChannelState {
    uint8_t setting = 0x03;     // gain step 3 (20 dB), no switches
    uint8_t assignment = 0x7F;  // wire value: console channel 0-126, 0x7F = none
    uint8_t directSwitch = 0;
    uint8_t status = 1;  // 0 = channel not fitted; 1-15 channel kind
    bool operator==(const ChannelState&) const = default;
};

struct RackState {
    bool present = false;      // on the line and answering
    bool pendingData = false;  // a front-panel change waits to be fetched (polls answer 0x06)
    std::array<ChannelState, kChannels> channels{};
    std::string version = "PX5R 1.04 ";  // 10 characters 0x20-0x7E
};

// Counters of what crossed the line (whole life of the simulator).
struct SimStats {
    uint64_t bytesReceived = 0;
    uint64_t framesReceived = 0;
    uint64_t polls = 0;
    uint64_t setChannels = 0;
    uint64_t setDirects = 0;
    uint64_t dataRequests = 0;
    uint64_t versionRequests = 0;
    uint64_t answersSent = 0;
    uint64_t bytesSent = 0;  // echo bytes not counted: answers and noise only
    uint64_t answersDropped = 0;
    uint64_t naks = 0;
    uint64_t noiseBytes = 0;
    uint64_t probesSeen = 0;
};

struct SimOptions {
    int racks = 1;               // racks 0 .. racks-1 are present at start
    bool wireTime = false;       // pace echo and answers at the baud rate
    uint32_t answerDelayUs = 0;  // turn-around time of a rack before its answer
    uint64_t seed = 1;           // noise and drop randomness
};

class Simulator {
  public:
    explicit Simulator(SimOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty pair and starts the line thread. False (with errno kept) when no pty
    // could be opened.
    bool Start();
    void Stop();
    bool Running() const;
    // Path of the pty's slave side, the "serial device" for the controller. Empty before Start.
    std::string SlavePath() const;

    // Snapshots of the racks as they are now.
    RackState Rack(int rack) const;
    std::array<RackState, kRacks> Racks() const;
    SimStats Stats() const;

    // Front panel of a rack: sets one channel and flags the rack so that its next poll is
    // answered ACK with data (0x06) until a data request has fetched the change.
    void FrontPanel(int rack, int channel, const ChannelState& state);
    // Replaces a rack's whole state (no flag is raised).
    void SetRack(int rack, const RackState& state);

    // A rack leaves (powered off: answers nothing) or rejoins the line (keeps its state).
    void SetPresent(int rack, bool present);
    // The next `count` answers of `rack` (-1: of any rack) are not sent.
    void DropAnswers(int rack, int count);
    // Drops each answer with this probability (0-1), as a line with bad contacts would.
    void SetDropRate(double probability);
    // The next `count` data blocks or version texts of `rack` (-1: any) carry a bad checksum.
    void CorruptChecksums(int rack, int count);
    // Writes `count` random bytes below 0x80 onto the line now (no rack is addressed by them).
    void InjectNoise(int count);
    // Writes these exact bytes onto the line now.
    void InjectBytes(const std::vector<uint8_t>& bytes);
    // After each answer, writes a random noise byte with this probability (0-1).
    void SetNoiseRate(double probability);
    void SetAnswerDelayUs(uint32_t us);
    void SetWireTime(bool on);
    // The probe byte 0xAA is sent while the controller's line driver is off, so the line does
    // not echo it; with this on, it is echoed as by a foreign device on the port.
    void SetEchoProbe(bool on);

    // Called on the line thread for every byte the controller sends, with the time it was read
    // from the pty (benchmarks time the first byte of a frame with it). Set before Start.
    using ByteObserver = std::function<void(uint8_t, std::chrono::steady_clock::time_point)>;
    void SetByteObserver(ByteObserver observer);

    // Blocks until the line has been idle (no byte in or out) for `idleMs`, or `timeoutMs` passed.
    bool WaitIdle(int idleMs, int timeoutMs) const;

  private:
    class Line;
    std::unique_ptr<Line> line_;
};

// The 37-byte data block a rack sends for `state` (checksum included).
std::array<uint8_t, 37> DataBlock(const RackState& state);
// The 12-byte version answer: 10 text bytes, checksum, one completing byte.
std::array<uint8_t, 12> VersionAnswer(const RackState& state);

}  // namespace px5r

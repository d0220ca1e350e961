#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "px5r/Simulator.h"

using namespace px5r;
using Bytes = std::vector<uint8_t>;

namespace {

// The controller's end of the line, kept minimal: raw writes and reads with a deadline.
class Controller {
  public:
    explicit Controller(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Controller() { ::close(fd_); }
    bool ok() const { return fd_ >= 0; }
    void Send(const Bytes& b) { ASSERT_EQ(::write(fd_, b.data(), b.size()), (ssize_t)b.size()); }
    // Reads until `count` bytes came or `ms` passed.
    Bytes Read(size_t count, int ms = 3000) {
        Bytes got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, 10);
            uint8_t buf[64];
            ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) {
                got.insert(got.end(), buf, buf + n);
            }
        }
        return got;
    }
    Bytes Transact(const Bytes& frame, size_t answerLength, int ms = 3000) {
        Send(frame);
        Bytes got = Read(frame.size() + answerLength, ms);
        EXPECT_GE(got.size(), frame.size());
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got.begin())) << "echo first";
        return Bytes(got.begin() + std::min(got.size(), frame.size()), got.end());
    }

  private:
    int fd_ = -1;
};

}  // namespace

TEST(SimulatedRacks, EchoEveryFrameAndAnswerTheCommandSet) {
    Simulator sim({.racks = 3});
    ASSERT_TRUE(sim.Start());
    Controller line(sim.SlavePath());
    ASSERT_TRUE(line.ok());

    EXPECT_EQ(line.Transact({0x81, 0x01}, 1), Bytes{0x04});
    // Rack 2, channel 11: 20 dB with phantom, no assignment.
    EXPECT_EQ(line.Transact({0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D}, 1), Bytes{0x04});
    EXPECT_EQ(sim.Rack(2).channels[11].setting, 0x43);
    EXPECT_EQ(line.Transact({0x83, 0x13, 0x0B, 0x01, 0x0C}, 1), Bytes{0x04});
    EXPECT_EQ(sim.Rack(2).channels[11].directSwitch, 1);

    Bytes block = line.Transact({0x83, 0x14}, 37);
    ASSERT_EQ(block.size(), 37u);
    EXPECT_EQ(block[22], 0x43);
    EXPECT_EQ(block[23], 0x7F);
    EXPECT_EQ(block[35], 0x21) << "direct switch in bit 5, status 1";
    uint32_t sum = 0;
    for (int i = 0; i < 36; ++i)
        sum += block[i];
    EXPECT_EQ(block[36], sum & 0x7F);

    Bytes version = line.Transact({0x81, 0x10}, 12);
    ASSERT_EQ(version.size(), 12u);
    EXPECT_EQ(std::string(version.begin(), version.begin() + 10), sim.Rack(0).version);
}

TEST(SimulatedRacks, RefuseBadFramesAndStaySilentWhenAbsent) {
    Simulator sim({.racks = 1});
    ASSERT_TRUE(sim.Start());
    Controller line(sim.SlavePath());
    EXPECT_EQ(line.Transact({0x81, 0x11, 0x00, 0x43, 0x7F, 0x00}, 1), Bytes{0x05});
    EXPECT_EQ(line.Transact({0x81, 0x11, 0x0C, 0x43, 0x7F, 0x0E}, 1), Bytes{0x05})
        << "channel 12 does not exist";
    EXPECT_EQ(sim.Rack(0).channels[0], ChannelState{});
    // Rack 5 is not there: the line still echoes, nobody answers.
    EXPECT_EQ(line.Transact({0x86, 0x01}, 1, 200), Bytes{});
    // The probe byte goes out with the line driver off: no echo.
    line.Send({kProbeByte});
    EXPECT_EQ(line.Read(1, 200), Bytes{});
    sim.SetEchoProbe(true);
    line.Send({kProbeByte});
    EXPECT_EQ(line.Read(1), Bytes{kProbeByte});
}

TEST(SimulatedRacks, ReportFrontPanelChangesThroughAckWithData) {
    Simulator sim({.racks = 2});
    ASSERT_TRUE(sim.Start());
    Controller line(sim.SlavePath());
    sim.FrontPanel(1, 4, {.setting = 0x4A, .assignment = 9, .directSwitch = 0, .status = 2});
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1), Bytes{0x06});
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1), Bytes{0x06}) << "until fetched";
    Bytes block = line.Transact({0x82, 0x14}, 37);
    ASSERT_EQ(block.size(), 37u);
    EXPECT_EQ(block[8], 0x4A);
    EXPECT_EQ(block[9], 9);
    EXPECT_EQ(block[28], 2);
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1), Bytes{0x04});
}

TEST(SimulatedRacks, InjectFaultsOnDemand) {
    Simulator sim({.racks = 2});
    ASSERT_TRUE(sim.Start());
    Controller line(sim.SlavePath());
    sim.DropAnswers(1, 2);
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1, 150), Bytes{});
    EXPECT_EQ(line.Transact({0x81, 0x01}, 1), Bytes{0x04}) << "other racks unaffected";
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1, 150), Bytes{});
    EXPECT_EQ(line.Transact({0x82, 0x01}, 1), Bytes{0x04});

    sim.CorruptChecksums(-1, 1);
    Bytes bad = line.Transact({0x81, 0x14}, 37);
    Bytes good = line.Transact({0x81, 0x14}, 37);
    ASSERT_EQ(bad.size(), 37u);
    ASSERT_EQ(good.size(), 37u);
    EXPECT_NE(bad[36], good[36]);
    EXPECT_TRUE(std::equal(bad.begin(), bad.begin() + 36, good.begin()));

    sim.SetPresent(0, false);
    EXPECT_EQ(line.Transact({0x81, 0x01}, 1, 150), Bytes{});
    sim.SetPresent(0, true);
    EXPECT_EQ(line.Transact({0x81, 0x01}, 1), Bytes{0x04});

    sim.InjectNoise(5);
    Bytes noise = line.Read(5);
    ASSERT_EQ(noise.size(), 5u);
    for (uint8_t b : noise)
        EXPECT_LT(b, 0x80);
    EXPECT_EQ(sim.Stats().answersDropped, 2u);
}

TEST(SimulatedRacks, PaceTheLineAtTheBaudRateWhenAsked) {
    Simulator sim({.racks = 1, .wireTime = true, .answerDelayUs = 1000});
    ASSERT_TRUE(sim.Start());
    Controller line(sim.SlavePath());
    auto start = std::chrono::steady_clock::now();
    Bytes block = line.Transact({0x81, 0x14}, 37);
    auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(block.size(), 37u);
    // 2 frame bytes and 37 answer bytes at 520 us, plus the turn-around: the answer cannot
    // arrive sooner (a loaded machine may make it later, so only the floor is checked).
    EXPECT_GE(took, std::chrono::nanoseconds(39 * kByteTimeNs + 1'000'000));
}

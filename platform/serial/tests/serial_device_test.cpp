#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/serial/EventFd.h"
#include "platform/serial/SerialDevice.h"

using namespace platform::serial;

namespace {

struct PtyPair {
    int master = -1;
    std::string slavePath;
    PtyPair() {
        int slave = -1;
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            slavePath = name;
            ::close(slave);
        }
    }
    ~PtyPair() {
        if (master >= 0) {
            ::close(master);
        }
    }
};

}  // namespace

TEST(LineSettingsText, ParsesTheOwnersSettingsAndRejectsGarbage) {
    LineSettings s{};
    s.baud = 1;
    ASSERT_TRUE(parseLineSettings("baud=19200 parity=N data=8 stop=1", s));
    EXPECT_EQ(s.baud, 19200u);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8u);
    EXPECT_EQ(s.stopBits, 1u);

    LineSettings before = s;
    EXPECT_FALSE(parseLineSettings("baud=fast", s));
    EXPECT_FALSE(parseLineSettings("speed=9600", s));
    EXPECT_FALSE(parseLineSettings("parity=NO", s));
    EXPECT_FALSE(parseLineSettings("baud", s));
    EXPECT_EQ(s.baud, before.baud) << "a failed parse leaves the settings alone";
}

TEST(LineSettingsAttributes, BuildsA19200Raw8N1LineAndRefusesWhatTheLineCannotDo) {
    termios t{};
    ASSERT_EQ(buildAttributes(LineSettings{}, t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);

    EXPECT_EQ(buildAttributes({12345, 'N', 8, 1}, t), EINVAL);
    EXPECT_EQ(buildAttributes({19200, 'M', 8, 1}, t), EINVAL);
    EXPECT_EQ(buildAttributes({19200, 'N', 9, 1}, t), EINVAL);
    EXPECT_EQ(buildAttributes({19200, 'N', 8, 3}, t), EINVAL);
}

TEST(ASerialDevice, ReportsWhyAPathCannotBeOpened) {
    SerialDevice dev;
    EXPECT_EQ(dev.open("/nonexistent/ttyS9"), ENOENT);
    EXPECT_FALSE(dev.isOpen());
}

TEST(ASerialDevice, OnAPtyTalksRawAndTreatsMissingModemLinesAsOneNotice) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    SerialDevice dev;
    std::vector<std::string> notices;
    dev.setNoticeHandler([&](std::string_view n) { notices.emplace_back(n); });
    ASSERT_EQ(dev.open(pty.slavePath), 0);
    termios t{};
    ASSERT_EQ(dev.getAttributes(t), 0);
    ASSERT_EQ(buildAttributes(LineSettings{}, t), 0);
    ASSERT_EQ(dev.setAttributes(t), 0);

    EXPECT_EQ(dev.setRts(true), 0);
    EXPECT_EQ(dev.setRts(false), 0);
    EXPECT_EQ(dev.setRts(true), 0);
    EXPECT_FALSE(dev.hasModemLines());
    EXPECT_EQ(notices.size(), 1u);

    const uint8_t frame[] = {0x83, 0x11, 0x0B, 0x43, 0x7F, 0x4D};
    ASSERT_EQ(dev.writeAll(frame, sizeof frame, 1000), 0);
    uint8_t got[16];
    ASSERT_EQ(::read(pty.master, got, sizeof got), 6);
    EXPECT_EQ(0, memcmp(got, frame, 6)) << "bytes must pass unaltered (0x7F, 0x0B, high bit)";

    const uint8_t answer[] = {0x04, 0x0D, 0x11};
    ASSERT_EQ(::write(pty.master, answer, 3), 3);
    ASSERT_GT(dev.waitReadable(2000), 0);
    int waiting = 0;
    for (int i = 0; i < 200 && waiting < 3; ++i) {
        ASSERT_EQ(dev.bytesWaiting(waiting), 0);
        usleep(1000);
    }
    EXPECT_EQ(waiting, 3);
    uint8_t one = 0;
    ReadResult r = dev.read(&one, 1);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(one, 0x04);
    r = dev.read(got, sizeof got);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(got[0], 0x0D) << "CR must not be translated";
    EXPECT_EQ(got[1], 0x11) << "XON must not be swallowed";

    ASSERT_EQ(::write(pty.master, answer, 3), 3);
    usleep(20000);
    ASSERT_EQ(dev.purge(), 0);
    r = dev.read(got, sizeof got);
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.error, 0) << "an empty non-blocking read is not an error";
}

TEST(ASerialDevice, SeesTheLineGoWhenTheOtherEndHangsUp) {
    auto* pty = new PtyPair;
    ASSERT_GE(pty->master, 0);
    SerialDevice dev;
    ASSERT_EQ(dev.open(pty->slavePath), 0);
    delete pty;
    int revents = dev.waitReadable(2000);
    ASSERT_GT(revents, 0);
    EXPECT_TRUE(revents & POLLHUP);
    // A pty slave keeps answering reads with nothing (or EIO): the hang-up shows only in poll.
    uint8_t b;
    ReadResult r = dev.read(&b, 1);
    EXPECT_EQ(r.count, 0u);
    EXPECT_TRUE(r.error == 0 || isDeviceLost(r.error)) << r.error;
}

namespace {

// Real calls, except the ones a test chooses to fail.
struct FailingCalls : PosixSysCalls {
    int ioctlError = 0;
    unsigned long ioctlRequest = 0;
    int writeError = 0;
    int pollResult = 1;
    int ioctl(int fd, unsigned long request, void* arg) override {
        if (ioctlError != 0 && request == ioctlRequest) {
            errno = ioctlError;
            return -1;
        }
        return PosixSysCalls::ioctl(fd, request, arg);
    }
    ssize_t write(int fd, const void* buf, size_t count) override {
        if (writeError != 0) {
            errno = writeError;
            return -1;
        }
        return PosixSysCalls::write(fd, buf, count);
    }
    int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        if (pollResult == 0) {
            return 0;
        }
        return PosixSysCalls::poll(fds, count, timeoutMs);
    }
};

}  // namespace

TEST(ASerialDevice, PassesRealModemLineErrorsOnAndSwitchesRtsOnDevicesThatHaveIt) {
    PtyPair pty;
    FailingCalls calls;
    SerialDevice dev(calls);
    int notices = 0;
    dev.setNoticeHandler([&](std::string_view) { ++notices; });
    ASSERT_EQ(dev.open(pty.slavePath), 0);
    calls.ioctlRequest = TIOCMBIS;
    calls.ioctlError = EIO;
    EXPECT_EQ(dev.setRts(true), EIO);
    EXPECT_TRUE(dev.hasModemLines()) << "an I/O error is not a missing modem line";
    EXPECT_EQ(notices, 0);
}

TEST(ASerialDevice, GivesUpAWriteThatCannotDrainAndReportsHardWriteErrors) {
    PtyPair pty;
    FailingCalls calls;
    SerialDevice dev(calls);
    ASSERT_EQ(dev.open(pty.slavePath), 0);
    const uint8_t b = 0x81;
    calls.writeError = EAGAIN;
    calls.pollResult = 0;
    EXPECT_EQ(dev.writeAll(&b, 1, 30), ETIMEDOUT);
    calls.writeError = EIO;
    EXPECT_EQ(dev.writeAll(&b, 1, 30), EIO);
}

TEST(ASerialDevice, RefusesRs485OnADriverWithoutIt) {
    PtyPair pty;
    SerialDevice dev;
    ASSERT_EQ(dev.open(pty.slavePath), 0);
    EXPECT_NE(dev.setRs485(true), 0);
    EXPECT_FALSE(dev.rs485());
}

// A driver with kernel RS-485 support, played by the test: it keeps the configuration it is
// given and counts modem-line requests.
struct Rs485Driver : PosixSysCalls {
    serial_rs485 conf{};
    int modemLineCalls = 0;
    int ioctl(int fd, unsigned long request, void* arg) override {
        if (request == TIOCGRS485) {
            *static_cast<serial_rs485*>(arg) = conf;
            return 0;
        }
        if (request == TIOCSRS485) {
            conf = *static_cast<serial_rs485*>(arg);
            return 0;
        }
        if (request == TIOCMBIS || request == TIOCMBIC) {
            ++modemLineCalls;
            return 0;
        }
        return PosixSysCalls::ioctl(fd, request, arg);
    }
};

TEST(ASerialDevice, HandsDirectionSwitchingToAnRs485DriverAndKeepsItsOtherSettings) {
    PtyPair pty;
    Rs485Driver driver;
    driver.conf.flags = SER_RS485_RTS_AFTER_SEND;  // as a driver may come up
    driver.conf.delay_rts_before_send = 3;
    SerialDevice dev(driver);
    ASSERT_EQ(dev.open(pty.slavePath), 0);

    ASSERT_EQ(dev.setRs485(true), 0);
    EXPECT_TRUE(dev.rs485());
    EXPECT_TRUE(driver.conf.flags & SER_RS485_ENABLED);
    EXPECT_TRUE(driver.conf.flags & SER_RS485_RTS_ON_SEND) << "driver raised while sending";
    EXPECT_FALSE(driver.conf.flags & SER_RS485_RTS_AFTER_SEND) << "and lowered after";
    EXPECT_TRUE(driver.conf.flags & SER_RS485_RX_DURING_TX) << "the echo must still be heard";
    EXPECT_EQ(driver.conf.delay_rts_before_send, 3u);

    EXPECT_EQ(dev.setRts(true), 0);
    EXPECT_EQ(dev.setRts(false), 0);
    EXPECT_EQ(driver.modemLineCalls, 0) << "the driver switches the line, not us";

    ASSERT_EQ(dev.setRs485(false), 0);
    EXPECT_FALSE(driver.conf.flags & SER_RS485_ENABLED);
    EXPECT_EQ(dev.setRts(true), 0);
    EXPECT_EQ(driver.modemLineCalls, 1) << "without RS-485 mode RTS is ours again";
}

TEST(AnEventFd, StaysSignalledUntilReset) {
    EventFd ev;
    ASSERT_TRUE(ev.valid());
    EXPECT_FALSE(ev.isSignalled());
    ev.signal();
    ev.signal();
    EXPECT_TRUE(ev.isSignalled());
    EXPECT_TRUE(ev.isSignalled());
    ev.reset();
    EXPECT_FALSE(ev.isSignalled());
}

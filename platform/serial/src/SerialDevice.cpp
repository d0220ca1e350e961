#include "platform/serial/SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace platform::serial {

namespace {

bool parseNumber(std::string_view text, uint32_t& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

struct BaudEntry {
    uint32_t rate;
    speed_t code;
};
constexpr BaudEntry kBaudRates[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

int errnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

bool parseLineSettings(std::string_view text, LineSettings& out) {
    LineSettings parsed = out;
    while (!text.empty()) {
        size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        text.remove_prefix(start);
        size_t end = text.find(' ');
        std::string_view item = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
        size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            return false;
        }
        std::string_view key = item.substr(0, eq);
        std::string_view value = item.substr(eq + 1);
        if (key == "parity") {
            if (value.size() != 1) {
                return false;
            }
            parsed.parity = value[0];
            continue;
        }
        uint32_t number = 0;
        if (!parseNumber(value, number)) {
            return false;
        }
        if (key == "baud") {
            parsed.baud = number;
        } else if (key == "data") {
            parsed.dataBits = number;
        } else if (key == "stop") {
            parsed.stopBits = number;
        } else {
            return false;
        }
    }
    out = parsed;
    return true;
}

int buildAttributes(const LineSettings& settings, termios& attrs) {
    speed_t speed = 0;
    for (const auto& entry : kBaudRates) {
        if (entry.rate == settings.baud) {
            speed = entry.code;
        }
    }
    if (speed == 0) {
        return EINVAL;
    }
    tcflag_t size;
    switch (settings.dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return EINVAL;
    }
    if (settings.stopBits != 1 && settings.stopBits != 2) {
        return EINVAL;
    }
    tcflag_t parity;
    switch (settings.parity) {
        case 'N':
        case 'n':
            parity = 0;
            break;
        case 'E':
        case 'e':
            parity = PARENB;
            break;
        case 'O':
        case 'o':
            parity = PARENB | PARODD;
            break;
        default:
            return EINVAL;
    }
    cfmakeraw(&attrs);
    attrs.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    attrs.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    attrs.c_cflag |= size | parity | CLOCAL | CREAD;
    if (settings.stopBits == 2) {
        attrs.c_cflag |= CSTOPB;
    }
    attrs.c_cc[VMIN] = 0;
    attrs.c_cc[VTIME] = 0;
    cfsetispeed(&attrs, speed);
    cfsetospeed(&attrs, speed);
    return 0;
}

bool isDeviceLost(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

SerialDevice::SerialDevice(SysCalls& sys)
    : sys_(sys), notice_([](std::string_view text) {
          std::fprintf(stderr, "serial: %.*s\n", static_cast<int>(text.size()), text.data());
      }) {}

SerialDevice::~SerialDevice() {
    close();
}

int SerialDevice::open(const std::string& path) {
    close();
    errno = 0;
    int fd = sys_.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errnoOr(EIO);
    }
    // Exclusive use, as the line has one master. A device that refuses the request (some
    // USB adapters) still works; it just is not protected against a second opener.
    sys_.ioctl(fd, TIOCEXCL, nullptr);
    fd_ = fd;
    path_ = path;
    noModemLines_ = false;
    rs485_ = false;
    return 0;
}

void SerialDevice::close() {
    if (fd_ >= 0) {
        // The exclusive flag belongs to the tty, not to our descriptor: it outlives us while
        // anyone else holds the device open, and would then lock out our own reopen.
        sys_.ioctl(fd_, TIOCNXCL, nullptr);
        sys_.close(fd_);
        fd_ = -1;
    }
}

void SerialDevice::releaseExclusive() {
    if (fd_ >= 0) {
        sys_.ioctl(fd_, TIOCNXCL, nullptr);
    }
}

int SerialDevice::getAttributes(termios& attrs) {
    errno = 0;
    return sys_.tcgetattr(fd_, &attrs) == 0 ? 0 : errnoOr(EIO);
}

int SerialDevice::setAttributes(const termios& attrs) {
    errno = 0;
    return sys_.tcsetattr(fd_, TCSANOW, &attrs) == 0 ? 0 : errnoOr(EIO);
}

int SerialDevice::setRts(bool raised) {
    if (noModemLines_ || rs485_) {
        return 0;
    }
    int bits = TIOCM_RTS;
    errno = 0;
    if (sys_.ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bits) == 0) {
        return 0;
    }
    int error = errnoOr(EIO);
    if (error == ENOTTY || error == EINVAL) {
        noModemLines_ = true;
        notice_("device " + path_ +
                " has no modem control lines; RTS is not switched (the line driver must turn "
                "itself around)");
        return 0;
    }
    return error;
}

int SerialDevice::setRs485(bool enable) {
    serial_rs485 conf{};
    errno = 0;
    if (sys_.ioctl(fd_, TIOCGRS485, &conf) != 0) {
        return errnoOr(EIO);
    }
    if (enable) {
        conf.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        conf.flags &= ~SER_RS485_RTS_AFTER_SEND;
        // We must hear our own echo: the line's echo is how a frame's end is found.
        conf.flags |= SER_RS485_RX_DURING_TX;
    } else {
        conf.flags &= ~SER_RS485_ENABLED;
    }
    errno = 0;
    if (sys_.ioctl(fd_, TIOCSRS485, &conf) != 0) {
        return errnoOr(EIO);
    }
    rs485_ = enable;
    return 0;
}

int SerialDevice::purge() {
    errno = 0;
    return sys_.tcflush(fd_, TCIOFLUSH) == 0 ? 0 : errnoOr(EIO);
}

int SerialDevice::bytesWaiting(int& count) {
    count = 0;
    errno = 0;
    if (sys_.ioctl(fd_, FIONREAD, &count) != 0) {
        count = 0;
        return errnoOr(EIO);
    }
    if (count < 0) {
        count = 0;
    }
    return 0;
}

ReadResult SerialDevice::read(uint8_t* buf, size_t size) {
    for (;;) {
        errno = 0;
        ssize_t n = sys_.read(fd_, buf, size);
        if (n >= 0) {
            return {static_cast<size_t>(n), 0};
        }
        int error = errnoOr(EIO);
        if (error == EINTR) {
            continue;
        }
        if (error == EAGAIN || error == EWOULDBLOCK) {
            return {0, 0};
        }
        return {0, error};
    }
}

int SerialDevice::writeAll(const uint8_t* data, size_t size, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < size) {
        errno = 0;
        ssize_t n = sys_.write(fd_, data + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        int error = n == 0 ? EAGAIN : errnoOr(EIO);
        if (error == EINTR) {
            continue;
        }
        if (error != EAGAIN && error != EWOULDBLOCK) {
            return error;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return ETIMEDOUT;
        }
        pollfd p{fd_, POLLOUT, 0};
        int r = sys_.poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) {
            return errnoOr(EIO);
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            return (p.revents & POLLNVAL) ? EBADF : EIO;
        }
    }
    return 0;
}

int SerialDevice::waitReadable(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        errno = 0;
        int r = sys_.poll(&p, 1, timeoutMs);
        if (r >= 0) {
            return r == 0 ? 0 : p.revents;
        }
        if (errno != EINTR) {
            return -errnoOr(EIO);
        }
    }
}

}  // namespace platform::serial

// One serial device opened raw and non-blocking: termios line settings, RTS through the modem
// control ioctls, the kernel's RS-485 direction control as an option, purge, single-byte reads
// and bounded writes. Not thread-safe by itself: the owner serialises calls (CSerialPort holds
// its port lock around each one).
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/serial/SysCalls.h"

namespace platform::serial {

struct LineSettings {
    uint32_t baud = 19200;
    char parity = 'N';  // N, E, O (M and S are not available on Linux)
    uint32_t dataBits = 8;
    uint32_t stopBits = 1;
};

// Parses "baud=19200 parity=N data=8 stop=1" (any order, any subset; absent fields keep the
// values already in `out`). False on an unknown key or a malformed number.
bool parseLineSettings(std::string_view text, LineSettings& out);

// Fills `attrs` (starting from what the device reported) for a raw line with the settings:
// no echo, no canonical processing, no flow control, reads never block (VMIN 0, VTIME 0).
// Returns 0, or EINVAL for a baud rate, parity, data or stop bit count the line cannot take.
int buildAttributes(const LineSettings& settings, termios& attrs);

struct ReadResult {
    size_t count = 0;  // bytes read (0 when nothing was waiting)
    int error = 0;     // errno of a failed read, 0 otherwise
};

class SerialDevice {
  public:
    using NoticeFn = std::function<void(std::string_view)>;

    explicit SerialDevice(SysCalls& sys = systemCalls());
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Informational notices (a device without modem lines). Default: stderr.
    void setNoticeHandler(NoticeFn fn) { notice_ = std::move(fn); }

    // Opens the path read/write, non-blocking, not as a controlling terminal, and asks for
    // exclusive use (TIOCEXCL: nobody else may open it while we hold it). 0 or errno.
    int open(const std::string& path);
    void close();
    // Gives up exclusive use while keeping the descriptor, so that the path can be opened
    // again before this descriptor is closed.
    void releaseExclusive();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    int getAttributes(termios& attrs);
    int setAttributes(const termios& attrs);

    // Raises or lowers RTS. A device without modem lines (a pty answers ENOTTY, some adapters
    // EINVAL) is not an error: RTS control becomes a no-op and one notice is given per open.
    // While the kernel's RS-485 mode is on the driver switches RTS itself and this is a no-op.
    int setRts(bool raised);
    bool hasModemLines() const { return !noModemLines_; }

    // Turns the kernel's RS-485 mode on (RTS high while sending, low after the last bit) or off.
    // 0 or errno (ENOTTY when the driver has no RS-485 support).
    int setRs485(bool enable);
    bool rs485() const { return rs485_; }

    // Discards unread input and unsent output.
    int purge();
    // Bytes waiting in the input queue (FIONREAD). 0 or errno.
    int bytesWaiting(int& count);
    // Reads what is waiting, at most `size` bytes; never blocks.
    ReadResult read(uint8_t* buf, size_t size);
    // Writes every byte, waiting for room up to `timeoutMs` in all. 0, errno, or ETIMEDOUT.
    int writeAll(const uint8_t* data, size_t size, int timeoutMs);
    // Waits up to `timeoutMs` for input. Returns the poll revents (0 on time-out), or -errno.
    int waitReadable(int timeoutMs);

    SysCalls& sys() { return sys_; }

  private:
    SysCalls& sys_;
    NoticeFn notice_;
    int fd_ = -1;
    std::string path_;
    bool noModemLines_ = false;
    bool rs485_ = false;
};

// True for the errors that mean the device itself is gone (adapter unplugged, hang-up).
bool isDeviceLost(int error);

}  // namespace platform::serial

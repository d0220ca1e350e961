// A non-blocking UDP socket with numeric addresses, for the remote control and its clients.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mic/osc/Peer.h"

namespace mic::osc {

struct Datagram {
    Peer peer;
    std::vector<uint8_t> bytes;
    bool truncated = false;  // longer than the receive limit; `bytes` holds its start
};

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to a numeric IPv4 or IPv6 address ("127.0.0.1", "0.0.0.0", "::") and a port (0:
    // any free port). False with `error` set when the address is not numeric or the bind fails.
    bool Bind(const std::string& host, uint16_t port, std::string& error);
    bool Open() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    uint16_t LocalPort() const;

    // The next waiting datagram, or nothing when none waits. Datagrams longer than `limit`
    // come back truncated and marked.
    std::optional<Datagram> Receive(size_t limit);
    // Waits up to `timeoutMs` for a datagram (clients; the program never blocks).
    bool WaitReadable(int timeoutMs) const;
    bool SendTo(const Peer& peer, const uint8_t* data, size_t size);

  private:
    int fd_ = -1;
    int family_ = 0;
};

}  // namespace mic::osc

// The client end of the remote control (micctl, tests): sends messages to mic and reads its
// replies and pushes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mic/osc/OscMessage.h"
#include "mic/osc/UdpSocket.h"

namespace mic::osc {

class OscClient {
  public:
    // Resolves `host` (a name or a numeric address) and opens a socket on a free port: on the
    // loopback address when the server is local, else on every address. False with `error`.
    bool Open(const std::string& host, uint16_t port, std::string& error);
    bool Send(const OscMessage& message);
    // The next message from the server within `timeoutMs`; datagrams from anyone else and
    // packets that do not decode are skipped. A bundle's messages come one by one.
    std::optional<OscMessage> Receive(int timeoutMs);
    const Peer& Server() const { return server_; }

  private:
    UdpSocket socket_;
    Peer server_;
    std::vector<OscMessage> pending_;
};

}  // namespace mic::osc

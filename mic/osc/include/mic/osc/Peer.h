// A remote peer: its numeric address and UDP port.
#pragma once

#include <cstdint>
#include <string>

namespace mic::osc {

struct Peer {
    std::string host;  // numeric: "127.0.0.1", "::1"
    uint16_t port = 0;
    // "127.0.0.1:9000", "[::1]:9000": the detail of a remote change's origin.
    std::string Text() const {
        const bool v6 = host.find(':') != std::string::npos;
        return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }
    friend bool operator==(const Peer&, const Peer&) = default;
};

}  // namespace mic::osc

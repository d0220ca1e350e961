#include "mic/osc/OscClient.h"

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>

#include "mic/osc/AllowList.h"

namespace mic::osc {

namespace {

bool Resolve(const std::string& host, std::string& numeric, std::string& error) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_family = AF_UNSPEC;
    addrinfo* found = nullptr;
    const int r = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (r != 0 || found == nullptr) {
        error = "cannot resolve " + host + ": " + ::gai_strerror(r);
        return false;
    }
    // mic listens on IPv4 unless told otherwise: a name with both kinds of address (localhost)
    // is taken as IPv4.
    const addrinfo* pick = found;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            pick = a;
            break;
        }
    }
    char text[NI_MAXHOST] = {};
    const int n = ::getnameinfo(pick->ai_addr, pick->ai_addrlen, text, sizeof text, nullptr, 0,
                                NI_NUMERICHOST);
    ::freeaddrinfo(found);
    if (n != 0) {
        error = "cannot resolve " + host;
        return false;
    }
    numeric = text;
    return true;
}

}  // namespace

bool OscClient::Open(const std::string& host, uint16_t port, std::string& error) {
    std::string numeric;
    if (!Resolve(host, numeric, error))
        return false;
    const bool v6 = numeric.find(':') != std::string::npos;
    const std::string local =
        IsLoopback(numeric) ? (v6 ? "::1" : "127.0.0.1") : (v6 ? "::" : "0.0.0.0");
    if (!socket_.Bind(local, 0, error))
        return false;
    server_ = {numeric, port};
    return true;
}

bool OscClient::Send(const OscMessage& message) {
    const std::vector<uint8_t> bytes = EncodeMessage(message);
    return !bytes.empty() && socket_.SendTo(server_, bytes.data(), bytes.size());
}

std::optional<OscMessage> OscClient::Receive(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pending_.empty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0 || !socket_.WaitReadable(static_cast<int>(left.count())))
            return std::nullopt;
        while (std::optional<Datagram> d = socket_.Receive(kMaxPacketSize + 4)) {
            if (!(d->peer == server_))
                continue;
            std::vector<OscMessage> messages;
            std::string problem;
            if (DecodePacket(d->bytes.data(), d->bytes.size(), messages, problem))
                pending_.insert(pending_.end(), messages.begin(), messages.end());
        }
    }
    OscMessage m = std::move(pending_.front());
    pending_.erase(pending_.begin());
    return m;
}

}  // namespace mic::osc

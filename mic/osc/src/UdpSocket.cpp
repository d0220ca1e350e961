#include "mic/osc/UdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mic::osc {

namespace {

// A numeric address and port as a socket address of `family` (an IPv4 peer of an IPv6
// socket is mapped).
bool ToSockaddr(const std::string& host, uint16_t port, int family, sockaddr_storage& out,
                socklen_t& length) {
    std::memset(&out, 0, sizeof out);
    in_addr v4{};
    in6_addr v6{};
    const bool isV4 = inet_pton(AF_INET, host.c_str(), &v4) == 1;
    const bool isV6 = !isV4 && inet_pton(AF_INET6, host.c_str(), &v6) == 1;
    if (family == AF_INET && isV4) {
        auto* a = reinterpret_cast<sockaddr_in*>(&out);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        a->sin_addr = v4;
        length = sizeof *a;
        return true;
    }
    if (family == AF_INET6 && (isV4 || isV6)) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&out);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        if (isV4) {
            a->sin6_addr.s6_addr[10] = 0xFF;
            a->sin6_addr.s6_addr[11] = 0xFF;
            std::memcpy(&a->sin6_addr.s6_addr[12], &v4, 4);
        } else {
            a->sin6_addr = v6;
        }
        length = sizeof *a;
        return true;
    }
    return false;
}

Peer FromSockaddr(const sockaddr_storage& from) {
    Peer p;
    char text[INET6_ADDRSTRLEN] = {};
    if (from.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&from);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        p.port = ntohs(a->sin_port);
    } else if (from.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&from);
        if (IN6_IS_ADDR_V4MAPPED(&a->sin6_addr))
            inet_ntop(AF_INET, &a->sin6_addr.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        p.port = ntohs(a->sin6_port);
    }
    p.host = text;
    return p;
}

}  // namespace

UdpSocket::~UdpSocket() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool UdpSocket::Bind(const std::string& host, uint16_t port, std::string& error) {
    in6_addr probe{};
    const int family = inet_pton(AF_INET6, host.c_str(), &probe) == 1 ? AF_INET6 : AF_INET;
    sockaddr_storage address;
    socklen_t length = 0;
    if (!ToSockaddr(host, port, family, address, length)) {
        error = "not a numeric IP address: " + host;
        return false;
    }
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        error = host + " port " + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    family_ = family;
    return true;
}

uint16_t UdpSocket::LocalPort() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return FromSockaddr(address).port;
}

std::optional<Datagram> UdpSocket::Receive(size_t limit) {
    if (fd_ < 0)
        return std::nullopt;
    Datagram d;
    d.bytes.resize(limit + 1);
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    ssize_t n;
    do {
        n = ::recvfrom(fd_, d.bytes.data(), d.bytes.size(), MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&from), &length);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return std::nullopt;
    d.truncated = static_cast<size_t>(n) > limit;
    d.bytes.resize(d.truncated ? limit : static_cast<size_t>(n));
    d.peer = FromSockaddr(from);
    return d;
}

bool UdpSocket::WaitReadable(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & POLLIN);
}

bool UdpSocket::SendTo(const Peer& peer, const uint8_t* data, size_t size) {
    sockaddr_storage address;
    socklen_t length = 0;
    if (fd_ < 0 || !ToSockaddr(peer.host, peer.port, family_, address, length))
        return false;
    ssize_t n;
    do {
        n = ::sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), length);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(size);
}

}  // namespace mic::osc

// The remote control's endpoint: a UDP socket and the handler behind it. It never blocks and
// owns no thread: the host watches Fd() in its main loop (a QSocketNotifier in mic) and calls
// ReadPending() when it is readable, so that every controller call happens on the main thread,
// in order with the window's own, without a lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mic/osc/OscHandler.h"
#include "mic/osc/UdpSocket.h"

namespace mic::osc {

inline constexpr uint16_t kDefaultPort = 7770;
inline constexpr const char* kDefaultAddress = "127.0.0.1";

// The profile's remote-control settings. Off unless the operator turns it on.
struct OscSettings {
    bool enabled = false;
    uint16_t port = kDefaultPort;
    std::string address;  // empty: 127.0.0.1
    std::string allow;    // the allow-list, used when `address` is not a loopback address
};

class OscServer {
  public:
    explicit OscServer(OscModel& model);
    ~OscServer();

    // Binds the socket and sets up the peer rules. False with `error` when the address, the
    // allow-list or the bind is refused.
    bool Start(const OscSettings& settings, const std::string& version, std::string& error);
    int Fd() const { return socket_.Fd(); }
    uint16_t Port() const { return socket_.LocalPort(); }
    // Main thread. Handles the datagrams that wait, at most `max` of them, so that a flood
    // cannot starve the window; the notifier fires again for the rest.
    void ReadPending(int max = 64);
    // The observer to register with the controller for the pushes.
    OscHandler& Handler() { return *handler_; }

  private:
    // Replies and pushes go out of the listening socket, so peers see them come from the
    // port they wrote to.
    struct SocketSender : OscSender {
        UdpSocket& socket;
        explicit SocketSender(UdpSocket& s) : socket(s) {}
        void Send(const Peer& peer, const OscMessage& message) override;
    };

    OscModel& model_;
    UdpSocket socket_;
    SocketSender sender_{socket_};
    std::unique_ptr<OscHandler> handler_;
};

}  // namespace mic::osc

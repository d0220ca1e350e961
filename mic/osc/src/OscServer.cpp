#include "mic/osc/OscServer.h"

namespace mic::osc {

OscServer::OscServer(OscModel& model) : model_(model) {}

OscServer::~OscServer() = default;

bool OscServer::Start(const OscSettings& settings, const std::string& version, std::string& error) {
    const std::string address = settings.address.empty() ? kDefaultAddress : settings.address;
    HandlerOptions options;
    options.version = version;
    options.restrictPeers = !IsLoopback(address);
    std::string bad;
    if (!options.allow.Parse(settings.allow, bad)) {
        error = "allow-list entry is not an IP address: " + bad;
        return false;
    }
    if (!socket_.Bind(address, settings.port, error))
        return false;
    handler_ = std::make_unique<OscHandler>(model_, sender_, std::move(options));
    return true;
}

void OscServer::ReadPending(int max) {
    for (int i = 0; i < max && handler_; ++i) {
        // One word more than the largest packet taken: the decoder refuses what does not fit.
        std::optional<Datagram> d = socket_.Receive(kMaxPacketSize + 4);
        if (!d)
            return;
        handler_->HandlePacket(d->peer, d->bytes.data(), d->bytes.size());
    }
}

void OscServer::SocketSender::Send(const Peer& peer, const OscMessage& message) {
    const std::vector<uint8_t> bytes = EncodeMessage(message);
    if (!bytes.empty())
        socket.SendTo(peer, bytes.data(), bytes.size());
}

}  // namespace mic::osc

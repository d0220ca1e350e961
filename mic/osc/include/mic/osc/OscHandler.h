// The remote control's message handling, apart from any socket: checks the peer, decodes and
// validates each message, answers gets, applies sets through the model (so the operator rules
// hold and every change is attributed to the peer), and keeps the subscriptions that get every
// change pushed, whatever its source. All methods run on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/osc/AllowList.h"
#include "mic/osc/OscAddress.h"
#include "mic/osc/OscMessage.h"
#include "mic/osc/OscModel.h"
#include "mic/osc/Peer.h"

namespace mic::osc {

// Texts of /mic/error replies besides the controller's refusal texts.
namespace error {
inline constexpr std::string_view kUnknownAddress = "unknown address";
inline constexpr std::string_view kReadOnly = "read-only address";
inline constexpr std::string_view kOneArgument = "one argument expected";
inline constexpr std::string_view kWrongType = "wrong argument type";
inline constexpr std::string_view kBadName =
    "a name is up to 12 printable characters (Latin-1 range)";
inline constexpr std::string_view kBadLease = "lease must be 1 to 86400 seconds";
inline constexpr std::string_view kBadPort = "port must be 1 to 65535";
inline constexpr std::string_view kTooManySubscribers = "too many subscribers";
}  // namespace error

inline constexpr int kDefaultLeaseSeconds = 600;
inline constexpr int kMaxLeaseSeconds = 86400;
inline constexpr size_t kMaxSubscribers = 16;

struct HandlerOptions {
    bool restrictPeers = false;  // answer only peers on `allow`
    AllowList allow;
    std::string version = "mic";  // the text of /mic/version
    // Milliseconds of a steady clock (subscription leases).
    std::function<int64_t()> nowMs;
};

struct HandlerStats {
    uint64_t packets = 0;
    uint64_t ignored = 0;    // from peers that are not allowed, or replies sent back to us
    uint64_t malformed = 0;  // packets that did not decode
    uint64_t errors = 0;     // /mic/error replies, refusals included
    uint64_t sets = 0;       // sets handed to the controller
};

class OscHandler : public ChangeObserver {
  public:
    OscHandler(OscModel& model, OscSender& sender, HandlerOptions options);

    // Main thread. One datagram from `peer`.
    void HandlePacket(const Peer& peer, const uint8_t* data, size_t size);
    void HandleMessage(const Peer& peer, const OscMessage& message);

    // ChangeObserver: pushes to the subscribers.
    void ChannelChanged(const ChannelChange& change) override;
    void RackLineChanged(int rack, bool onLine) override;

    bool Allowed(const Peer& peer) const;
    size_t Subscribers();
    const HandlerStats& Stats() const { return stats_; }

  private:
    struct Subscription {
        Peer peer;
        int64_t expiresMs = 0;
    };

    void Get(const Peer& peer, const Target& target);
    void Set(const Peer& peer, const Target& target, const std::string& path,
             const std::vector<OscValue>& args);
    void Subscribe(const Peer& peer, const std::vector<OscValue>& args);
    void Unsubscribe(const Peer& peer, const std::vector<OscValue>& args);
    void Error(const Peer& peer, std::string_view path, std::string_view reason);
    OscMessage FieldMessage(int rack, int channel, ChannelField field) const;
    OscMessage ChannelMessage(int rack, int channel) const;
    void Push(const OscMessage& message);
    int64_t Now() const;

    OscModel& model_;
    OscSender& sender_;
    HandlerOptions options_;
    std::vector<Subscription> subscriptions_;
    HandlerStats stats_;
};

}  // namespace mic::osc

#include "mic/osc/OscHandler.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "mic/core/PreampState.h"
#include "mic/osc/NameText.h"

namespace mic::osc {

namespace {

// Error replies echo the address asked for, cut to a length that keeps them small.
constexpr size_t kMaxEchoedPath = 64;

bool IsReplyAddress(std::string_view path) {
    return path == kErrorAddress || path == kSubscribedAddress || path == kUnsubscribedAddress;
}

// A switch from a peer: 0 or 1 as an integer, a float (buttons of control surfaces send 0.0
// and 1.0) or true/false. -1 when it is none of these.
int SwitchValue(const OscValue& v) {
    if (!v.IsNumber())
        return -1;
    const double n = v.Number();
    return n == 0 ? 0 : (n == 1 ? 1 : -1);
}

}  // namespace

OscHandler::OscHandler(OscModel& model, OscSender& sender, HandlerOptions options)
    : model_(model), sender_(sender), options_(std::move(options)) {}

int64_t OscHandler::Now() const {
    if (options_.nowMs)
        return options_.nowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool OscHandler::Allowed(const Peer& peer) const {
    return !options_.restrictPeers || options_.allow.Allows(peer.host);
}

void OscHandler::HandlePacket(const Peer& peer, const uint8_t* data, size_t size) {
    ++stats_.packets;
    // A peer that may not talk to us learns nothing, not even that we listen.
    if (!Allowed(peer)) {
        ++stats_.ignored;
        return;
    }
    std::vector<OscMessage> messages;
    std::string problem;
    if (!DecodePacket(data, size, messages, problem)) {
        ++stats_.malformed;
        Error(peer, "", problem);
        return;
    }
    for (const OscMessage& m : messages)
        HandleMessage(peer, m);
}

void OscHandler::HandleMessage(const Peer& peer, const OscMessage& message) {
    if (!Allowed(peer)) {
        ++stats_.ignored;
        return;
    }
    // Our own replies coming back (a peer that echoes, or another controller) are never
    // answered, so two ends cannot keep each other busy.
    if (IsReplyAddress(message.path)) {
        ++stats_.ignored;
        return;
    }
    const std::optional<Target> target = ParseAddress(message.path);
    if (!target) {
        Error(peer, message.path, error::kUnknownAddress);
        return;
    }
    switch (target->node) {
        case Node::Subscribe:
            Subscribe(peer, message.args);
            return;
        case Node::Unsubscribe:
            Unsubscribe(peer, message.args);
            return;
        default:
            break;
    }
    if (message.args.empty())
        Get(peer, *target);
    else
        Set(peer, *target, message.path, message.args);
}

OscMessage OscHandler::FieldMessage(int rack, int channel, ChannelField field) const {
    OscMessage m{FieldAddress(rack, channel, field), {}};
    const int value = model_.Value(rack, channel, field);
    if (field == ChannelField::Name)
        m.args.push_back(OscValue::String(Latin1ToUtf8(model_.Name(rack, channel))));
    else if (field == ChannelField::Gain)
        m.args.push_back(OscValue::Int(GainDb(static_cast<uint32_t>(value))));
    else
        m.args.push_back(OscValue::Int(value));
    return m;
}

OscMessage OscHandler::ChannelMessage(int rack, int channel) const {
    OscMessage m{AddressOf({Node::Channel, rack, channel}), {}};
    for (ChannelField f :
         {ChannelField::Gain, ChannelField::Phantom, ChannelField::Phase, ChannelField::Pad,
          ChannelField::DirectOut, ChannelField::Name, ChannelField::ConsoleChannel})
        m.args.push_back(FieldMessage(rack, channel, f).args.front());
    return m;
}

// Answers come on the target's own address (numbers without leading zeros), the one pushes
// use, so that a peer keys its controls by one address whatever it asked with.
void OscHandler::Get(const Peer& peer, const Target& t) {
    const std::string path = AddressOf(t);
    switch (t.node) {
        case Node::Version:
            sender_.Send(peer, {path, {OscValue::String(options_.version)}});
            break;
        case Node::RackOnLine:
            sender_.Send(peer, {path, {OscValue::Int(model_.RackOnLine(t.rack) ? 1 : 0)}});
            break;
        case Node::RackVersion:
            sender_.Send(peer, {path, {OscValue::String(model_.RackVersion(t.rack))}});
            break;
        case Node::Rack:
            sender_.Send(peer, {path,
                                {OscValue::Int(model_.RackOnLine(t.rack) ? 1 : 0),
                                 OscValue::String(model_.RackVersion(t.rack))}});
            for (int c = 0; c < kChannelsPerRack; ++c)
                sender_.Send(peer, ChannelMessage(t.rack, c));
            break;
        case Node::Channel:
            sender_.Send(peer, ChannelMessage(t.rack, t.channel));
            break;
        case Node::Field:
            sender_.Send(peer, FieldMessage(t.rack, t.channel, t.field));
            break;
        case Node::Subscribe:
        case Node::Unsubscribe:
            break;
    }
}

void OscHandler::Set(const Peer& peer, const Target& t, const std::string& path,
                     const std::vector<OscValue>& args) {
    if (t.node != Node::Field || t.field == ChannelField::ConsoleChannel) {
        Error(peer, path, error::kReadOnly);
        return;
    }
    if (args.size() != 1) {
        Error(peer, path, error::kOneArgument);
        return;
    }
    const OscValue& v = args.front();
    int value = 0;
    std::string name;
    if (t.field == ChannelField::Name) {
        if (!v.IsText()) {
            Error(peer, path, error::kWrongType);
            return;
        }
        std::optional<std::string> latin1 = NameFromUtf8(v.text, kNameSize - 1);
        if (!latin1) {
            Error(peer, path, error::kBadName);
            return;
        }
        name = std::move(*latin1);
    } else if (t.field == ChannelField::Gain) {
        if (!v.IsNumber() || v.type == 'T' || v.type == 'F') {
            Error(peer, path, error::kWrongType);
            return;
        }
        // Any number from 20 to 70 dB: a fader sends values in between, which go to the
        // nearest 5 dB step.
        const double db = v.Number();
        if (!std::isfinite(db) || db < GainDb(kMinGainStep) || db > GainDb(kMaxGainStep)) {
            Error(peer, path, refusal::kOutOfRange);
            return;
        }
        value = static_cast<int>(kMinGainStep) +
                static_cast<int>(std::lround((db - GainDb(kMinGainStep)) / 5.0));
    } else {
        if (!v.IsNumber()) {
            Error(peer, path, error::kWrongType);
            return;
        }
        value = SwitchValue(v);
        if (value < 0) {
            Error(peer, path, refusal::kOutOfRange);
            return;
        }
    }

    ChangeOrigin origin;
    origin.source = ChangeSource::Remote;
    origin.detail = peer.Text();
    ++stats_.sets;
    SetResult result;
    // A rack that is off line cannot take the change now, and the peer cannot see the rack:
    // refused, where the window would keep the change for later.
    if (!model_.RackOnLine(t.rack)) {
        result.refused = true;
        result.reason = refusal::kRackOffLine;
        model_.ReportRefusal(t.rack, t.channel, t.field, value, result.reason, origin);
    } else if (t.field == ChannelField::Name) {
        result = model_.SetName(t.rack, t.channel, name, origin);
    } else {
        result = model_.Set(t.rack, t.channel, t.field, value, origin);
    }
    if (result.refused)
        Error(peer, path, result.reason);
    // Refused or not, the peer gets the value that now stands: a fader snaps back as the
    // window's controls do.
    sender_.Send(peer, FieldMessage(t.rack, t.channel, t.field));
}

// [i seconds [i port]]: the port is for surfaces that send from one port and listen on
// another; the pushes then go to the sender's host at that port.
void OscHandler::Subscribe(const Peer& peer, const std::vector<OscValue>& args) {
    int lease = kDefaultLeaseSeconds;
    Peer to = peer;
    if (args.size() > 2) {
        Error(peer, "/mic/subscribe", error::kOneArgument);
        return;
    }
    auto whole = [](const OscValue& v, double low, double high) {
        const double n = v.IsNumber() && v.type != 'T' && v.type != 'F' ? v.Number() : -1;
        return std::isfinite(n) && n >= low && n <= high && n == std::floor(n) ? static_cast<int>(n)
                                                                               : -1;
    };
    if (!args.empty() && (lease = whole(args[0], 1, kMaxLeaseSeconds)) < 0) {
        Error(peer, "/mic/subscribe", error::kBadLease);
        return;
    }
    if (args.size() == 2) {
        const int port = whole(args[1], 1, 65535);
        if (port < 0) {
            Error(peer, "/mic/subscribe", error::kBadPort);
            return;
        }
        to.port = static_cast<uint16_t>(port);
    }
    const int64_t now = Now();
    std::erase_if(subscriptions_, [&](const Subscription& s) { return s.expiresMs <= now; });
    auto it = std::find_if(subscriptions_.begin(), subscriptions_.end(),
                           [&](const Subscription& s) { return s.peer == to; });
    if (it == subscriptions_.end()) {
        if (subscriptions_.size() >= kMaxSubscribers) {
            Error(peer, "/mic/subscribe", error::kTooManySubscribers);
            return;
        }
        subscriptions_.push_back({to, 0});
        it = subscriptions_.end() - 1;
    }
    it->expiresMs = now + int64_t{lease} * 1000;
    sender_.Send(peer, {std::string(kSubscribedAddress), {OscValue::Int(lease)}});
}

// Ends the sender's subscription, and one it made for another port of its host.
void OscHandler::Unsubscribe(const Peer& peer, const std::vector<OscValue>& args) {
    Peer to = peer;
    if (args.size() == 1 && args[0].IsNumber() && args[0].Number() >= 1 &&
        args[0].Number() <= 65535)
        to.port = static_cast<uint16_t>(args[0].Number());
    std::erase_if(subscriptions_, [&](const Subscription& s) { return s.peer == to; });
    sender_.Send(peer, {std::string(kUnsubscribedAddress), {}});
}

size_t OscHandler::Subscribers() {
    const int64_t now = Now();
    std::erase_if(subscriptions_, [&](const Subscription& s) { return s.expiresMs <= now; });
    return subscriptions_.size();
}

void OscHandler::Error(const Peer& peer, std::string_view path, std::string_view reason) {
    ++stats_.errors;
    std::string echoed(path.substr(0, kMaxEchoedPath));
    sender_.Send(peer,
                 {std::string(kErrorAddress),
                  {OscValue::String(std::move(echoed)), OscValue::String(std::string(reason))}});
}

void OscHandler::Push(const OscMessage& message) {
    if (Subscribers() == 0)
        return;
    // A copy: sending never changes the list, but stays safe if it ever did.
    const std::vector<Subscription> subscribers = subscriptions_;
    for (const Subscription& s : subscribers)
        sender_.Send(s.peer, message);
}

void OscHandler::ChannelChanged(const ChannelChange& c) {
    // A refusal changed nothing; the peer that asked has had its answer.
    if (c.refused || c.rack < 0 || c.rack >= kRacks || c.channel < 0 ||
        c.channel >= kChannelsPerRack)
        return;
    OscMessage m{FieldAddress(c.rack, c.channel, c.field), {}};
    if (c.field == ChannelField::Name)
        m.args.push_back(OscValue::String(Latin1ToUtf8(c.newText)));
    else if (c.field == ChannelField::Gain)
        m.args.push_back(OscValue::Int(GainDb(static_cast<uint32_t>(c.newValue))));
    else
        m.args.push_back(OscValue::Int(c.newValue));
    Push(m);
}

void OscHandler::RackLineChanged(int rack, bool onLine) {
    if (rack >= 0 && rack < kRacks)
        Push({OnLineAddress(rack), {OscValue::Int(onLine ? 1 : 0)}});
}

}  // namespace mic::osc

#include "mic/osc/OscAddress.h"

#include <array>
#include <vector>

#include "mic/core/PreampState.h"

namespace mic::osc {

namespace {

constexpr std::array<ChannelField, 7> kFields{
    ChannelField::Gain,      ChannelField::Phantom, ChannelField::Phase,         ChannelField::Pad,
    ChannelField::DirectOut, ChannelField::Name,    ChannelField::ConsoleChannel};

std::vector<std::string_view> Split(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t at = 1;
    while (at <= path.size()) {
        const size_t slash = path.find('/', at);
        const size_t end = slash == std::string_view::npos ? path.size() : slash;
        parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// 1-based number of 1-2 digits, up to `count`; -1 when not one. Returns it 0-based.
int Index(std::string_view text, int count) {
    if (text.empty() || text.size() > 2)
        return -1;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= count ? n - 1 : -1;
}

}  // namespace

std::optional<Target> ParseAddress(std::string_view path) {
    // Longer than any address of the space: not split at all.
    if (path.size() > 64 || path.empty() || path[0] != '/')
        return std::nullopt;
    const std::vector<std::string_view> p = Split(path);
    if (p.empty() || p[0] != "mic")
        return std::nullopt;
    Target t;
    if (p.size() == 2) {
        if (p[1] == "version")
            t.node = Node::Version;
        else if (p[1] == "subscribe")
            t.node = Node::Subscribe;
        else if (p[1] == "unsubscribe")
            t.node = Node::Unsubscribe;
        else
            return std::nullopt;
        return t;
    }
    if (p.size() < 3 || p[1] != "rack" || (t.rack = Index(p[2], kRacks)) < 0)
        return std::nullopt;
    if (p.size() == 3) {
        t.node = Node::Rack;
        return t;
    }
    if (p.size() == 4) {
        if (p[3] == "online")
            t.node = Node::RackOnLine;
        else if (p[3] == "version")
            t.node = Node::RackVersion;
        else
            return std::nullopt;
        return t;
    }
    if (p[3] != "channel" || (t.channel = Index(p[4], kChannelsPerRack)) < 0 || p.size() > 6)
        return std::nullopt;
    if (p.size() == 5) {
        t.node = Node::Channel;
        return t;
    }
    for (ChannelField f : kFields) {
        if (p[5] == FieldName(f)) {
            t.node = Node::Field;
            t.field = f;
            return t;
        }
    }
    return std::nullopt;
}

std::string AddressOf(const Target& t) {
    switch (t.node) {
        case Node::Version:
            return "/mic/version";
        case Node::Subscribe:
            return "/mic/subscribe";
        case Node::Unsubscribe:
            return "/mic/unsubscribe";
        case Node::Rack:
            return "/mic/rack/" + std::to_string(t.rack + 1);
        case Node::RackOnLine:
            return AddressOf({Node::Rack, t.rack}) + "/online";
        case Node::RackVersion:
            return AddressOf({Node::Rack, t.rack}) + "/version";
        case Node::Channel:
            return AddressOf({Node::Rack, t.rack}) + "/channel/" + std::to_string(t.channel + 1);
        case Node::Field:
            return AddressOf({Node::Channel, t.rack, t.channel}) + "/" +
                   std::string(FieldName(t.field));
    }
    return {};
}

std::string FieldAddress(int rack, int channel, ChannelField field) {
    return AddressOf({Node::Field, rack, channel, field});
}

std::string OnLineAddress(int rack) {
    return AddressOf({Node::RackOnLine, rack});
}

}  // namespace mic::osc

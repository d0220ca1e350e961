// A model that records what the handler asked of it, and a sender that records the replies.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "mic/core/PreampState.h"
#include "mic/osc/OscHandler.h"

namespace mic::osc::test {

struct FakeModel : OscModel {
    struct Call {
        int rack, channel;
        ChannelField field;
        int value;
        std::string text;
        ChangeOrigin origin;
        std::string reason;  // ReportRefusal only
    };

    std::array<bool, kRacks> onLine{};
    std::array<std::array<int, 7>, kChannels> values{};
    std::array<std::string, kChannels> names{};
    std::string refuseWith;  // every Set/SetName is refused with this when not empty
    std::vector<Call> sets, refusals;

    FakeModel() {
        for (auto& v : values)
            v[static_cast<int>(ChannelField::Gain)] = 3;
    }

    bool RackOnLine(int rack) const override { return onLine[rack]; }
    std::string RackVersion(int rack) const override { return "PX5R 1.0" + std::to_string(rack); }
    int Value(int rack, int channel, ChannelField f) const override {
        return values[ChannelIndex(rack, channel)][static_cast<int>(f)];
    }
    std::string Name(int rack, int channel) const override {
        return names[ChannelIndex(rack, channel)];
    }
    SetResult Set(int rack, int channel, ChannelField f, int value,
                  const ChangeOrigin& origin) override {
        sets.push_back({rack, channel, f, value, {}, origin, {}});
        if (!refuseWith.empty())
            return {true, refuseWith};
        values[ChannelIndex(rack, channel)][static_cast<int>(f)] = value;
        return {};
    }
    SetResult SetName(int rack, int channel, const std::string& text,
                      const ChangeOrigin& origin) override {
        sets.push_back({rack, channel, ChannelField::Name, 0, text, origin, {}});
        if (!refuseWith.empty())
            return {true, refuseWith};
        names[ChannelIndex(rack, channel)] = text;
        return {};
    }
    void ReportRefusal(int rack, int channel, ChannelField f, int value, std::string_view reason,
                       const ChangeOrigin& origin) override {
        refusals.push_back({rack, channel, f, value, {}, origin, std::string(reason)});
    }
};

struct RecordingSender : OscSender {
    struct Sent {
        Peer peer;
        OscMessage message;
    };
    std::vector<Sent> sent;
    void Send(const Peer& peer, const OscMessage& message) override {
        sent.push_back({peer, message});
    }
    std::vector<OscMessage> To(const Peer& peer) const {
        std::vector<OscMessage> out;
        for (const Sent& s : sent)
            if (s.peer == peer)
                out.push_back(s.message);
        return out;
    }
};

}  // namespace mic::osc::test

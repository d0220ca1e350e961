// What the remote control reads and sets: the controller in the program, a fake in tests.
#pragma once

#include <string>
#include <string_view>

#include "mic/core/ChannelChange.h"
#include "mic/osc/OscMessage.h"
#include "mic/osc/Peer.h"

namespace mic::osc {

struct SetResult {
    bool refused = false;
    std::string reason;  // one of the refusal texts when refused
};

class OscModel {
  public:
    virtual ~OscModel() = default;
    // Main thread. Racks 0-15, channels 0-11.
    virtual bool RackOnLine(int rack) const = 0;
    virtual std::string RackVersion(int rack) const = 0;
    // Values as in ChannelChange: gain step 3-13, switches 0/1, console-channel box number.
    virtual int Value(int rack, int channel, ChannelField field) const = 0;
    virtual std::string Name(int rack, int channel) const = 0;  // Latin-1
    // Main thread. Through the operator rules; refusals are reported to the observers.
    virtual SetResult Set(int rack, int channel, ChannelField field, int value,
                          const ChangeOrigin& origin) = 0;
    virtual SetResult SetName(int rack, int channel, const std::string& latin1,
                              const ChangeOrigin& origin) = 0;
    // Main thread. Reports a refusal decided by the remote control itself.
    virtual void ReportRefusal(int rack, int channel, ChannelField field, int value,
                               std::string_view reason, const ChangeOrigin& origin) = 0;
};

class OscSender {
  public:
    virtual ~OscSender() = default;
    // Main thread. Sends one message to a peer; a message that cannot be sent is dropped, as
    // UDP drops datagrams.
    virtual void Send(const Peer& peer, const OscMessage& message) = 0;
};

}  // namespace mic::osc

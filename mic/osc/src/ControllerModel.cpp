#include "mic/osc/ControllerModel.h"

namespace mic::osc {

namespace {

SetResult FromRedraw(const Redraw& r) {
    return {r.refused, std::string(r.reason)};
}

}  // namespace

bool ControllerModel::RackOnLine(int rack) const {
    return mic_.State().rackOnLine[rack] != 0;
}

std::string ControllerModel::RackVersion(int rack) const {
    return mic_.Engine().Version(rack);
}

int ControllerModel::Value(int rack, int channel, ChannelField field) const {
    const PreampState& s = mic_.State();
    const int i = ChannelIndex(rack, channel);
    const uint32_t setting = s.setting[i] & 0x7F;
    switch (field) {
        case ChannelField::Gain:
            return static_cast<int>(ClampGainStep(setting & kGainMask));
        case ChannelField::Phantom:
            return (setting & kPhantomBit) ? 1 : 0;
        case ChannelField::Phase:
            return (setting & kPhaseBit) ? 1 : 0;
        case ChannelField::Pad:
            return (setting & kPadBit) ? 1 : 0;
        case ChannelField::DirectOut:
            return s.directSwitch[i] ? 1 : 0;
        case ChannelField::ConsoleChannel:
            return static_cast<int>(s.assignment[i]);
        case ChannelField::Name:
            break;
    }
    return 0;
}

std::string ControllerModel::Name(int rack, int channel) const {
    return mic_.State().Name(ChannelIndex(rack, channel));
}

SetResult ControllerModel::Set(int rack, int channel, ChannelField field, int value,
                               const ChangeOrigin& origin) {
    return FromRedraw(mic_.SetChannelField(rack, channel, field, value, origin));
}

SetResult ControllerModel::SetName(int rack, int channel, const std::string& latin1,
                                   const ChangeOrigin& origin) {
    return FromRedraw(mic_.SetChannelName(rack, channel, latin1, origin));
}

void ControllerModel::ReportRefusal(int rack, int channel, ChannelField field, int value,
                                    std::string_view reason, const ChangeOrigin& origin) {
    mic_.ReportRefusal(rack, channel, field, value, reason, origin);
}

}  // namespace mic::osc

#include "mic/osc/ControllerModel.h"

#include "mic/core/ChannelDiff.h"

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
    const int value = FieldValue(mic_.State(), ChannelIndex(rack, channel), field);
    // A stored gain outside 20-70 dB reads as the nearest step, as the window shows it.
    return field == ChannelField::Gain ? static_cast<int>(ClampGainStep(value)) : value;
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

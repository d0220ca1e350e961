// The controller's microphone types and the phantom refusals they cause, and the recall
// rules it hands to loads and previews.
#include "ChangeScope.h"

namespace mic {

bool MicController::PhantomForbidden(int rack, int channel) const {
    return rack >= 0 && rack < kRacks && channel >= 0 && channel < kChannelsPerRack &&
           !PhantomAllowed(settings_.microphoneTypes[ChannelIndex(rack, channel)]);
}

Redraw MicController::RefusePhantom(int rack, int channel) {
    view_.ShowPhantomRefused(rack, channel);
    return Refuse(rack, channel, ChannelField::Phantom, 1, refusal::kPhantomUnsafe);
}

void MicController::HoldPhantomOffAt(int rack) {
    for (int i : HoldPhantomOff(state_, rack, settings_.microphoneTypes))
        RefusePhantom(i / kChannelsPerRack, i % kChannelsPerRack);
}

RecallRules MicController::Rules(uint32_t scope) const {
    RecallRules rules;
    rules.scope = scope & kRecallEverything;
    rules.consoleIntegration = integration_;
    rules.micTypes = settings_.microphoneTypes;
    return rules;
}

MicType MicController::MicrophoneType(int rack, int channel) const {
    if (rack < 0 || rack >= kRacks || channel < 0 || channel >= kChannelsPerRack)
        return MicType::Unknown;
    return settings_.microphoneTypes[ChannelIndex(rack, channel)];
}

Redraw MicController::SetMicrophoneType(int rack, int channel, MicType type) {
    Redraw r;
    if (rack < 0 || rack >= kRacks || channel < 0 || channel >= kChannelsPerRack ||
        static_cast<int>(type) >= kMicTypeCount) {
        r.refused = true;
        r.reason = refusal::kOutOfRange;
        return r;
    }
    const int i = ChannelIndex(rack, channel);
    if (settings_.microphoneTypes[i] == type)
        return r;
    settings_.microphoneTypes[i] = type;
    consolePhantomRefused_[i] = 0;
    if (services_.profile)
        services_.profile->WriteString(kMicTypesKey, FormatMicTypes(settings_.microphoneTypes));
    {
        // Declaring a ribbon or a line source on a powered channel is taken as the reason to
        // power it down now, before anything else reaches the rack. Console ownership does
        // not stand in the way; a console-owned channel then follows its line again.
        ChangeScope scope(*this, CurrentOrigin());
        if (!PhantomAllowed(type) && (state_.setting[i] & kPhantomBit)) {
            state_.setting[i] = state_.ReadSetting(i) & ~kPhantomBit;
            if (state_.rackOnLine[rack])
                engine_.QueueSetChannel(rack, channel);
        }
        if (state_.assignment[i] != 0 && LinkActive())
            ApplyConsoleData(255, 255);
    }
    if (rack == DisplayedRack()) {
        view_.RedrawChannel(channel);
        r.channels = static_cast<uint16_t>(1u << channel);
    }
    return r;
}

void MicController::SetRestoreScope(uint32_t scope) {
    settings_.restoreScope = scope & kRecallEverything;
    if (services_.profile)
        services_.profile->WriteInt(kRestoreScopeKey, static_cast<int32_t>(settings_.restoreScope));
}

}  // namespace mic

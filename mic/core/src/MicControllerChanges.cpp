// The controller's change notices and the operations that address any rack's channel.
#include <algorithm>

#include "ChangeScope.h"

namespace mic {

namespace {

bool ValidPlace(int rack, int channel) {
    return rack >= 0 && rack < kRacks && channel >= 0 && channel < kChannelsPerRack;
}

}  // namespace

MicController::ChangeScope::ChangeScope(MicController& controller, const ChangeOrigin& origin)
    : controller_(controller), origin_(origin) {
    if (controller_.origin_ != nullptr || controller_.observers_.empty())
        return;
    before_ = std::make_unique<ChannelImage>(controller_.state_);
    controller_.origin_ = &origin_;
}

MicController::ChangeScope::~ChangeScope() {
    if (!before_)
        return;
    controller_.origin_ = nullptr;
    controller_.NotifyDifferences(*before_, origin_);
}

void MicController::AddObserver(ChangeObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void MicController::RemoveObserver(ChangeObserver* observer) {
    std::erase(observers_, observer);
}

const ChangeOrigin& MicController::CurrentOrigin() const {
    static const ChangeOrigin kOperator;
    return origin_ ? *origin_ : kOperator;
}

void MicController::NotifyChange(const ChannelChange& change) {
    // A copy: an observer may unregister itself while it is told.
    const std::vector<ChangeObserver*> observers = observers_;
    for (ChangeObserver* o : observers)
        o->ChannelChanged(change);
}

void MicController::NotifyRackLine(int rack, bool onLine) {
    const std::vector<ChangeObserver*> observers = observers_;
    for (ChangeObserver* o : observers)
        o->RackLineChanged(rack, onLine);
}

Redraw MicController::Refuse(int rack, int channel, ChannelField field, int requested,
                             std::string_view reason) {
    if (ValidPlace(rack, channel) && !observers_.empty()) {
        ChannelChange c;
        c.origin = CurrentOrigin();
        c.rack = rack;
        c.channel = channel;
        c.field = field;
        const int i = ChannelIndex(rack, channel);
        c.oldValue = FieldValue(state_, i, field);
        if (field == ChannelField::Name)
            c.oldText = state_.Name(i);
        c.newValue = requested < 0 ? (c.oldValue ? 0 : 1) : requested;
        c.refused = true;
        c.reason = std::string(reason);
        NotifyChange(c);
    }
    Redraw r;
    r.refused = true;
    r.reason = reason;
    return r;
}

void MicController::NotifyDifferences(const ChannelImage& before, const ChangeOrigin& origin) {
    for (ChannelChange& c : ChannelDifferences(before, ChannelTables(state_))) {
        c.origin = origin;
        NotifyChange(c);
    }
}

Redraw MicController::SetChannelField(int rack, int channel, ChannelField field, int value,
                                      const ChangeOrigin& origin) {
    ChangeScope scope(*this, origin);
    if (!ValidPlace(rack, channel) || field == ChannelField::Name)
        return Refuse(rack, channel, field, value, refusal::kOutOfRange);
    const int i = ChannelIndex(rack, channel);
    const uint32_t s = state_.setting[i] & 0x7F;
    auto toggleTo = [&](uint32_t bit, bool consoleOwned) {
        if (value != 0 && value != 1)
            return Refuse(rack, channel, field, value, refusal::kOutOfRange);
        if (bit == kPhantomBit && value == 1 && PhantomForbidden(rack, channel))
            return RefusePhantom(rack, channel);
        if (consoleOwned && state_.assignment[i] != 0)
            return Refuse(rack, channel, field, value, refusal::kConsoleOwned);
        if (((s & bit) != 0) == (value != 0))
            return Redraw{};
        return ToggleSetting(rack, channel, bit, consoleOwned);
    };
    Redraw r;
    switch (field) {
        case ChannelField::Gain:
            if (value < static_cast<int>(kMinGainStep) || value > static_cast<int>(kMaxGainStep))
                return Refuse(rack, channel, field, value, refusal::kOutOfRange);
            if (state_.assignment[i] != 0)
                return Refuse(rack, channel, field, value, refusal::kConsoleOwned);
            if (static_cast<int>(s & kGainMask) == value)
                return {};
            r = SetGainStep(rack, channel, static_cast<uint32_t>(value));
            break;
        case ChannelField::Phantom:
            r = toggleTo(kPhantomBit, true);
            break;
        case ChannelField::Phase:
            r = toggleTo(kPhaseBit, false);
            break;
        case ChannelField::Pad:
            r = toggleTo(kPadBit, true);
            break;
        case ChannelField::DirectOut:
            if (value != 0 && value != 1)
                return Refuse(rack, channel, field, value, refusal::kOutOfRange);
            if (static_cast<int>(state_.directSwitch[i]) == value)
                return {};
            r = ToggleDirect(rack, channel);
            break;
        case ChannelField::ConsoleChannel:
            r = AssignAt(rack, channel, value);
            break;
        case ChannelField::Name:
            break;
    }
    if (!r.refused && rack == DisplayedRack()) {
        for (int c = 0; c < kChannelsPerRack; ++c)
            if (r.Channel(c))
                view_.RedrawChannel(c);
    }
    return r;
}

Redraw MicController::SetChannelName(int rack, int channel, std::string_view text,
                                     const ChangeOrigin& origin) {
    ChangeScope scope(*this, origin);
    if (!ValidPlace(rack, channel))
        return Refuse(rack, channel, ChannelField::Name, 0, refusal::kOutOfRange);
    const int i = ChannelIndex(rack, channel);
    state_.SetName(i, text);
    state_.nameShown[i] = text.empty() ? 0 : 1;
    if (rack == DisplayedRack()) {
        view_.ShowNameBox(channel, state_.nameShown[i] != 0, false);
        view_.RedrawChannel(channel);
    }
    Redraw r;
    r.channels = static_cast<uint16_t>(1u << channel);
    return r;
}

Redraw MicController::ReportRefusal(int rack, int channel, ChannelField field, int requested,
                                    std::string_view reason, const ChangeOrigin& origin) {
    ChangeScope scope(*this, origin);
    return Refuse(rack, channel, field, requested, reason);
}

void MicController::NoteNameEditStart(int index) {
    if (!observers_.empty())
        nameEditStart_.try_emplace(index, state_.Name(index));
}

// A name typed in a name box is reported once, when the box is left, not per keystroke.
void MicController::ReportNameEdit(int index) {
    const auto it = nameEditStart_.find(index);
    if (it == nameEditStart_.end())
        return;
    const std::string was = std::move(it->second);
    nameEditStart_.erase(it);
    const std::string now = state_.Name(index);
    if (was == now || observers_.empty())
        return;
    ChannelChange c;
    c.origin = CurrentOrigin();
    c.rack = index / kChannelsPerRack;
    c.channel = index % kChannelsPerRack;
    c.field = ChannelField::Name;
    c.oldText = was;
    c.newText = now;
    NotifyChange(c);
}

}  // namespace mic

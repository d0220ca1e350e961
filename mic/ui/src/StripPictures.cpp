#include "mic/ui/StripPictures.h"

#include <algorithm>

#include "mic/core/MicView.h"
#include "mic/core/PreampState.h"
#include "mic/ui/Pictures.h"

namespace mic::ui {

int GainDisplayPicture(uint32_t status, uint32_t setting, bool assigned, bool anyRackOnLine,
                       int consoleType) {
    if (status != 1 && status != 2) {
        return kPicGainBlank;
    }
    const int step = static_cast<int>(ClampGainStep(setting & kGainMask));
    const bool assignedSet = assigned && anyRackOnLine;
    if (!assignedSet) {
        return (status == 1 ? kPicGainStatus1Local : kPicGainStatus2Local) + step - 3;
    }
    const int base = status == 1 ? kPicGainStatus1Assigned : kPicGainStatus2Assigned;
    if (consoleType != 1) {
        return base + step - 3;
    }
    // Steps 3..13 -> picture of the set, -1 where the alternate artwork has none.
    static constexpr int kAlternate[11] = {0, 1, 3, 4, 5, 6, 8, -1, 10, -1, -1};
    const int picture = kAlternate[step - 3];
    return picture < 0 ? 0 : base + picture;
}

DigitPair ChannelNumberPictures(int channel, uint32_t status, uint32_t assignment,
                                bool anyRackOnLine) {
    int base = kPicDigitNormal;
    int value = channel + 1;
    if (status == 0 && anyRackOnLine) {
        base = kPicDigitUnavailable;
    } else if (assignment != 0) {
        base = kPicDigitAssigned;
        value = static_cast<int>(std::min<uint32_t>(assignment, 99));
    }
    return {base + value / 10, base + value % 10};
}

int RackButtonPicture(bool onLine, bool displayed) {
    if (displayed) {
        return onLine ? kPicRackOnLineDisplayed : kPicRackOffLineDisplayed;
    }
    return onLine ? kPicRackOnLine : kPicRackOffLine;
}

int InfoPicture(int gainStep) {
    if (gainStep < 0) {
        return kPicInfoDefault;
    }
    return kPicInfoGain + static_cast<int>(ClampGainStep(static_cast<uint32_t>(gainStep))) - 3;
}

}  // namespace mic::ui

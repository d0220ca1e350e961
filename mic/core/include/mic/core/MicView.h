// What the core asks of the main window. Every method is called on the main thread.
// Channel-level redraws take the state from MicController::State(); the window decides the
// pictures of strips itself (gain sets, digit sets) from the documented rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mic/core/RackSync.h"

namespace mic {

// Picture numbers of the artwork.
enum Picture : int {
    kPicPhantomOn = 134,
    kPicPhantomOff = 135,
    kPicPhaseOn = 132,
    kPicPhaseOff = 133,
    kPicPadOn = 139,
    kPicPadOff = 140,
    kPicDirectOn = 143,
    kPicDirectOff = 144,
    kPicRackOnLineDisplayed = 145,
    kPicRackOffLineDisplayed = 146,
    kPicRackOnLine = 147,
    kPicRackOffLine = 149,
    kPicSetupBusy = 203,
    kPicSetupNormal = 241,
    kPicInfoDefault = 298,
};

enum class StatusPicture { Busy, RacksPresent, NoRacks };

// What the Setup / Test window is opened with.
struct SetupWindowArgs {
    uint32_t portNumber = 1;     // 1-4, 5 = disabled
    bool useWithVantor = false;  // stored value non-zero
    bool autoLoad = false;
    bool autoRestore = false;
    std::vector<std::string> versions;  // 16 strings, rack 0 first
};

class MicView {
  public:
    virtual ~MicView() = default;
    // Main thread. Redraw strip `channel` (0-11) of the displayed rack from the state: buttons,
    // gain box and display, channel-number digits, name box text, console-channel box.
    virtual void RedrawChannel(int channel) = 0;
    // Main thread. Redraw the whole displayed rack: rack buttons, rack-number picture, every
    // strip, name boxes (visible where name-shown is set), the sequential-assignment check box.
    virtual void RedrawRack() = 0;
    // Main thread. Picture of rack button `rack` (kPicRackOnLineDisplayed ... kPicRackOffLine).
    virtual void SetRackButtonPicture(int rack, int picture) = 0;
    // Main thread. The read-back state of rack `rack`, shown as a mark on its rack button
    // (Unknown: no mark). Called only when the state changes, so never with checking off.
    virtual void SetRackSyncMark(int /*rack*/, RackSync /*state*/) {}
    // Main thread.
    virtual void ShowStatusPicture(StatusPicture picture) = 0;
    // Main thread. Info area: the gain picture of `gainStep` (3-13), or the default picture
    // kPicInfoDefault when gainStep < 0.
    virtual void ShowInfoPicture(int gainStep) = 0;
    // Main thread. Setup button picture (kPicSetupBusy / kPicSetupNormal).
    virtual void SetSetupButtonPicture(int picture) = 0;
    // Main thread. Show or hide name box `channel` of the displayed rack; focus it when asked.
    virtual void ShowNameBox(int channel, bool show, bool focus) = 0;
    // Main thread. Modal box with an OK button.
    virtual void MessageBox(const std::string& text, const std::string& title) = 0;
    // Main thread.
    virtual void SetWindowTitle(const std::string& title) = 0;
    // Main thread. The "Port Error" dialog (modal).
    virtual void ShowPortError() = 0;
    // Main thread.
    virtual void BringToForeground() = 0;
    // Main thread. The version scan has ended: open the Setup / Test window (non-modal); its
    // actions come back through MicController::SetupAction and its closing through
    // MicController::SetupWindowClosed.
    virtual void OpenSetupWindow(const SetupWindowArgs& args) = 0;

    // Big-controls popup (console integration only).
    // Main thread. Drive the popup for a channel changed or (de)selected from the console.
    virtual void DriveChannelPopup(int rack, int channel, int previousGainStep,
                                   bool fromSelect) = 0;
    // Main thread. True while the popup is open but not yet ready (console data are ignored).
    virtual bool PopupOpeningNotReady() const = 0;
    // Main thread. True while the popup is open and ready (console changes then refresh it even
    // without the "popup controls" option).
    virtual bool PopupOpenAndReady() const { return false; }
    // Main thread. Timer 3 fired (the popup's auto-close); the controller has stopped it.
    virtual void PopupTimerExpired() = 0;
    // Main thread. "Pop up on selection" switched off: empty an open popup and refresh it.
    virtual void ClearPopup() = 0;
    // Main thread. Phantom power was refused on this channel (any rack) for its microphone
    // type, whatever asked for it: show it on the strip when the rack is displayed.
    virtual void ShowPhantomRefused(int /*rack*/, int /*channel*/) {}
};

}  // namespace mic

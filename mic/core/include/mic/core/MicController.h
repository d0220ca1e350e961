// The main window's logic without the window: the pre-amp state, every operator rule, the
// console-channel lists, the console data, the Setup / Test actions, preset load and store,
// and the consequences of the protocol's events. All methods run on the main thread.
//
// Operator methods return a Redraw: either `refused` (the control snaps back to the stored
// value) or which strips of the displayed rack to redraw from State().
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/core/MicSettings.h"
#include "mic/core/MicTimers.h"
#include "mic/core/MicView.h"
#include "mic/core/MicrophoneType.h"
#include "mic/core/PreampState.h"
#include "mic/core/ProtocolEngine.h"
#include "mic/core/RecallScope.h"
#include "mic/core/ReplyState.h"

namespace mic {

struct Redraw {
    bool refused = false;     // change not applied: the control shows the stored value again
    uint16_t channels = 0;    // bit i: strip i of the displayed rack changed
    bool wholeRack = false;   // the displayed rack changed as a whole
    std::string_view reason;  // why a change was refused (one of the refusal texts), else empty
    bool Channel(int i) const { return (channels >> i) & 1; }
};

struct MicServices {
    MicView* view = nullptr;                // required
    MicTimers* timers = nullptr;            // required
    ProfileWriter* profile = nullptr;       // optional: settings are then kept in memory only
    PortControl* portControl = nullptr;     // optional: no serial line
    CommandPort* port = nullptr;            // optional: frames are dropped
    ConsoleImageSource* console = nullptr;  // console link; used only with integration
};

struct MicConfig {
    MicSettings settings;
    bool consoleIntegration = false;  // decided once by the host at construction
    std::string snapshotPath;         // empty: DefaultSnapshotPath()
    std::string debugLogPath;         // empty: "MicDebug.txt" in the current directory
};

enum class KeyKind { Digit, Tab, Other };

class MicController : public ProtocolHost {
  public:
    MicController(MicConfig config, MicServices services);
    ~MicController() override;

    // Main thread. Dialog initialisation: open the port, empty the lists and the ring, auto
    // load or restore, poll the displayed rack.
    void Initialise();
    // Main thread. Exit confirmed or shutdown request: close the debug log, save the settings,
    // write the automatic snapshot.
    void Close();

    // Main thread.
    const PreampState& State() const { return state_; }
    const ConsoleChannelLists& Lists() const { return lists_; }
    ProtocolEngine& Engine() { return engine_; }
    const ProtocolEngine& Engine() const { return engine_; }
    ReplyState& Reply() { return reply_; }
    const MicSettings& Settings() const { return settings_; }
    bool ConsoleIntegration() const { return integration_; }
    bool Busy() const { return busy_; }
    bool SequentialLock() const { return seqLock_; }
    int DisplayedRack() const { return static_cast<int>(state_.displayedRack); }
    bool AnyRackOnLine() const { return engine_.OnLineCount() > 0; }
    // Main thread. The popup's selected channel (-1, -1 when none).
    int SelectedRack() const { return selRack_; }
    int SelectedChannel() const { return selChannel_; }

    // Main thread. Button clicks on strip `channel` (0-11) of the displayed rack.
    Redraw ClickPhantom(int channel);
    Redraw ClickPhase(int channel);
    Redraw ClickPad(int channel);
    Redraw ClickDirect(int channel);
    // Main thread. Gain box selection, index 0-10 (step = index + 3).
    Redraw SelectGain(int channel, int index);
    // Main thread. A key press seen by the window (digit 0-9 of the main keyboard, Tab, other).
    void KeyPressed(KeyKind kind, int digit = 0);
    // Main thread. The text of gain box `channel` was edited.
    Redraw GainTextEdited(int channel);
    // Main thread. Gain box `channel` lost the focus.
    Redraw GainBoxLeft(int channel);
    // Main thread. Left-button press at client (x, y): starts a gain drag or opens a name box.
    Redraw MousePress(int x, int y);
    // Main thread. Mouse movement; `held` is true while any button or modifier key is down.
    Redraw MouseMove(int x, int y, bool held);
    // Main thread. Strip column of a client x (-1 outside 0-11).
    static int ColumnAt(int x);

    // Main thread. Name box `channel` text edited / left / Tab pressed in it.
    void NameEdited(int channel, std::string_view text);
    void NameBoxLeft(int channel, std::string_view text);
    void NameBoxTab(int channel, std::string_view text);

    // Main thread. Rack button `rack`.
    Redraw SelectRack(int rack);
    // Main thread. Console-channel box `channel` set to `value` (0 = "Off", 1-99); refused
    // without console integration.
    Redraw AssignConsoleChannel(int channel, int value);
    // Main thread. Typed text of a console-channel box: up to two digits 0-99, else -1.
    static int ParseConsoleChannelText(std::string_view text);
    // Main thread. Sequential assignment check box of the displayed rack; refused without
    // console integration.
    Redraw SetSequential(bool on);
    // Main thread. Pop up on selection / popup controls check boxes.
    void SetPopupOnSel(bool on);
    void SetPopupControls(bool on);

    // Main thread. Observers of every channel change and refusal, whatever its source. With
    // none registered the controller keeps no copies and behaves exactly as without them.
    void AddObserver(ChangeObserver* observer);
    void RemoveObserver(ChangeObserver* observer);

    // Main thread. Sets one field of any rack's channel (not only the displayed rack) through
    // the same rules as the window's controls: console-owned fields, busy line and unreported
    // channels refuse. `value` as in ChannelChange (gain: step 3-13; switches: 0/1; console
    // channel: 0-99). The displayed rack's strip is redrawn here. Name changes use
    // SetChannelName. Refusals carry their reason and are sent to the observers.
    Redraw SetChannelField(int rack, int channel, ChannelField field, int value,
                           const ChangeOrigin& origin);
    Redraw SetChannelName(int rack, int channel, std::string_view text, const ChangeOrigin& origin);
    // Main thread. A set refused by a rule outside the controller (a remote peer asking for an
    // off-line rack): reported to the observers like the controller's own refusals.
    Redraw ReportRefusal(int rack, int channel, ChannelField field, int requested,
                         std::string_view reason, const ChangeOrigin& origin);

    // Main thread. The read-back state of a rack, and how many fields its last read-back found
    // different from the controller (before they were mended).
    RackSync RackSyncState(int rack) const;
    int RackDifferencesFound(int rack) const;

    // Main thread. The microphone type of a channel of any rack. Declaring a ribbon or line
    // source switches the channel's phantom off at once (and sends it to an on-line rack); the
    // table is written to the profile. Refused only for a place outside the racks.
    MicType MicrophoneType(int rack, int channel) const;
    Redraw SetMicrophoneType(int rack, int channel, MicType type);

    // Main thread. The scope of the automatic load and restore, written to the profile.
    void SetRestoreScope(uint32_t scope);

    // Main thread. Timers fired.
    void OnTimer(int id);
    // Main thread. "ButtonFromVantor" (or 255, 255 after a load or an assignment).
    void ApplyConsoleData(int wParam, int lParam);
    // Main thread. Applies one mic-line image; the caller holds the image lock.
    void ApplyConsoleImage(const uint8_t* image, int wParam, int lParam);

    // Main thread. Setup button: starts the version scan (false when refused).
    bool SetupClicked();
    // Main thread. Setup / Test window actions 0 and 2-7.
    void SetupAction(int value, int action);
    // Main thread. The Setup / Test window closed.
    void SetupWindowClosed();

    // Main thread. Load / Store Preset buttons are usable (ring empty, not busy).
    bool PresetButtonsUsable() const;
    // Main thread. After the dialogs: set "FileName" and save / load with the title. A load
    // takes the parts of the file the scope names; the frames are those of the full load.
    void StorePreset(const std::string& path);
    void LoadPreset(const std::string& path, uint32_t scope = kRecallEverything);
    // Main thread. What LoadPreset(path, scope) would change now (see PreviewPresetFile).
    std::vector<ChannelChange> PreviewPreset(const std::string& path, uint32_t scope,
                                             bool* readable = nullptr) const;
    // Main thread. Save state / load state of the file rules.
    void SaveState(const std::string& path, bool showTitle);
    void LoadState(const std::string& path, bool showTitle, int rack,
                   uint32_t scope = kRecallEverything);
    // Main thread. Only with "Auto Restore" on.
    void WriteSnapshot();
    const std::string& SnapshotPath() const { return snapshotPath_; }

    // Main thread. Opening policy at start-up, and after a port change in Setup / Test.
    void OpenPortAtStartup();
    void ChangePort(uint32_t portNumber);

    // ProtocolHost (main thread).
    void RackCameOnLine(int rack) override;
    void RackWentOffLine(int rack) override;
    void PollAnswered(int rack) override;
    void DataBlockArrived(int rack, const uint8_t* block, bool displayed) override;
    void VersionScanFinished() override;

  private:
    class ChangeScope;
    struct ChannelImage;

    Redraw ToggleSetting(int rack, int channel, uint32_t bit, bool consoleOwned);
    Redraw ToggleDirect(int rack, int channel);
    Redraw SetGainStep(int rack, int channel, uint32_t step);
    int SwitchableIndex(int rack, int channel, std::string_view& reason) const;
    Redraw Refuse(int rack, int channel, ChannelField field, int requested,
                  std::string_view reason);
    bool PhantomForbidden(int rack, int channel) const;
    Redraw RefusePhantom(int rack, int channel);
    void HoldPhantomOffAt(int rack);
    RecallRules Rules(uint32_t scope) const;
    void AutomaticRecall(int rack);
    void AdoptDataBlock(int rack, const uint8_t* block, bool displayed);
    const ChangeOrigin& CurrentOrigin() const;
    void NotifyDifferences(const ChannelImage& before, const ChangeOrigin& origin);
    void NotifyChange(const ChannelChange& change);
    void NotifyRackLine(int rack, bool onLine);
    void NoteNameEditStart(int index);
    void ReportNameEdit(int index);
    Redraw AssignAt(int rack, int channel, int value);
    Redraw ApplyGainIndex(int channel, int index);
    void RunSequential(int rack, Redraw& r);
    void SetAssignment(int rack, int channel, uint32_t value);
    void ShowGainInfo(uint32_t step);
    void UpdateRackButtons();
    void SetBusy();
    void ResetRacks(int which);
    bool LinkActive() const;
    void ApplyOneChannel(int rack, int channel, int line, const uint8_t* record, int wParam,
                         int lParam, bool& mappingDriven, bool lineDriven);
    void SaveSettings();
    void SetRackSync(int rack, RackSync state);
    void CheckWhenIdle(int rack);
    void CheckWithNextBlock(int rack);
    void AskDueChecks();
    void StartPeriodicChecks();
    void CheckAllRacks();
    bool CheckBlock(int rack, const uint8_t* block);

    MicSettings settings_;
    MicServices services_;
    MicView& view_;
    MicTimers& timers_;
    bool integration_;
    std::string snapshotPath_;

    PreampState state_;
    ConsoleChannelLists lists_;
    ReplyState reply_;
    ProtocolEngine engine_;

    bool busy_ = false;
    bool seqLock_ = false;
    int selRack_ = -1;
    int selChannel_ = -1;
    int dragChannel_ = -1;
    int dragX_ = -1;
    int dragY_ = -1;
    int lastDigit_ = -1;
    int typed_ = 0;                         // tens digit typed so far, 0 when none
    std::array<bool, kRacks> wasOnLine_{};  // the rack has been on line in this session

    // Read-back of a rack after a load, a restore or a reconnection ("Verify Racks").
    struct RackCheck {
        RackSync sync = RackSync::Unknown;
        bool due = false;     // read the rack once the line is idle
        bool asked = false;   // the data request went into the ring; its block is the check's
        bool resent = false;  // this round already re-sent the controller's values
        int failedReads = 0;  // requests that brought no block back
        int differences = 0;  // fields the last read-back found different
    };
    std::array<RackCheck, kRacks> checks_{};

    std::vector<ChangeObserver*> observers_;
    const ChangeOrigin* origin_ = nullptr;      // the outermost open change scope's origin
    std::map<int, std::string> nameEditStart_;  // channel index -> name before typing began
    // The console line (1-120) whose phantom request was last refused per channel, 0 = none:
    // the console's image is applied again and again, the refusal is reported once.
    std::array<uint8_t, kChannels> consolePhantomRefused_{};
    // A scoped automatic recall waits for the rack's own data block, so that the parts it does
    // not take are sent back as the rack holds them, not as defaults.
    std::array<bool, kRacks> recallAwaitsBlock_{};
};

}  // namespace mic

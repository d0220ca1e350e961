#include "mic/core/MicController.h"

#include <algorithm>
#include <filesystem>

#include "ChangeScope.h"
#include "mic/core/PresetFile.h"

namespace mic {

namespace {

constexpr uint32_t kInfoPictureMs = 3000;
constexpr uint32_t kSequentialLockMs = 2000;
constexpr int kDragStepPixels = 6;
constexpr int kGainBandTop = 75, kGainBandBottom = 118;
constexpr int kNameBandTop = 53, kNameBandBottom = 70;
constexpr uint16_t kAllStrips = (1u << kChannelsPerRack) - 1;

Redraw Refused() {
    Redraw r;
    r.refused = true;
    return r;
}

ChangeOrigin FileOrigin(ChangeSource source, const std::string& path) {
    ChangeOrigin o;
    o.source = source;
    o.detail = path;
    return o;
}

Redraw Strip(int channel) {
    Redraw r;
    r.channels = static_cast<uint16_t>(1u << channel);
    return r;
}

bool ValidChannel(int channel) {
    return channel >= 0 && channel < kChannelsPerRack;
}

}  // namespace

MicController::MicController(MicConfig config, MicServices services)
    : settings_(std::move(config.settings)),
      services_(services),
      view_(*services.view),
      timers_(*services.timers),
      integration_(config.consoleIntegration),
      snapshotPath_(config.snapshotPath.empty() ? DefaultSnapshotPath() : config.snapshotPath),
      engine_(state_, reply_, *this, timers_) {
    engine_.SetPort(services_.port, settings_.communicationPort);
    if (!config.debugLogPath.empty())
        engine_.SetDebugLogPath(config.debugLogPath);
    if (integration_) {
        state_.popupOnSel = settings_.popupOnSel ? 1 : 0;
        state_.popupControls = settings_.popupControls ? 1 : 0;
    }
}

MicController::~MicController() = default;

// --- life ------------------------------------------------------------------------------------

void MicController::Initialise() {
    reply_.awaiting = kIdle;
    OpenPortAtStartup();
    lists_.Clear();
    engine_.Reset();
    busy_ = false;
    AutomaticRecall(-1);
    UpdateRackButtons();
    view_.RedrawRack();
    engine_.SendPoll(DisplayedRack());
    StartPeriodicChecks();
}

void MicController::Close() {
    engine_.SetDebugLog(false);
    SaveSettings();
    WriteSnapshot();
}

void MicController::SaveSettings() {
    if (!services_.profile)
        return;
    services_.profile->WriteInt("Auto Load", settings_.autoLoad ? 1 : 0);
    services_.profile->WriteInt("Auto Restore", settings_.autoRestore ? 1 : 0);
    services_.profile->WriteString("FileName", settings_.fileName);
    services_.profile->WriteInt("Communication Port",
                                static_cast<int32_t>(settings_.communicationPort));
}

// --- port ------------------------------------------------------------------------------------

void MicController::OpenPortAtStartup() {
    uint32_t number = settings_.communicationPort;
    if (number < 1 || number > 4)
        number = 1;
    PortControl* pc = services_.portControl;
    bool ok = pc && pc->OpenAndStart(number);
    if (pc && !ok && !settings_.portWasStored) {
        for (uint32_t n = 1; n <= 4 && !ok; ++n) {
            if (pc->OpenAndStart(n)) {
                number = n;
                ok = true;
            }
        }
    }
    if (pc && !ok) {
        pc->Stop();
        if (!settings_.portWasStored)
            number = 5;
        view_.BringToForeground();
        view_.ShowPortError();
    }
    settings_.communicationPort = number;
    engine_.SetPort(services_.port, number);
}

void MicController::ChangePort(uint32_t number) {
    if (number < 1 || number > 5)
        return;
    PortControl* pc = services_.portControl;
    if (number != 5 && !(pc && pc->OpenAndStart(number))) {
        number = 5;
        view_.BringToForeground();
        view_.ShowPortError();
    }
    if (number == 5 && pc)
        pc->Stop();
    settings_.communicationPort = number;
    engine_.SetPort(services_.port, number);
}

// --- switches and gain -----------------------------------------------------------------------

// The guards of every switch click: a valid channel, no reply being received under way, room
// in the transmit ring, and, while any rack is on line, a channel its rack has reported.
// Returns the channel's index, or -1 with the reason when the click is refused.
int MicController::SwitchableIndex(int rack, int channel, std::string_view& reason) const {
    reason = refusal::kOutOfRange;
    if (rack < 0 || rack >= kRacks || !ValidChannel(channel))
        return -1;
    reason = refusal::kLineBusy;
    if (engine_.Collecting() || engine_.RingFull())
        return -1;
    const int i = ChannelIndex(rack, channel);
    reason = refusal::kNotReported;
    if (state_.status[i] == 0 && AnyRackOnLine())
        return -1;
    reason = {};
    return i;
}

Redraw MicController::ToggleSetting(int rack, int channel, uint32_t bit, bool consoleOwned) {
    const ChannelField field = bit == kPhantomBit ? ChannelField::Phantom
                               : bit == kPadBit   ? ChannelField::Pad
                                                  : ChannelField::Phase;
    const bool valid = rack >= 0 && rack < kRacks && ValidChannel(channel);
    const int requested = valid && (state_.setting[ChannelIndex(rack, channel)] & bit) ? 0 : 1;
    // The microphone's safety comes before every other rule: it is never a matter of timing.
    if (bit == kPhantomBit && requested == 1 && PhantomForbidden(rack, channel))
        return RefusePhantom(rack, channel);
    std::string_view reason;
    const int i = SwitchableIndex(rack, channel, reason);
    if (i >= 0 && consoleOwned && state_.assignment[i] != 0)
        reason = refusal::kConsoleOwned;
    if (!reason.empty())
        return Refuse(rack, channel, field, requested, reason);
    ChangeScope scope(*this, CurrentOrigin());
    state_.setting[i] = state_.ReadSetting(i) ^ bit;
    if (state_.rackOnLine[rack])
        engine_.QueueSetChannel(rack, channel);
    return Strip(channel);
}

Redraw MicController::ClickPhantom(int channel) {
    return ToggleSetting(DisplayedRack(), channel, kPhantomBit, true);
}
Redraw MicController::ClickPhase(int channel) {
    return ToggleSetting(DisplayedRack(), channel, kPhaseBit, false);
}
Redraw MicController::ClickPad(int channel) {
    return ToggleSetting(DisplayedRack(), channel, kPadBit, true);
}

Redraw MicController::ToggleDirect(int rack, int channel) {
    std::string_view reason;
    const int i = SwitchableIndex(rack, channel, reason);
    if (i < 0)
        return Refuse(rack, channel, ChannelField::DirectOut, -1, reason);
    ChangeScope scope(*this, CurrentOrigin());
    state_.directSwitch[i] = state_.directSwitch[i] ? 0 : 1;
    if (state_.rackOnLine[rack])
        engine_.QueueSetDirect(rack, channel);
    return Strip(channel);
}

Redraw MicController::ClickDirect(int channel) {
    return ToggleDirect(DisplayedRack(), channel);
}

// Gain changes are not held back by a busy line (the frame waits in the ring), only by the
// console owning the channel or by a channel its on-line rack has not reported.
Redraw MicController::SetGainStep(int rack, int channel, uint32_t step) {
    if (rack < 0 || rack >= kRacks || !ValidChannel(channel) || step < kMinGainStep ||
        step > kMaxGainStep)
        return Refuse(rack, channel, ChannelField::Gain, static_cast<int>(step),
                      refusal::kOutOfRange);
    const int i = ChannelIndex(rack, channel);
    if (state_.assignment[i] != 0)
        return Refuse(rack, channel, ChannelField::Gain, static_cast<int>(step),
                      refusal::kConsoleOwned);
    if (state_.status[i] == 0 && AnyRackOnLine())
        return Refuse(rack, channel, ChannelField::Gain, static_cast<int>(step),
                      refusal::kNotReported);
    ChangeScope scope(*this, CurrentOrigin());
    state_.setting[i] = (state_.ReadSetting(i) & ~kGainMask) | step;
    if (state_.rackOnLine[rack])
        engine_.QueueSetChannel(rack, channel);
    if (rack == DisplayedRack())
        ShowGainInfo(step);
    return Strip(channel);
}

Redraw MicController::SelectGain(int channel, int index) {
    if (index < 0 || index > static_cast<int>(kMaxGainStep - kMinGainStep))
        return Refuse(DisplayedRack(), channel, ChannelField::Gain, index + 3,
                      refusal::kOutOfRange);
    return SetGainStep(DisplayedRack(), channel, static_cast<uint32_t>(index) + kMinGainStep);
}

void MicController::ShowGainInfo(uint32_t step) {
    if (seqLock_ || !AnyRackOnLine())
        return;
    view_.ShowInfoPicture(static_cast<int>(step));
    timers_.SetTimer(kTimerInfo, kInfoPictureMs);
}

void MicController::KeyPressed(KeyKind kind, int digit) {
    if (kind == KeyKind::Digit && digit >= 0 && digit <= 9) {
        lastDigit_ = digit;
    } else if (kind != KeyKind::Tab) {
        lastDigit_ = -1;
        typed_ = 0;
    }
}

Redraw MicController::GainTextEdited(int channel) {
    if (typed_ == 0) {
        if (lastDigit_ >= 2 && lastDigit_ <= 7) {
            typed_ = lastDigit_;
            return {};
        }
        return Refused();
    }
    const int t = typed_;
    const int d = lastDigit_;
    typed_ = 0;
    int dB;
    if ((d == 0 || d == 5) && t < 7) {
        dB = t * 10 + d;
    } else {
        dB = t * 10 + ((d >= 6 && t * 10 < 70) ? 5 : 0);
    }
    return SelectGain(channel, dB / 5 - 4);
}

Redraw MicController::GainBoxLeft(int channel) {
    const int t = typed_;
    typed_ = 0;
    if (t >= 2 && t <= 7)
        return SelectGain(channel, 2 * t - 4);
    return {};
}

int MicController::ColumnAt(int x) {
    const int column = (x - 3 * (x / 48 + 2)) / 48;
    return column >= 0 && column < kChannelsPerRack ? column : -1;
}

Redraw MicController::MousePress(int x, int y) {
    const int column = ColumnAt(x);
    if (column < 0)
        return {};
    const int i = ChannelIndex(DisplayedRack(), column);
    if (y >= kGainBandTop && y <= kGainBandBottom) {
        if (state_.status[i] != 0) {
            dragChannel_ = column;
            dragX_ = -1;
            dragY_ = -1;
        }
    } else if (y >= kNameBandTop && y <= kNameBandBottom) {
        state_.nameShown[i] = 1;
        view_.ShowNameBox(column, true, true);
    }
    return {};
}

Redraw MicController::MouseMove(int x, int y, bool held) {
    if (dragChannel_ < 0)
        return {};
    if (dragX_ == -1 && dragY_ == -1) {
        dragX_ = x;
        dragY_ = y;
        return {};
    }
    if (!held) {
        dragChannel_ = -1;
        return {};
    }
    const int i = ChannelIndex(DisplayedRack(), dragChannel_);
    int index = static_cast<int>(ClampGainStep(state_.ReadSetting(i) & kGainMask) - kMinGainStep);
    if (y - dragY_ >= kDragStepPixels) {
        index = std::max(index - 1, 0);
    } else if (dragY_ - y >= kDragStepPixels) {
        index = std::min(index + 1, static_cast<int>(kMaxGainStep - kMinGainStep));
    } else {
        return {};
    }
    dragX_ = x;
    dragY_ = y;
    return SelectGain(dragChannel_, index);
}

// --- names -----------------------------------------------------------------------------------

void MicController::NameEdited(int channel, std::string_view text) {
    if (!ValidChannel(channel))
        return;
    const int i = ChannelIndex(DisplayedRack(), channel);
    NoteNameEditStart(i);
    state_.SetName(i, text);
}

void MicController::NameBoxLeft(int channel, std::string_view text) {
    if (!ValidChannel(channel))
        return;
    ReportNameEdit(ChannelIndex(DisplayedRack(), channel));
    if (!text.empty())
        return;
    state_.nameShown[ChannelIndex(DisplayedRack(), channel)] = 0;
    view_.ShowNameBox(channel, false, false);
}

void MicController::NameBoxTab(int channel, std::string_view text) {
    if (channel < 0 || channel >= kChannelsPerRack - 1)
        return;
    NameBoxLeft(channel, text);
    state_.nameShown[ChannelIndex(DisplayedRack(), channel + 1)] = 1;
    view_.ShowNameBox(channel + 1, true, true);
}

// --- racks -----------------------------------------------------------------------------------

void MicController::UpdateRackButtons() {
    for (int r = 0; r < kRacks; ++r) {
        const bool shown = r == DisplayedRack();
        const int picture = state_.rackOnLine[r]
                                ? (shown ? kPicRackOnLineDisplayed : kPicRackOnLine)
                                : (shown ? kPicRackOffLineDisplayed : kPicRackOffLine);
        view_.SetRackButtonPicture(r, picture);
    }
}

Redraw MicController::SelectRack(int rack) {
    if (rack < 0 || rack >= kRacks || engine_.Collecting() || engine_.RingFull())
        return Refused();
    state_.displayedRack = static_cast<uint32_t>(rack);
    UpdateRackButtons();
    view_.RedrawRack();
    engine_.ResetTransactionFor(rack);
    if (state_.rackOnLine[rack])
        engine_.QueueDataRequest(rack);
    Redraw r;
    r.wholeRack = true;
    r.channels = kAllStrips;
    return r;
}

// --- console assignment ----------------------------------------------------------------------

bool MicController::LinkActive() const {
    return integration_ && services_.console != nullptr;
}

void MicController::SetAssignment(int rack, int channel, uint32_t value) {
    const int i = ChannelIndex(rack, channel);
    const uint32_t old = state_.assignment[i];
    if (old == value)
        return;
    lists_.Move({rack, channel}, old, value);
    state_.assignment[i] = value;
    if (state_.rackOnLine[rack])
        engine_.QueueSetChannel(rack, channel);
}

int MicController::ParseConsoleChannelText(std::string_view text) {
    if (text.empty() || text.size() > 2)
        return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

Redraw MicController::AssignConsoleChannel(int channel, int value) {
    return AssignAt(DisplayedRack(), channel, value);
}

Redraw MicController::AssignAt(int rack, int channel, int value) {
    if (!integration_)
        return Refuse(rack, channel, ChannelField::ConsoleChannel, value, refusal::kNoConsole);
    if (rack < 0 || rack >= kRacks || !ValidChannel(channel) || value < 0 ||
        value > static_cast<int>(kMaxAssignment))
        return Refuse(rack, channel, ChannelField::ConsoleChannel, value, refusal::kOutOfRange);
    const bool sequential = state_.sequential[rack] != 0;
    // With sequential assignment only the rack's first box is typed in; the rest follow it.
    if (sequential && channel != 0)
        return Refuse(rack, channel, ChannelField::ConsoleChannel, value,
                      refusal::kSequentialFirstOnly);
    ChangeScope scope(*this, CurrentOrigin());
    SetAssignment(rack, channel, static_cast<uint32_t>(value));
    Redraw r = Strip(channel);
    if (value != 0 && LinkActive())
        ApplyConsoleData(255, 255);
    if (sequential && channel == 0)
        RunSequential(rack, r);
    return r;
}

void MicController::RunSequential(int rack, Redraw& r) {
    const int first = ChannelIndex(rack, 0);
    bool othersAssigned = false;
    for (int c = 1; c < kChannelsPerRack; ++c)
        othersAssigned = othersAssigned || state_.assignment[first + c] != 0;
    if (state_.assignment[first] == 0 && othersAssigned) {
        for (int c = 1; c < kChannelsPerRack; ++c)
            SetAssignment(rack, c, 0);
    } else {
        if (state_.assignment[first] == 0)
            SetAssignment(rack, 0, 1);
        uint32_t value = state_.assignment[first];
        for (int c = 1; c < kChannelsPerRack; ++c) {
            value = std::min(value + 1, kMaxAssignment);
            SetAssignment(rack, c, value);
        }
    }
    if (LinkActive())
        ApplyConsoleData(255, 255);
    r.channels = kAllStrips;
}

Redraw MicController::SetSequential(bool on) {
    const int rack = DisplayedRack();
    if (!integration_)
        return Refused();
    if (!on) {
        state_.sequential[rack] = 0;
        return {};
    }
    state_.sequential[rack] = 1;
    seqLock_ = true;
    timers_.SetTimer(kTimerSeqLock, kSequentialLockMs);
    ChangeScope scope(*this, CurrentOrigin());
    Redraw r;
    RunSequential(rack, r);
    return r;
}

void MicController::SetPopupOnSel(bool on) {
    state_.popupOnSel = on ? 1 : 0;
    settings_.popupOnSel = on;
    if (services_.profile)
        services_.profile->WriteInt("PopupOnSel", on ? 1 : 0);
    if (!on) {
        selRack_ = -1;
        selChannel_ = -1;
        timers_.KillTimer(kTimerPopup);
        view_.ClearPopup();
    }
}

void MicController::SetPopupControls(bool on) {
    state_.popupControls = on ? 1 : 0;
    settings_.popupControls = on;
    if (services_.profile)
        services_.profile->WriteInt("PopupControls", on ? 1 : 0);
}

// --- timers ----------------------------------------------------------------------------------

void MicController::OnTimer(int id) {
    switch (id) {
        case kTimerTransaction:
            engine_.OnTransactionTimer();
            break;
        case kTimerInfo:
            timers_.KillTimer(kTimerInfo);
            view_.ShowInfoPicture(-1);
            break;
        case kTimerPopup:
            timers_.KillTimer(kTimerPopup);
            view_.PopupTimerExpired();
            break;
        case kTimerSeqLock:
            timers_.KillTimer(kTimerSeqLock);
            seqLock_ = false;
            break;
        case kTimerRackCheck:
            CheckAllRacks();
            break;
        default:
            break;
    }
}

// --- console data ----------------------------------------------------------------------------

void MicController::ApplyConsoleData(int wParam, int lParam) {
    if (!LinkActive() || view_.PopupOpeningNotReady())
        return;
    services_.console->WithImage(
        [&](const uint8_t* image) { ApplyConsoleImage(image, wParam, lParam); });
}

void MicController::ApplyConsoleImage(const uint8_t* image, int wParam, int lParam) {
    if (!integration_ || !image)
        return;
    engine_.PushTimerForConsole();
    for (int line = 0; line < kConsoleLines; ++line) {
        bool mappingDriven = false;
        bool lineDriven = false;
        // Applying never changes assignments, but a copy keeps the walk safe whatever the
        // popup driver does meanwhile.
        const std::vector<ChannelMapping> list = lists_.List(line);
        if (list.empty())
            continue;
        ChangeOrigin fromLine;
        fromLine.source = ChangeSource::ConsoleLine;
        fromLine.consoleLine = line + 1;
        ChangeScope scope(*this, fromLine);
        for (const ChannelMapping& m : list) {
            if (m.rack < 0 || m.rack >= kRacks || !ValidChannel(m.channel))
                continue;
            if (state_.assignment[ChannelIndex(m.rack, m.channel)] !=
                static_cast<uint32_t>(line + 1))
                continue;
            ApplyOneChannel(m.rack, m.channel, line + 1, image + 4 * line, wParam, lParam,
                            mappingDriven, lineDriven);
            if (mappingDriven)
                lineDriven = true;
        }
    }
}

void MicController::ApplyOneChannel(int rack, int channel, int line, const uint8_t* record,
                                    int wParam, int lParam, bool& mappingDriven, bool lineDriven) {
    const int i = ChannelIndex(rack, channel);
    const bool displayed = rack == DisplayedRack();
    const bool mayDrive = wParam != 255 && lParam != 255 && !lineDriven;
    auto drive = [&](uint32_t previousStep, bool fromSelect) {
        view_.DriveChannelPopup(rack, channel, static_cast<int>(previousStep), fromSelect);
        mappingDriven = true;
    };
    auto changed = [&](uint32_t previous, uint32_t now) {
        state_.setting[i] = now;
        if (displayed)
            view_.RedrawChannel(channel);
        if (state_.rackOnLine[rack])
            engine_.QueueSetChannel(rack, channel);
        if (mayDrive && (state_.popupControls || view_.PopupOpenAndReady()))
            drive(previous & kGainMask, false);
    };

    uint32_t s = state_.ReadSetting(i);
    bool phantomWanted = record[0] == 0;
    if (phantomWanted && PhantomForbidden(rack, channel)) {
        // The console's wish is refused (and phantom, if on, goes off); it is reported when
        // it is new, not at every application of an unchanged image.
        phantomWanted = false;
        if (consolePhantomRefused_[i] != line) {
            consolePhantomRefused_[i] = static_cast<uint8_t>(line);
            RefusePhantom(rack, channel);
        }
    } else if (!phantomWanted) {
        consolePhantomRefused_[i] = 0;
    }
    if (((s & kPhantomBit) != 0) != phantomWanted) {
        const uint32_t now = phantomWanted ? (s | kPhantomBit) : (s & ~kPhantomBit);
        changed(s, now);
        s = now;
    }
    if (record[1] != ((s & kPadBit) ? 1 : 0)) {
        const uint32_t now = record[1] ? (s | kPadBit) : (s & ~kPadBit);
        changed(s, now);
        s = now;
    }
    const uint32_t gain = ClampGainStep(record[2]);
    if ((s & kGainMask) != gain) {
        const uint32_t now = (s & ~kGainMask) | gain;
        changed(s, now);
        s = now;
    }
    if (state_.popupOnSel) {
        if (record[3] != 0) {
            if (selRack_ < 0) {
                selRack_ = rack;
                selChannel_ = channel;
                if (mayDrive)
                    drive(s & kGainMask, true);
            }
        } else if (selRack_ == rack && selChannel_ == channel) {
            selRack_ = -1;
            selChannel_ = -1;
            if (mayDrive)
                drive(s & kGainMask, true);
        }
    }
}

// --- Setup / Test ----------------------------------------------------------------------------

bool MicController::SetupClicked() {
    if (!engine_.RingEmpty() || busy_ || engine_.Halted() || engine_.VersionScanRunning())
        return false;
    view_.SetSetupButtonPicture(kPicSetupBusy);
    if (!engine_.StartVersionScan()) {
        view_.SetSetupButtonPicture(kPicSetupNormal);
        return false;
    }
    return true;
}

void MicController::VersionScanFinished() {
    engine_.SetHalted(true);
    SetupWindowArgs args;
    args.portNumber = settings_.communicationPort;
    args.useWithVantor = settings_.useWithVantor != 0;
    args.autoLoad = settings_.autoLoad;
    args.autoRestore = settings_.autoRestore;
    for (int r = 0; r < kRacks; ++r)
        args.versions.push_back(engine_.Version(r));
    view_.OpenSetupWindow(args);
}

void MicController::SetupWindowClosed() {
    if (!engine_.RingEmpty())
        SetBusy();
    view_.SetSetupButtonPicture(kPicSetupNormal);
    engine_.SetHalted(false);
    const int rack = DisplayedRack();
    if (state_.rackOnLine[rack])
        engine_.QueueDataRequest(rack);
}

void MicController::SetupAction(int value, int action) {
    switch (action) {
        case 0:
            engine_.SendTest(value);
            break;
        case 2:
            ResetRacks(value == -1 ? -1 : DisplayedRack());
            break;
        case 3:
            if (value) {
                if (!engine_.SetDebugLog(true))
                    view_.MessageBox("Debug File Error!!", "mic");
            } else {
                engine_.SetDebugLog(false);
            }
            break;
        case 4:
            if (value >= 0 && value <= 4)
                ChangePort(static_cast<uint32_t>(value) + 1);
            break;
        case 5:
            settings_.useWithVantor = value ? 1 : 0;
            if (services_.profile)
                services_.profile->WriteInt("Use With Vantor", value ? 1 : 0);
            break;
        case 6:
            settings_.autoLoad = value != 0;
            if (settings_.autoLoad)
                settings_.autoRestore = false;
            break;
        case 7:
            settings_.autoRestore = value != 0;
            if (settings_.autoRestore)
                settings_.autoLoad = false;
            break;
        default:
            break;
    }
}

void MicController::ResetRacks(int which) {
    ChangeScope scope(*this, CurrentOrigin());
    for (int rack = 0; rack < kRacks; ++rack) {
        if (which != -1 && rack != which)
            continue;
        for (int c = 0; c < kChannelsPerRack; ++c)
            lists_.Move({rack, c}, state_.assignment[ChannelIndex(rack, c)], 0);
        state_.ResetRack(rack);
        if (state_.rackOnLine[rack]) {
            engine_.QueueFullChannelState(rack);
            CheckWhenIdle(rack);
        }
    }
    if (which == -1)
        lists_.Clear();
    view_.RedrawRack();
}

// --- files -----------------------------------------------------------------------------------

bool MicController::PresetButtonsUsable() const {
    return engine_.RingEmpty() && !busy_;
}

void MicController::StorePreset(const std::string& path) {
    if (!PresetButtonsUsable())
        return;
    settings_.fileName = path;
    SaveState(path, true);
}

void MicController::LoadPreset(const std::string& path, uint32_t scope) {
    if (!PresetButtonsUsable())
        return;
    settings_.fileName = path;
    ChangeScope changes(*this, FileOrigin(ChangeSource::PresetFile, path));
    LoadState(path, true, -1, scope);
}

std::vector<ChannelChange> MicController::PreviewPreset(const std::string& path, uint32_t scope,
                                                        bool* readable) const {
    return PreviewPresetFile(state_, path, -1, Rules(scope), readable);
}

void MicController::SaveState(const std::string& path, bool showTitle) {
    if (!SavePresetFile(path, state_))
        return;
    if (showTitle)
        view_.SetWindowTitle(std::string(kTitleBase) + "   (" + FileTitle(path) + ")");
}

// A load with a narrower scope keeps the other parts as they are and still sends every
// channel of each loaded on-line rack (12 set channel and 12 set direct switch frames): the
// set channel frame carries gain, switches and assignment together.
void MicController::LoadState(const std::string& path, bool showTitle, int rack, uint32_t scope) {
    if (rack < -1 || rack >= kRacks)
        return;
    PreampState file = state_;
    if (LoadPresetFile(path, file, rack)) {
        view_.SetWindowTitle(showTitle ? std::string(kTitleBase) + "   (" + FileTitle(path) + ")"
                                       : std::string(kTitleBase));
    }
    // Phantom is held off before anything is queued: the rack never sees it on.
    std::vector<int> heldOff;
    state_ = ComposeRecall(state_, file, rack, Rules(scope), &heldOff);
    for (int i : heldOff)
        RefusePhantom(i / kChannelsPerRack, i % kChannelsPerRack);
    lists_.Rebuild(state_);
    for (int r = 0; r < kRacks; ++r) {
        if ((rack == -1 || r == rack) && state_.rackOnLine[r]) {
            SetBusy();
            engine_.QueueFullChannelState(r);
            CheckWhenIdle(r);
        }
    }
    const bool displayedTouched = rack == -1 || rack == DisplayedRack();
    if (LinkActive())
        ApplyConsoleData(255, 255);
    if (displayedTouched) {
        view_.RedrawRack();
        engine_.ResetRetryCounter();
    }
}

void MicController::WriteSnapshot() {
    if (!settings_.autoRestore)
        return;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(snapshotPath_).parent_path(), ec);
    SaveState(snapshotPath_, false);
}

void MicController::SetBusy() {
    if (busy_)
        return;
    busy_ = true;
    view_.ShowStatusPicture(StatusPicture::Busy);
}

// --- protocol consequences -------------------------------------------------------------------

void MicController::PollAnswered(int /*rack*/) {
    if (busy_) {
        busy_ = false;
        view_.ShowStatusPicture(StatusPicture::RacksPresent);
    }
    if (settings_.verifyRacks)
        AskDueChecks();
}

void MicController::AutomaticRecall(int rack) {
    if (settings_.autoLoad && !settings_.fileName.empty()) {
        ChangeScope scope(*this, FileOrigin(ChangeSource::PresetFile, settings_.fileName));
        LoadState(settings_.fileName, true, rack, settings_.restoreScope);
    } else if (settings_.autoRestore) {
        ChangeScope scope(*this, FileOrigin(ChangeSource::AutoRestore, snapshotPath_));
        LoadState(snapshotPath_, false, rack, settings_.restoreScope);
    }
}

void MicController::RackCameOnLine(int rack) {
    const bool onlyOne = engine_.OnLineCount() == 1;
    if (onlyOne)
        state_.displayedRack = static_cast<uint32_t>(rack);
    const bool autoLoad = settings_.autoLoad && !settings_.fileName.empty();
    if (settings_.verifyRacks && wasOnLine_[rack] && !autoLoad) {
        // A rack back on the line is read before anything is sent to it, so that what was
        // changed on it meanwhile is found; the data request queued below is that read, and
        // the check re-sends or adopts. (An automatic load still sends its file: the operator
        // asked for that file in every rack that comes on line.)
    } else if (autoLoad || (settings_.autoRestore && !wasOnLine_[rack])) {
        // A narrower scope sends the parts it leaves out as the rack reports them: the recall
        // runs when the rack's data block (requested below) has arrived.
        if (settings_.restoreScope == kRecallEverything) {
            AutomaticRecall(rack);
        } else {
            recallAwaitsBlock_[rack] = true;
        }
    } else if (settings_.autoRestore) {
        // The rack dropped out and came back. What memory holds for it is this session's
        // state, newer than the snapshot (written at the last close or when every rack had
        // gone): send that again rather than fall back to the older file.
        ChangeScope scope(*this, FileOrigin(ChangeSource::AutoRestore, snapshotPath_));
        HoldPhantomOffAt(rack);
        SetBusy();
        engine_.QueueFullChannelState(rack);
    } else if (!integration_) {
        for (int c = 0; c < kChannelsPerRack; ++c)
            engine_.QueueSetChannel(rack, c);
    }
    if (onlyOne) {
        view_.ShowStatusPicture(busy_ ? StatusPicture::Busy : StatusPicture::RacksPresent);
        view_.RedrawRack();
    }
    wasOnLine_[rack] = true;
    UpdateRackButtons();
    // Queued behind what was just sent to the rack: with checking on, it is the read-back.
    if (engine_.QueueDataRequest(rack))
        CheckWithNextBlock(rack);
    NotifyRackLine(rack, true);
}

void MicController::RackWentOffLine(int rack) {
    for (int c = 0; c < kChannelsPerRack; ++c)
        state_.status[ChannelIndex(rack, c)] = 0;
    if (engine_.OnLineCount() == 0) {
        WriteSnapshot();
        view_.ShowStatusPicture(StatusPicture::NoRacks);
    }
    SetRackSync(rack, RackSync::Unknown);
    checks_[rack] = RackCheck{};
    UpdateRackButtons();
    if (rack == DisplayedRack())
        view_.RedrawRack();
    NotifyRackLine(rack, false);
}

void MicController::DataBlockArrived(int rack, const uint8_t* block, bool displayedMode) {
    if (rack < 0 || rack >= kRacks)
        return;
    AdoptDataBlock(rack, block, displayedMode);
    if (recallAwaitsBlock_[rack] && state_.rackOnLine[rack]) {
        recallAwaitsBlock_[rack] = false;
        AutomaticRecall(rack);
    }
}

void MicController::AdoptDataBlock(int rack, const uint8_t* block, bool displayedMode) {
    ChangeOrigin panel;
    panel.source = ChangeSource::FrontPanel;
    ChangeScope scope(*this, panel);
    // The check compares before anything of the block is taken.
    const bool keepModel = settings_.verifyRacks && CheckBlock(rack, block);
    const uint8_t address = AddressByte(rack);
    const TransmitRing& ring = engine_.Ring();
    bool assignmentChanged = false;
    for (int c = 0; c < kChannelsPerRack; ++c) {
        const int i = ChannelIndex(rack, c);
        const auto channel = static_cast<uint8_t>(c);
        state_.status[i] = block[24 + c] & 0x0F;
        // The block was taken before frames still waiting in the ring reach the rack: a value
        // with a frame pending is newer than the block's and is kept, or the operator's change
        // would be undone here while the rack still receives it.
        if (!keepModel && !ring.HasPending(address, kCmdSetDirect, channel))
            state_.directSwitch[i] = (block[24 + c] >> 5) & 1;
        if (!keepModel && !ring.HasPending(address, kCmdSetChannel, channel)) {
            const uint8_t assignByte = block[2 * c + 1];
            // Assignments exist only with the console; a stand-alone program keeps none.
            const uint32_t assignment =
                (!integration_ || assignByte >= kNoAssignmentByte) ? 0 : assignByte + 1u;
            state_.setting[i] = block[2 * c] & 0x7F;
            if (state_.assignment[i] != assignment) {
                lists_.Move({rack, c}, state_.assignment[i], assignment);
                state_.assignment[i] = assignment;
                assignmentChanged = true;
            }
        }
        if (rack == DisplayedRack())
            view_.RedrawChannel(c);
    }
    // Console-owned controls keep the console's values over what the rack reported.
    if (LinkActive() && (!displayedMode || assignmentChanged))
        ApplyConsoleData(255, 255);
}

}  // namespace mic

// Test doubles for the core's services: a clock-free timer table, a port that records frames,
// a view that records what it was asked to show, and a rack that answers like the line does.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mic/core/CommandPort.h"
#include "mic/core/Frames.h"
#include "mic/core/MicController.h"
#include "mic/core/MicSettings.h"
#include "mic/core/MicTimers.h"
#include "mic/core/MicView.h"
#include "mic/core/ReplyState.h"

namespace mic::test {

using Bytes = std::vector<uint8_t>;

// Timers on a fake clock: time passes only when a test advances it.
class FakeTimers : public MicTimers {
  public:
    void SetTimer(int id, uint32_t periodMs) override {
        period[id] = periodMs;
        dueAt[id] = nowMs + periodMs;
    }
    void KillTimer(int id) override {
        period.erase(id);
        dueAt.erase(id);
    }
    bool Running(int id) const { return period.count(id) != 0; }
    std::optional<uint32_t> Period(int id) const {
        auto it = period.find(id);
        return it == period.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    }
    void Advance(uint64_t ms) { nowMs += ms; }
    bool Due(int id) const {
        auto it = dueAt.find(id);
        return it != dueAt.end() && it->second <= nowMs;
    }
    // A repeating timer that fires is due again one period later.
    void Fired(int id) {
        if (Running(id))
            dueAt[id] = nowMs + period[id];
    }
    std::map<int, uint32_t> period;
    std::map<int, uint64_t> dueAt;
    uint64_t nowMs = 0;
};

class FakePort : public CommandPort {
  public:
    void SendCommand(const uint8_t* message) override {
        Bytes frame;
        for (size_t i = 0; i < 128 && message[i] != kFrameEnd; ++i)
            frame.push_back(message[i]);
        sent.push_back(frame);
    }
    bool IsOpen() const override { return true; }
    const Bytes& Last() const { return sent.back(); }
    std::vector<Bytes> sent;
};

class FakeView : public MicView {
  public:
    void RedrawChannel(int channel) override { redrawnChannels.push_back(channel); }
    void RedrawRack() override { ++rackRedraws; }
    void SetRackButtonPicture(int rack, int picture) override { rackPicture[rack] = picture; }
    void SetRackSyncMark(int rack, RackSync state) override { syncMarks.emplace_back(rack, state); }
    void ShowStatusPicture(StatusPicture p) override { status = p; }
    void ShowInfoPicture(int gainStep) override { info = gainStep; }
    void SetSetupButtonPicture(int picture) override { setupPicture = picture; }
    void ShowNameBox(int channel, bool show, bool focus) override {
        nameBoxShown[channel] = show;
        if (focus)
            focused = channel;
    }
    void MessageBox(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    void SetWindowTitle(const std::string& t) override { title = t; }
    void ShowPortError() override { ++portErrors; }
    void BringToForeground() override {}
    void OpenSetupWindow(const SetupWindowArgs& args) override { setup = args; }
    void DriveChannelPopup(int rack, int channel, int previousGainStep, bool fromSelect) override {
        popups.push_back({rack, channel, previousGainStep, fromSelect ? 1 : 0});
    }
    bool PopupOpeningNotReady() const override { return false; }
    void PopupTimerExpired() override { ++popupExpired; }
    void ClearPopup() override { ++popupCleared; }
    void ShowPhantomRefused(int rack, int channel) override {
        phantomRefused.emplace_back(rack, channel);
    }

    std::vector<int> redrawnChannels;
    int rackRedraws = 0;
    std::array<int, 16> rackPicture{};
    std::vector<std::pair<int, RackSync>> syncMarks;
    std::optional<StatusPicture> status;
    int info = -100;
    int setupPicture = 0;
    std::array<bool, 12> nameBoxShown{};
    int focused = -1;
    std::vector<std::string> messages;
    std::string title;
    int portErrors = 0;
    std::optional<SetupWindowArgs> setup;
    std::vector<std::array<int, 4>> popups;
    int popupExpired = 0;
    int popupCleared = 0;
    std::vector<std::pair<int, int>> phantomRefused;
};

class FakeProfile : public ProfileWriter {
  public:
    void WriteInt(std::string_view name, int32_t value) override {
        ints[std::string(name)] = value;
        order.emplace_back(name);
    }
    void WriteString(std::string_view name, std::string_view value) override {
        strings[std::string(name)] = std::string(value);
        order.emplace_back(name);
    }
    std::map<std::string, int32_t> ints;
    std::map<std::string, std::string> strings;
    std::vector<std::string> order;
};

class FakePortControl : public PortControl {
  public:
    bool OpenAndStart(uint32_t n) override {
        tried.push_back(n);
        return openable.count(n) != 0;
    }
    void Stop() override { ++stops; }
    std::set<uint32_t> openable{1, 2, 3, 4};
    std::vector<uint32_t> tried;
    int stops = 0;
};

class FakeConsole : public ConsoleImageSource {
  public:
    FakeConsole() {
        // Neutral image: phantom off (non-zero), pad off, gain step 3, not selected.
        for (int l = 0; l < kConsoleLines; ++l)
            image[4 * l] = 1, image[4 * l + 2] = 3;
    }
    void WithImage(const std::function<void(const uint8_t*)>& apply) override {
        ++locks;
        apply(image.data());
    }
    std::array<uint8_t, kMicLineImageSize> image{};
    int locks = 0;
};

// One of each fake, and the service table that hands them to a controller.
struct FakeServices {
    FakeView view;
    FakeTimers timers;
    FakeProfile profile;
    FakePortControl portControl;
    FakePort port;
    FakeConsole console;

    MicServices Services(bool withConsole = true) {
        MicServices services;
        services.view = &view;
        services.timers = &timers;
        services.profile = &profile;
        services.portControl = &portControl;
        services.port = &port;
        services.console = withConsole ? &console : nullptr;
        return services;
    }
};

// One byte arriving from the line, assembled the way the serial reader does it; true when the
// reader would hand the reply over.
inline bool FeedReplyByte(ReplyState& r, uint8_t byte) {
    const uint32_t mode = r.replyMode.load();
    const uint32_t count = r.replyCount.load();
    if (mode == kReplySingleByte) {
        r.replyCount = 0;
        if (r.awaiting.load() != kAwaitingReply)
            return false;
        if (byte == kAck || byte == kAckWithData) {
            if (byte == kAckWithData)
                r.replyBuffer[0] = byte;
            r.replyMode = kReplyNothing;
            r.awaiting = kIdle;
            return true;
        }
        if (byte == kNack) {
            r.awaiting = kIdle;
            return true;
        }
        return false;
    }
    if (mode == kReplyText) {
        if (count >= 11) {
            r.awaiting = kIdle;
            return true;
        }
        if ((byte >= 0x20 && byte <= 0x7E) || count == 10) {
            r.replyBuffer[count] = byte;
            r.replyCount = count + 1;
            r.awaiting = kReceivingReply;
        }
        return false;
    }
    if (mode == kReplyDataBlock || mode == kReplyDataBlockAlt) {
        if (count < kReplyBufferSize)
            r.replyBuffer[count] = byte;
        r.replyCount = count + 1;
        if (count >= 36) {
            r.awaiting = kIdle;
            return true;
        }
        r.awaiting = kReceivingReply;
        return false;
    }
    r.replyCount = 0;
    return false;
}

inline Bytes SetChannelBytes(int rack, int channel, uint8_t setting, uint8_t assignByte) {
    const uint8_t sum = static_cast<uint8_t>((channel + setting + assignByte) & 0x7F);
    return {static_cast<uint8_t>(0x81 + rack),
            0x11,
            static_cast<uint8_t>(channel),
            setting,
            assignByte,
            sum};
}

// A data block as a rack sends it, checksum included.
inline Bytes DataBlock(const std::array<uint8_t, 12>& settings, uint8_t status = 1,
                       std::array<uint8_t, 12> assignBytes = {}, uint16_t directBits = 0) {
    Bytes b(37, 0);
    for (int c = 0; c < 12; ++c) {
        b[2 * c] = settings[c];
        b[2 * c + 1] = assignBytes[c] ? assignBytes[c] : 0x7F;
        b[24 + c] = static_cast<uint8_t>(status | (((directBits >> c) & 1) << 5));
    }
    uint32_t sum = 0;
    for (int i = 0; i < 36; ++i)
        sum += b[i];
    b[36] = sum & 0x7F;
    return b;
}

}  // namespace mic::test

// Raw bytes as OSC packets from a peer into the remote control's handler, on a controller with
// racks on line (a fake line). The first byte picks the peer and whether it subscribed; the
// rest is one packet. Every reply must encode and decode again, a peer off the allow-list must
// change nothing, and the controller's invariants must hold.
#include "MicFakes.h"
#include "MicInvariants.h"
#include "mic/osc/ControllerModel.h"
#include "mic/osc/OscHandler.h"

using namespace mic;

namespace {

struct CheckingSender : osc::OscSender {
    size_t sent = 0;
    void Send(const osc::Peer&, const osc::OscMessage& message) override {
        ++sent;
        const std::vector<uint8_t> bytes = osc::EncodeMessage(message);
        MIC_CHECK(!bytes.empty());
        std::vector<osc::OscMessage> back;
        std::string error;
        MIC_CHECK(osc::DecodePacket(bytes.data(), bytes.size(), back, error));
        MIC_CHECK(back.size() == 1 && back[0].path == message.path &&
                  back[0].args.size() == message.args.size());
    }
};

struct Rig {
    test::FakeServices fakes;
    std::unique_ptr<MicController> mic;

    Rig() {
        MicConfig config;
        config.settings.autoRestore = false;
        config.consoleIntegration = true;
        config.snapshotPath = "/nonexistent-dir/snapshot.mic";
        mic = std::make_unique<MicController>(config, fakes.Services());
        mic->Initialise();
        // Racks 1 and 2 on line; channel 3 of rack 1 assigned to the console.
        for (int rack = 0; rack < 2; ++rack) {
            for (int i = 0; i < 4 && !mic->State().rackOnLine[rack]; ++i) {
                mic->Engine().SendPoll(rack);
                const uint32_t t = mic->Reply().transaction.load();
                if (test::FeedReplyByte(mic->Reply(), kAck))
                    mic->Engine().OnReply(1, t);
            }
        }
        mic->AssignConsoleChannel(2, 7);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static Rig rig;  // one controller for the whole run: state carries over, as in a session
    CheckingSender sender;
    osc::HandlerOptions options;
    options.restrictPeers = data[0] & 1;
    std::string bad;
    options.allow.Parse("10.0.0.0/8", bad);
    osc::ControllerModel model(*rig.mic);
    osc::OscHandler handler(model, sender, options);
    rig.mic->AddObserver(&handler);
    const osc::Peer peer{(data[0] & 2) ? "10.1.1.1" : "192.168.5.5", 9000};
    if (data[0] & 4)
        handler.HandleMessage(peer, {"/mic/subscribe", {}});

    const PreampState before = rig.mic->State();
    handler.HandlePacket(peer, data + 1, size - 1);
    if (!handler.Allowed(peer)) {
        MIC_CHECK(sender.sent == 0);
        MIC_CHECK(rig.mic->State().setting == before.setting);
        MIC_CHECK(rig.mic->State().name == before.name);
    }
    rig.mic->RemoveObserver(&handler);
    fuzz::CheckState(*rig.mic);
    // The line answers what was queued, so that later inputs are not all refused as busy.
    for (int i = 0; i < 200 && !rig.mic->Engine().RingEmpty(); ++i) {
        if (rig.mic->Reply().awaiting.load() == kIdle) {
            rig.mic->OnTimer(kTimerTransaction);
        } else {
            const uint32_t t = rig.mic->Reply().transaction.load();
            if (test::FeedReplyByte(rig.mic->Reply(), kAck))
                rig.mic->Engine().OnReply(1, t);
        }
    }
    return 0;
}

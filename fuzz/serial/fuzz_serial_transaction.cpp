// The controller's transaction step driven by assembled replies, timer firings and operator
// actions in any order: no crash, no overrun, and the protocol's counters stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "MicFakes.h"
#include "mic/core/MicController.h"
#include "mic/core/SerialPort.h"

namespace {

// Prepares the reply record the way the serial port does for every command.
class RecordPort : public mic::CommandPort {
  public:
    mic::ReplyState* reply = nullptr;
    void SendCommand(const uint8_t* message) override {
        int32_t n = 0;
        while (n < 127 && message[n] != 0xFF) {
            ++n;
        }
        reply->echoLength = n;
        reply->replyCount = 0;
        reply->replyBuffer[0] = 0;
    }
    bool IsOpen() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mic::test::FakeView view;
    mic::test::FakeTimers timers;
    RecordPort port;
    mic::MicConfig config;
    config.settings.autoRestore = false;  // no snapshot files from the fuzzer
    config.settings.portWasStored = true;
    config.snapshotPath = "/nonexistent/fuzz-snapshot.mic";
    config.debugLogPath = "/nonexistent/MicDebug.txt";
    mic::MicServices services;
    services.view = &view;
    services.timers = &timers;
    services.port = &port;
    // The controller is large; building it in the same memory every run keeps the fuzzer from
    // spending its time on page faults of fresh mappings.
    alignas(mic::MicController) static unsigned char storage[sizeof(mic::MicController)];
    auto* owned = new (storage) mic::MicController(config, services);
    struct Destroy {
        mic::MicController* p;
        ~Destroy() { p->~MicController(); }
    } destroy{owned};
    mic::MicController& mic = *owned;
    port.reply = &mic.Reply();
    mic.Initialise();
    mic::CReplyAssembler assembler(mic.Reply());

    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        const uint8_t arg = i + 1 < size ? data[i + 1] : 0;
        switch (b) {
            case 0xF0:
                mic.OnTimer(mic::kTimerTransaction);
                continue;
            case 0xF1:
                mic.ClickPhantom(arg % 12), ++i;
                continue;
            case 0xF2:
                mic.SelectGain(arg % 12, arg % 11), ++i;
                continue;
            case 0xF3:
                mic.SelectRack(arg % 16), ++i;
                continue;
            case 0xF4:
                mic.ClickDirect(arg % 12), ++i;
                continue;
            case 0xF5:
                mic.SetupAction(arg & 1 ? -1 : 0, 2), ++i;
                continue;
            case 0xF6:
                mic.Engine().SendVersionRequest(arg % 16), ++i;
                continue;
            case 0xF7:
                mic.SetupClicked();
                continue;
            case 0xF8:
                mic.SetupWindowClosed();
                continue;
            default:
                break;
        }
        mic::ByteAction action = assembler.Process(b);
        if (action == mic::ByteAction::Echo) {
            i += static_cast<size_t>(assembler.EchoReads());
            assembler.EchoDone();
        } else if (action == mic::ByteAction::Complete) {
            mic.Engine().OnReply(1, assembler.Transaction());
        }
        const mic::ProtocolEngine& engine = mic.Engine();
        if (engine.OnLineCount() < 0 || engine.OnLineCount() > mic::kRacks ||
            engine.RetryCounter() > 2 || mic.Reply().replyCount > mic::kReplyBufferSize) {
            std::abort();
        }
        for (int r = 0; r < mic::kRacks; ++r) {
            if (engine.LinkCounter(r) < 0 || engine.LinkCounter(r) > 4) {
                std::abort();
            }
        }
    }
    return 0;
}

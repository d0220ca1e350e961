// A controller wired to fakes, with helpers that play the line's part.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "MicFakes.h"
#include "mic/core/MicController.h"

namespace mic::test {

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "miccore-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

struct Harness : FakeServices {
    explicit Harness(MicSettings settings = NoFiles(), bool integration = false,
                     bool withConsole = true) {
        MicConfig config;
        config.settings = settings;
        config.consoleIntegration = integration;
        config.snapshotPath = dir.File("RestoreSnapshot.mic");
        config.debugLogPath = dir.File("MicDebug.txt");
        mic = std::make_unique<MicController>(config, Services(withConsole));
    }

    static MicSettings NoFiles() {
        MicSettings s;
        s.autoRestore = false;
        s.portWasStored = true;
        return s;
    }

    ProtocolEngine& Engine() { return mic->Engine(); }
    const PreampState& State() const { return mic->State(); }

    // Bytes of the frame handed to the port last.
    const Bytes& Sent() const { return port.Last(); }
    size_t SentCount() const { return port.sent.size(); }

    // The line delivers `byte`; a completed reply runs the transaction step.
    void Line(uint8_t byte) {
        const uint32_t transaction = mic->Reply().transaction.load();
        if (FeedReplyByte(mic->Reply(), byte))
            mic->Engine().OnReply(1, transaction);
    }
    void Line(const Bytes& bytes) {
        for (uint8_t b : bytes)
            Line(b);
    }
    void Timeout() { mic->OnTimer(kTimerTransaction); }

    // Polls `rack` directly and answers ACK until it is on line.
    void BringOnLine(int rack) {
        for (int i = 0; i < 4 && !State().rackOnLine[rack]; ++i) {
            Engine().SendPoll(rack);
            Line(kAck);
        }
    }
    // Answers every frame (data requests with `block`, or not at all when it is empty) until
    // the ring is empty and a poll is in flight.
    void DrainRing(const Bytes& block = {}) {
        for (int guard = 0; guard < 10000; ++guard) {
            if (Sent()[1] == kCmdPoll && Engine().RingEmpty())
                return;
            if (mic->Reply().awaiting.load() == kIdle) {
                Timeout();
            } else if (Sent()[1] == kCmdDataRequest) {
                if (block.empty()) {
                    Timeout();
                } else {
                    Line(block);
                }
            } else {
                Line(kAck);
            }
        }
        ADD_FAILURE() << "the ring never emptied";
    }

    TempDir dir;
    std::unique_ptr<MicController> mic;
};

}  // namespace mic::test

// Loads arbitrary bytes as a ".mic" file, for all racks and for one rack, through the file
// reader and through the controller's load (list rebuild, frames for on-line racks), and once
// more with a recall scope and protected channels, against its preview.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "MicFakes.h"
#include "MicInvariants.h"
#include "mic/core/ChannelDiff.h"
#include "mic/core/PresetFile.h"

using namespace mic;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int rack = size > 0 ? static_cast<int>(data[0] % 18) - 1 : -1;  // -1..16

    PreampState direct;
    LoadPresetBytes(data, size, direct, rack);
    for (const auto& name : direct.name)
        MIC_CHECK(name[kNameSize - 1] == '\0');

    static const std::string path = [] {
        // Memory-backed when the machine has it: every save ends in fsync.
        char tmpl[] = "/dev/shm/fuzz-mic-preset-XXXXXX";
        if (access("/dev/shm", W_OK) != 0)
            std::memcpy(tmpl, "/tmp/fuzz-mic-preset", 20);
        const int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        return std::string(tmpl);
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    test::FakeServices fakes;
    MicConfig config;
    config.settings.autoRestore = false;
    config.consoleIntegration = size > 1 && (data[1] & 1);
    config.snapshotPath = path + ".snap";
    MicController mic(config, fakes.Services());
    mic.Engine().SendPoll(0);
    for (int i = 0; i < 4; ++i) {
        test::FeedReplyByte(mic.Reply(), kAck);
        mic.Engine().OnReply(1, mic.Engine().Transaction());
        mic.Engine().SendPoll(0);
    }
    mic.LoadState(path, true, rack);
    fuzz::CheckState(mic);
    if (!config.consoleIntegration) {
        for (uint32_t a : mic.State().assignment)
            MIC_CHECK(a == 0);
    }
    // A scoped load over channels whose microphones refuse phantom (the types come from the
    // same bytes): phantom stays off there, parts outside the scope stay as they were, and the
    // preview announced exactly the changes made.
    {
        test::FakeServices guardedFakes;
        MicConfig guarded = config;
        guarded.consoleIntegration = false;  // the console would retake its channels
        guarded.settings.microphoneTypes = ParseMicTypes(std::string_view(
            reinterpret_cast<const char*>(data), std::min<size_t>(size, kChannels)));
        MicController scoped(guarded, guardedFakes.Services());
        const uint32_t scope = size > 2 ? data[2] & kRecallEverything : kRecallEverything;
        const PreampState before = scoped.State();
        const std::vector<ChannelChange> preview = scoped.PreviewPreset(path, scope);
        scoped.LoadState(path, false, rack, scope);
        const PreampState& after = scoped.State();
        for (int i = 0; i < kChannels; ++i) {
            if (!PhantomAllowed(guarded.settings.microphoneTypes[i]))
                MIC_CHECK(!(after.setting[i] & kPhantomBit));
            if (!(scope & kRecallGain))
                MIC_CHECK((after.setting[i] & kGainMask) == (before.setting[i] & kGainMask));
            if (!(scope & kRecallNames))
                MIC_CHECK(after.name[i] == before.name[i]);
            if (!(scope & kRecallDirect))
                MIC_CHECK(after.directSwitch[i] == before.directSwitch[i]);
        }
        if (rack == -1) {
            const size_t made =
                ChannelDifferences(ChannelTables(before), ChannelTables(after)).size();
            const size_t refused = static_cast<size_t>(std::count_if(
                preview.begin(), preview.end(), [](const ChannelChange& c) { return c.refused; }));
            MIC_CHECK(preview.size() == made + refused);
        }
    }

    // Whatever was loaded must survive a save and load unchanged.
    const std::string copy = path + ".copy";
    if (SavePresetFile(copy, mic.State())) {
        PreampState back;
        MIC_CHECK(LoadPresetFile(copy, back, -1));
        for (int i = 0; i < kChannels; ++i) {
            MIC_CHECK(back.assignment[i] == mic.State().assignment[i]);
            MIC_CHECK(back.directSwitch[i] == mic.State().directSwitch[i]);
            MIC_CHECK(back.setting[i] == (mic.State().setting[i] & 0x7F));
            MIC_CHECK(std::memcmp(back.name[i].data(), mic.State().name[i].data(), kNameSize) == 0);
        }
    }
    return 0;
}

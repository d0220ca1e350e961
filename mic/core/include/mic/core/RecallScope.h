// Which parts of a preset or snapshot a load takes from its file, and the state a load leaves.
// The full scope is the plain load: every table of the file for the racks loaded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/core/MicrophoneType.h"
#include "mic/core/PreampState.h"

namespace mic {

enum RecallPart : uint32_t {
    kRecallGain = 1u << 0,
    kRecallPhantom = 1u << 1,
    kRecallPhase = 1u << 2,
    kRecallPad = 1u << 3,
    kRecallDirect = 1u << 4,
    kRecallNames = 1u << 5,    // with the name-shown flags
    kRecallConsole = 1u << 6,  // console assignments with the rack's sequential flag
};
inline constexpr uint32_t kRecallEverything = 0x7F;

// Profile value: the scope of the automatic load and restore (absent: everything).
inline constexpr const char* kRestoreScopeKey = "Restore Scope";

uint32_t RecallPartOf(ChannelField field);

struct RecallRules {
    uint32_t scope = kRecallEverything;
    bool consoleIntegration = false;
    MicTypeTable micTypes{};
};

// Any thread. The state a load leaves, before the console's data are applied again: `current`
// with the parts of `file` the scope names, for `rack` (-1: all racks); without console
// integration no rack keeps assignments, sequential flags or popup options; and phantom held
// off on the loaded racks' channels whose microphone must not have it (their indices go to
// `heldOff`). `file` is the file read over a copy of `current`, so that a short file leaves
// the rest as it was.
PreampState ComposeRecall(const PreampState& current, const PreampState& file, int rack,
                          const RecallRules& rules, std::vector<int>* heldOff = nullptr);

// Any thread. What that load changes, as ChannelDifferences gives it, with a refused phantom
// change (reason refusal::kPhantomUnsafe) beside each channel whose phantom is held off.
std::vector<ChannelChange> PreviewRecall(const PreampState& current, const PreampState& file,
                                         int rack, const RecallRules& rules);

// Any thread. Reads the file at `path` over a copy of `current` as a load does and previews
// it. `readable` (optional) is false when the file cannot be opened: a load then keeps the
// state and sends it again, so nothing changes.
std::vector<ChannelChange> PreviewPresetFile(const PreampState& current, const std::string& path,
                                             int rack, const RecallRules& rules,
                                             bool* readable = nullptr);

// Counts of a preview.
struct PreviewCounts {
    std::array<int, 7> perField{};  // applied changes by ChannelField
    int refused = 0;                // changes that will be refused
    int channels = 0;               // channels with at least one change or refusal
    int racks = 0;                  // racks with at least one such channel
    int Applied() const;
};
PreviewCounts CountPreview(const std::vector<ChannelChange>& changes);

}  // namespace mic

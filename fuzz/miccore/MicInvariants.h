// Checks shared by the mic core harnesses; a broken invariant aborts so libFuzzer reports it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mic/core/MicController.h"

namespace mic::fuzz {

#define MIC_CHECK(cond)                                                                        \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The console-channel lists hold exactly the channels whose assignment names them.
inline void CheckLists(const PreampState& state, const ConsoleChannelLists& lists) {
    int entries = 0;
    for (int k = 0; k < kConsoleChannels; ++k) {
        for (const ChannelMapping& m : lists.List(k)) {
            MIC_CHECK(m.rack >= 0 && m.rack < kRacks && m.channel >= 0 &&
                      m.channel < kChannelsPerRack);
            MIC_CHECK(state.assignment[ChannelIndex(m.rack, m.channel)] ==
                      static_cast<uint32_t>(k + 1));
            ++entries;
        }
    }
    int assigned = 0;
    for (uint32_t a : state.assignment)
        assigned += a > 0 && a <= kConsoleChannels;
    MIC_CHECK(entries == assigned);
}

inline void CheckState(const MicController& mic) {
    const PreampState& state = mic.State();
    const ProtocolEngine& engine = mic.Engine();
    MIC_CHECK(state.displayedRack < static_cast<uint32_t>(kRacks));
    for (const auto& name : state.name)
        MIC_CHECK(name[kNameSize - 1] == '\0');
    CheckLists(state, mic.Lists());
    const TransmitRing& ring = engine.Ring();
    MIC_CHECK(ring.ReadIndex() < kRingSlots && ring.WriteIndex() < kRingSlots);
    MIC_CHECK(ring.Pending() < kRingSlots);
    MIC_CHECK(engine.RetryCounter() <= 2);
    MIC_CHECK(engine.OnLineCount() == state.OnLineCount());
    for (int r = 0; r < kRacks; ++r) {
        const int c = engine.LinkCounter(r);
        MIC_CHECK(c >= 0 && c <= 4);
        if (state.rackOnLine[r])
            MIC_CHECK(c >= 1);
        if (c == 4)
            MIC_CHECK(state.rackOnLine[r]);
    }
}

}  // namespace mic::fuzz

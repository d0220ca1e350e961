// A rack's data block set against the controller's state of that rack, field by field.
#pragma once

#include <cstdint>
#include <vector>

#include "mic/core/ChannelChange.h"
#include "mic/core/PreampState.h"
#include "mic/core/TransmitRing.h"

namespace mic {

struct BlockDifference {
    int channel = 0;  // 0-11
    ChannelField field = ChannelField::Gain;
    int controller = 0;  // the controller's value (as in ChannelChange)
    int rack = 0;        // the value the block carries
};

// The fields in which `block` (37 bytes, checksum already checked) differs from the state of
// `rack`. Left out, because the block says nothing reliable about them: channels the rack
// reports as not available (status 0); fields that a frame still waiting in `ring` will set
// (the block was taken before that frame reaches the rack); console assignments unless
// `withAssignments` (a controller without console integration keeps none); names, which the
// block does not carry.
std::vector<BlockDifference> CompareDataBlock(const PreampState& state, int rack,
                                              const uint8_t* block, bool withAssignments,
                                              const TransmitRing& ring);

}  // namespace mic
